// Type names, value texts and the ancestry listing of GenAttrBase.
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrStringUtils.h"
#include "genattr/GenAttrUnicodeString.h"

#include "base/LibraryState.h"
#include "base/Transcode.h"
#include "tree/GenAttrListImpl.h"
#include "tree/NumberText.h"
#include "tree/TypeName.h"
#include "tree/ValueBuffer.h"
#include "tree/Vocabulary.h"

namespace {

using genattr::detail::kValueBufferSize;
using genattr::detail::ThreadState;

const char* EmptyUtf8(ThreadState& state) {
  unsigned char* output = state.mUtf8Output.Data();
  output[0] = '\0';
  return reinterpret_cast<const char*>(output);
}

// UTF-8 of a wide text, in the thread's output scratch buffer until the next
// call. A text holding a lone surrogate or a unit beyond U+10FFFF renders as
// the empty text as a whole, never as a partial conversion.
const char* WideCharToUTF8(ThreadState& state, const wchar_t* text) {
  // wchar_t holds whole code points here, while the values are defined as
  // UTF-16: units above U+FFFF are split into surrogate pairs first, so that
  // every text converts exactly as its UTF-16 form would, buffer sizes included.
  std::uint64_t unitCount = 0;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    const auto value = static_cast<std::uint32_t>(*c);
    if (value > 0x10FFFF) {
      return EmptyUtf8(state);
    }
    unitCount += value > 0xFFFF ? 2 : 1;
  }
  if (unitCount == 0) {
    return EmptyUtf8(state);
  }

  // Six bytes per unit is more than any unit can need, so the conversion
  // never stops for want of room.
  unsigned char* output = state.mUtf8Output.Reserve(6 * unitCount + 1);
  char16_t* units = state.mUtf16Input.Reserve(unitCount + 1);
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
      &source, units + unitCount, &target, output + state.mUtf8Output.Capacity() - 1,
      genattr::detail::TranscodeStrict);
  if (result != genattr::detail::TranscodeOk) {
    return EmptyUtf8(state);
  }
  *target = '\0';
  return reinterpret_cast<const char*>(output);
}

// A wide value is rendered in the current locale unless it was set as UTF.
// The locale yields the empty text for any character it cannot represent
// (every non-ASCII one under the "C" locale); such a value falls back to
// UTF-8, so that its data still reaches the caller.
const char* RenderWide(ThreadState& state, const GenAttrUnicodeString& node) {
  const wchar_t* value = node.GetValue();
  if (node.isUtfEncoded()) {
    return WideCharToUTF8(state, value);
  }
  const char* local = GenAttrStringUtils::Instance().WideCharToMultiByte(value);
  if (local[0] == '\0' && value[0] != L'\0') {
    return WideCharToUTF8(state, value);
  }
  return local;
}

