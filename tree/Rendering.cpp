// Type names, value texts and the ancestry listing of GenAttrBase.
#include <cfenv>
#include <charconv>
#include <cinttypes>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#if __has_include(<langinfo.h>)
#include <langinfo.h>
#define GENATTR_HAS_LANGINFO 1
#else
#define GENATTR_HAS_LANGINFO 0
#endif

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrStringUtils.h"
#include "genattr/GenAttrUnicodeString.h"

#include "text/Transcode.h"
#include "tree/GenAttrListImpl.h"
#include "tree/ScratchBuffer.h"
#include "tree/ValueBuffer.h"

namespace {

using genattr::detail::kValueBufferSize;
using genattr::detail::ScratchBuffer;

// GetTypeAsString() hands out this one array on every call; the longest name
// it holds is "UnicodeString".
char gTypeNameBuffer[64];

const char* const kTypeNames[] = {"Base", "String", "Float",         "Double",
                                  "Int",  "Cont",   "UnicodeString", "Ptr"};

// The buffers of WideCharToUTF8() are created on first use and kept for the
// life of the process; the static pointers keep them reachable, so leak
// checkers do not count them.
ScratchBuffer<unsigned char>& Utf8Output() {
  static ScratchBuffer<unsigned char>* const buffer = new ScratchBuffer<unsigned char>();
  return *buffer;
}

ScratchBuffer<char16_t>& Utf16Input() {
  static ScratchBuffer<char16_t>* const buffer = new ScratchBuffer<char16_t>();
  return *buffer;
}

const char* EmptyUtf8() {
  unsigned char* output = Utf8Output().Data();
  output[0] = '\0';
  return reinterpret_cast<const char*>(output);
}

// UTF-8 of a wide text, in the output scratch buffer until the next call. A
// text holding a lone surrogate or a unit beyond U+10FFFF renders as the
// empty text as a whole, never as a partial conversion.
const char* WideCharToUTF8(const wchar_t* text) {
  // wchar_t holds whole code points here, while the values are defined as
  // UTF-16: units above U+FFFF are split into surrogate pairs first, so that
  // every text converts exactly as its UTF-16 form would, buffer sizes included.
  std::uint64_t unitCount = 0;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    const auto value = static_cast<std::uint32_t>(*c);
    if (value > 0x10FFFF) {
      return EmptyUtf8();
    }
    unitCount += value > 0xFFFF ? 2 : 1;
  }
  if (unitCount == 0) {
    return EmptyUtf8();
  }

  // Six bytes per unit is more than any unit can need, so the conversion
  // never stops for want of room.
  unsigned char* output = Utf8Output().Reserve(6 * unitCount + 1);
  char16_t* units = Utf16Input().Reserve(unitCount + 1);
  char16_t* unit = units;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    const auto value = static_cast<std::uint32_t>(*c);
    if (value > 0xFFFF) {
      const std::uint32_t offset = value - 0x10000;
      *unit++ = static_cast<char16_t>(0xD800 + (offset >> 10));
      *unit++ = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    } else {
      *unit++ = static_cast<char16_t>(value);
    }
  }
  *unit = u'\0';

  const char16_t* source = units;
  unsigned char* target = output;
  // One byte is kept back for the terminating zero.
  const genattr::detail::TranscodeResult result = genattr::detail::TranscodeUTF16ToUTF8(
      &source, units + unitCount, &target, output + Utf8Output().Capacity() - 1,
      genattr::detail::TranscodeStrict);
  if (result != genattr::detail::TranscodeOk) {
    return EmptyUtf8();
  }
  *target = '\0';
  return reinterpret_cast<const char*>(output);
}

// A wide value is rendered in the current locale unless it was set as UTF.
// The locale yields the empty text for any character it cannot represent
// (every non-ASCII one under the "C" locale); such a value falls back to
// UTF-8, so that its data still reaches the caller.
const char* RenderWide(const GenAttrUnicodeString& node) {
  const wchar_t* value = node.GetValue();
  if (node.isUtfEncoded()) {
    return WideCharToUTF8(value);
  }
  const char* local = GenAttrStringUtils::Instance().WideCharToMultiByte(value);
  if (local[0] == '\0' && value[0] != L'\0') {
    return WideCharToUTF8(value);
  }
  return local;
}

// A fresh array whenever there is none: destroying a node releases it.
char* ReadyValueBuffer(char*& buffer, std::uint64_t& length) {
  if (buffer == nullptr || length < kValueBufferSize) {
    delete[] buffer;
    // Null until the new array exists, so that a failed allocation leaves no
    // dangling pointer behind.
    buffer = nullptr;
    buffer = new char[kValueBufferSize];
    length = kValueBufferSize;
  }
  return buffer;
}

// How one kind of number appears in the value buffer and in the overflow
// report. `decimals` repeats the precision of inBuffer for std::to_chars.
struct NumberFormat {
  const char* inBuffer;
  const char* inReport;
  int decimals;
};