// A fresh array whenever there is none: destroying a node releases it.
char* ReadyValueBuffer(ThreadState& state) {
  char*& buffer = state.mpValueBuffer;
  std::uint64_t& length = state.mValueBufferLen;
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

// Writes `value` as snprintf with format.inBuffer would, terminated, and
// returns its length. WriteFixed() and std::to_chars produce the same digits
// several times faster (exact rounding, ties to even, as glibc does in the
// default rounding mode), but always with a "." and never for infinities and
// NaNs: printf keeps those cases and the other rounding modes.
int FormatNumber(char* text, const NumberFormat& format, double value) {
  if (std::isfinite(value) && genattr::detail::FixedIsPrintfs()) {
    char* end = genattr::detail::WriteFixed(text, value);
    if (end == nullptr) {
      end = std::to_chars(text, text + kLongestNumber, value, std::chars_format::fixed,
                          format.decimals)
                .ptr;
    }
    *end = '\0';
    return static_cast<int>(end - text);
  }
  return std::snprintf(text, kLongestNumber + 1, format.inBuffer, value);
}
int FormatNumber(char* text, const NumberFormat&, int value) {
  char* const end = genattr::detail::WriteDecimal(text, value);
  *end = '\0';
  return static_cast<int>(end - text);
}
int FormatNumber(char* text, const NumberFormat& format, void* value) {
  return std::snprintf(text, kLongestNumber + 1, format.inBuffer, value);
}

// Marks the thread's overflow report as running while it lists a path. The
// listing renders every ancestor, and an ancestor that overflows as well
// would start a report of its own, which again lists the ancestors above it:
// with a chain of such values the output would double per level. Within a
// report, such an ancestor just shows the empty text.
class ReportScope {
public:
  explicit ReportScope(ThreadState& state) : mState(state) { mState.mReportRunning = true; }
  ReportScope(const ReportScope&) = delete;
  ReportScope& operator=(const ReportScope&) = delete;
  ~ReportScope() { mState.mReportRunning = false; }

private:
  ThreadState& mState;
};

template <typename Value>
void ReportOverflow(ThreadState& state, const GenAttrBase& node, const NumberFormat& format,
                    Value value) {
  const GenAttrBase* parent = node.GetInitialParent();
  std::printf("ERROR: GenAttrBase::GetValueAsString exceeds internal buffer size!\n"
              "Current buffer size is: %" PRIu64 " [node: %s, parent: %s, value: ",
              state.mValueBufferLen, node.GetName(),
              parent != nullptr ? parent->GetName() : "<none>");
  std::printf(format.inReport, value);
  std::printf("]\n");
  const ReportScope scope(state);
  node.DumpPath();
}

// Formats `value` into the thread's value buffer. A text that does not fit
// is reported and replaced by the empty text.
template <typename Value>
const char* RenderNumber(ThreadState& state, const GenAttrBase& node, const NumberFormat& format,
                         Value value) {
  char text[kLongestNumber + 1];
  const int written = FormatNumber(text, format, value);
  char* const buffer = ReadyValueBuffer(state);
  if (written >= 0 && static_cast<std::uint64_t>(written) < state.mValueBufferLen) {
    std::memcpy(buffer, text, static_cast<std::size_t>(written) + 1);
    return buffer;
  }
  if (!state.mReportRunning) {
    ReportOverflow(state, node, format, value);
  }
  // The report renders the ancestors, which may have replaced the buffer.
  char* const empty = ReadyValueBuffer(state);
  empty[0] = '\0';
  return empty;
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

GenAttrThreadSlot<char*, &GenAttrBase::ThreadValueBuffer> GenAttrBase::smpBuffer{};
GenAttrThreadSlot<std::uint64_t, &GenAttrBase::ThreadValueBufferLen> GenAttrBase::smBufferLen{};

char*& GenAttrBase::ThreadValueBuffer() {
  return genattr::detail::CurrentThreadState().mpValueBuffer;
}

std::uint64_t& GenAttrBase::ThreadValueBufferLen() {
  return genattr::detail::CurrentThreadState().mValueBufferLen;
}

const char* genattr::detail::TypeName(GenAttrType type) {
  return genattr::detail::vocab::TypeNameOf(type);
}

const char* GenAttrBase::GetTypeAsString() const {
  char* const name = genattr::detail::CurrentThreadState().mTypeName;
  std::strcpy(name, genattr::detail::TypeName(mType));
  return name;
}

const char* GenAttrBase::GetValueAsString() const {
  const auto type = static_cast<std::uint32_t>(mType);
  if (type == String) {
    return static_cast<const GenAttrString*>(this)->GetValue();
  }
  ThreadState& state = genattr::detail::CurrentThreadState();
  switch (type) {
  case Float:
    return RenderNumber(state, *this, kRealFormat,
                        static_cast<double>(static_cast<const GenAttrFloat*>(this)->GetValue()));
  case Double:
    return RenderNumber(state, *this, kRealFormat,
                        static_cast<const GenAttrDouble*>(this)->GetValue());
  case Int:
    return RenderNumber(state, *this, kIntFormat, static_cast<const GenAttrInt*>(this)->GetValue());
  case UnicodeString:
    return RenderWide(state, *static_cast<const GenAttrUnicodeString*>(this));
  case Ptr:
    return RenderNumber(state, *this, kPointerFormat,
                        static_cast<const GenAttrPtr*>(this)->GetValue());
  default: {
    // Base, Cont and unknown codes have no value.
    char* const empty = ReadyValueBuffer(state);
    empty[0] = '\0';
    return empty;
  }
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