constexpr NumberFormat kRealFormat{"%.4f", "%f", genattr::detail::kValueDecimals};
static_assert(kRealFormat.inBuffer[2] == '0' + kRealFormat.decimals,
              "the buffer format and the decimals of std::to_chars must agree");
constexpr NumberFormat kIntFormat{"%d", "%d", 0};
constexpr NumberFormat kPointerFormat{"%p", "%p", 0};

// Room for any number in any of the formats: a double in fixed notation takes
// at most a sign, 309 digits, the point and the decimals.
constexpr std::size_t kLongestNumber = 320;

// The decimal point of the current locale's LC_NUMERIC, which printf uses.
// nl_langinfo() reads it without filling localeconv()'s whole structure.
bool DecimalPointIsDot() {
#if GENATTR_HAS_LANGINFO
  const char* point = nl_langinfo(RADIXCHAR);
#else
  const char* point = std::localeconv()->decimal_point;
#endif
  return point[0] == '.' && point[1] == '\0';
}

// Writes `value` with `decimals` (at most 4) decimals as printf's "%.Nf"
// does, when its magnitude is below 2^63, and returns the end; null for other
// values. Exact, in integers only: the fraction v - trunc(v) is m * 2^e with
// m below 2^53, so fraction * 10^N = m * 5^N * 2^(e+N), where m * 5^N stays
// below 2^63 (5^4 = 625 takes 10 bits). Shifting that right and rounding the
// remainder half to even rounds the exact value as printf does by default.
char* WriteFixed(char* text, double value, int decimals) {
  static constexpr std::uint64_t powersOf5[] = {1, 5, 25, 125, 625};
  static constexpr std::uint64_t powersOf10[] = {1, 10, 100, 1000, 10000};
  if (decimals < 0 || decimals > 4 || !(std::fabs(value) < 9.2e18)) {
    return nullptr;
  }
  const double magnitude = std::fabs(value);
  const double whole = std::trunc(magnitude);
  std::uint64_t integer = static_cast<std::uint64_t>(whole);
  int exponent = 0;
  const double significand = std::frexp(magnitude - whole, &exponent);
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(significand, 53));
  const std::uint64_t scaled = mantissa * powersOf5[decimals];
  // fraction * 10^N = scaled * 2^(exponent - 53 + N), always below 10^N.
  const int shift = 53 - exponent - decimals;
  std::uint64_t fraction = 0;
  if (shift <= 0) {
    fraction = scaled << -shift;
  } else if (shift < 64) {
    fraction = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (fraction & 1) != 0)) {
      ++fraction;
    }
  } // else: scaled < 2^63 <= 2^(shift-1), below one half: rounds to 0
  if (fraction == powersOf10[decimals]) {
    ++integer;
    fraction = 0;
  }
  if (std::signbit(value)) {
    *text++ = '-';
  }
  // No integer part below 2^63 has more than 19 digits.
  text = std::to_chars(text, text + 20, integer).ptr;
  if (decimals > 0) {
    *text++ = '.';
    for (int d = decimals - 1; d >= 0; --d) {
      text[d] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    text += decimals;
  }
  return text;
}

// Writes `value` as snprintf with format.inBuffer would, terminated, and
// returns its length. WriteFixed() and std::to_chars produce the same digits
// several times faster (exact rounding, ties to even, as glibc does in the
// default rounding mode), but always with a "." and never for infinities and
// NaNs: printf keeps those cases and the other rounding modes.
int FormatNumber(char* text, const NumberFormat& format, double value) {
  if (std::isfinite(value) && DecimalPointIsDot() && std::fegetround() == FE_TONEAREST) {
    if (char* end = WriteFixed(text, value, format.decimals)) {
      *end = '\0';
      return static_cast<int>(end - text);
    }
    const std::to_chars_result end = std::to_chars(text, text + kLongestNumber, value,
                                                   std::chars_format::fixed, format.decimals);
    *end.ptr = '\0';
    return static_cast<int>(end.ptr - text);
  }
  return std::snprintf(text, kLongestNumber + 1, format.inBuffer, value);
}
int FormatNumber(char* text, const NumberFormat&, int value) {
  const std::to_chars_result end = std::to_chars(text, text + kLongestNumber, value);
  *end.ptr = '\0';
  return static_cast<int>(end.ptr - text);
}
int FormatNumber(char* text, const NumberFormat& format, void* value) {
  return std::snprintf(text, kLongestNumber + 1, format.inBuffer, value);
}

// Set while an overflow report lists a path. The listing renders every
// ancestor, and an ancestor that overflows as well would start a report of
// its own, which again lists the ancestors above it: with a chain of such
// values the output would double per level. Within a report, such an
// ancestor just shows the empty text.
bool gReportRunning = false;

class ReportScope {
public:
  ReportScope() { gReportRunning = true; }
  ReportScope(const ReportScope&) = delete;
  ReportScope& operator=(const ReportScope&) = delete;
  ~ReportScope() { gReportRunning = false; }
};

template <typename Value>
void ReportOverflow(const GenAttrBase& node, std::uint64_t length, const NumberFormat& format,
                    Value value) {
  const GenAttrBase* parent = node.GetInitialParent();
  std::printf("ERROR: GenAttrBase::GetValueAsString exceeds internal buffer size!\n"
              "Current buffer size is: %" PRIu64 " [node: %s, parent: %s, value: ",
              length, node.GetName(), parent != nullptr ? parent->GetName() : "<none>");
  std::printf(format.inReport, value);
  std::printf("]\n");
  const ReportScope scope;
  node.DumpPath();
}

// Formats `value` into the shared buffer. A text that does not fit is
// reported and replaced by the empty text.
template <typename Value>
const char* RenderNumber(const GenAttrBase& node, char*& buffer, std::uint64_t& length,
                         const NumberFormat& format, Value value) {
  char text[kLongestNumber + 1];
  const int written = FormatNumber(text, format, value);
  ReadyValueBuffer(buffer, length);
  if (written >= 0 && static_cast<std::uint64_t>(written) < length) {
    std::memcpy(buffer, text, static_cast<std::size_t>(written) + 1);
    return buffer;
  }
  if (!gReportRunning) {
    ReportOverflow(node, length, format, value);
  }
  ReadyValueBuffer(buffer, length)[0] = '\0';
  return buffer;
}

// The first node of the loop that the chain of initial parents from `node`
// runs into, or null when the chain ends at a root. Floyd's two cursors find
// it without marking or remembering nodes.
const GenAttrBase* LoopEntry(const GenAttrBase* node) {
  const GenAttrBase* slow = node;
  const GenAttrBase* fast = node;
  do {
    if (fast == nullptr || fast->GetInitialParent() == nullptr) {
      return nullptr;
    }
    fast = fast->GetInitialParent()->GetInitialParent();
    slow = slow->GetInitialParent();
  } while (slow != fast);
  // Both cursors are now inside the loop; moving one from the start and one
  // from the meeting point at the same pace, they meet at the loop's entry.
  slow = node;
  while (slow != fast) {
    slow = slow->GetInitialParent();
    fast = fast->GetInitialParent();
  }
  return slow;
}

} // namespace

const char* GenAttrBase::GetTypeAsString() const {
  const auto type = static_cast<std::uint32_t>(mType);
  std::strcpy(gTypeNameBuffer, type < std::size(kTypeNames) ? kTypeNames[type] : "<unknown>");
  return gTypeNameBuffer;
}

const char* GenAttrBase::GetValueAsString() const {
  switch (static_cast<std::uint32_t>(mType)) {
  case String:
    return static_cast<const GenAttrString*>(this)->GetValue();
  case Float:
    return RenderNumber(*this, smpBuffer, smBufferLen, kRealFormat,
                        static_cast<double>(static_cast<const GenAttrFloat*>(this)->GetValue()));
  case Double:
    return RenderNumber(*this, smpBuffer, smBufferLen, kRealFormat,
                        static_cast<const GenAttrDouble*>(this)->GetValue());
  case Int:
    return RenderNumber(*this, smpBuffer, smBufferLen, kIntFormat,
                        static_cast<const GenAttrInt*>(this)->GetValue());
  case UnicodeString:
    return RenderWide(*static_cast<const GenAttrUnicodeString*>(this));
  case Ptr:
    return RenderNumber(*this, smpBuffer, smBufferLen, kPointerFormat,
                        static_cast<const GenAttrPtr*>(this)->GetValue());
  default:
    // Base, Cont and unknown codes have no value.
    ReadyValueBuffer(smpBuffer, smBufferLen)[0] = '\0';
    return smpBuffer;
  }
}

void GenAttrBase::DumpPath() const {
  // A caller can make the chain loop (A added under B before B under A);
  // each node of such a chain is listed once.
  const GenAttrBase* loopEntry = LoopEntry(this);
  bool entryListed = loopEntry == this;
  GenAttrListImpl ancestors;
  for (GenAttrBase* parent = GetInitialParent(); parent != nullptr;
       parent = parent->GetInitialParent()) {
    if (parent == loopEntry) {
      if (entryListed) {
        break;
      }
      entryListed = true;
    }
    ancestors.Append(parent);
  }
  ancestors.Reverse();

  std::uint64_t depth = 0;
  for (GenAttrBase* ancestor = ancestors.GetFirst(); ancestor != nullptr;
       ancestor = ancestors.GetNext(), ++depth) {
    for (std::uint64_t level = 0; level < depth; ++level) {
      std::fputs("  ", stdout);
    }
    // Rendered before the line is printed: an overflowing value prints its
    // own report first.
    const char* value = ancestor->GetValueAsString();
    std::printf("-> %s : %s\n", ancestor->GetName(), value);
  }
}
