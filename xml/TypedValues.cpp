#include "xml/TypedValues.h"

#include <climits>
#include <cstddef>
#include <cwchar>

#include "tree/Vocabulary.h"

namespace genattr {
namespace xml {

namespace {

namespace names = genattr::detail::vocab;

// The value of each byte as a hexadecimal digit, or -1: every Float and
// Double of a typed document carries eight or sixteen of them.
struct HexDigits {
  signed char value[256];
  constexpr HexDigits() : value() {
    for (int c = 0; c < 256; ++c) {
      value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                 : -1);
    }
  }
};
constexpr HexDigits kHexDigits;

int HexDigit(char c) {
  return kHexDigits.value[static_cast<unsigned char>(c)];
}

// Appends the character `c` as units of wchar_t; false when it cannot be held.
bool AppendChar(std::uint32_t c, std::wstring& out) {
  if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
    if (c > 0x10FFFF) {
      return false;
    }
    c -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    return true;
  }
  out.push_back(static_cast<wchar_t>(c));
  return true;
}

// Decodes one character of well-formed UTF-8 at `p`, moving past it.
std::uint32_t NextUtf8(const unsigned char*& p) {
  const unsigned char lead = *p++;
  if (lead < 0x80) {
    return lead;
  }
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  std::uint32_t c = lead & (0x3Fu >> extra);
  for (int i = 0; i < extra; ++i) {
    c = (c << 6) | (*p++ & 0x3Fu);
  }
  return c;
}

bool ParseDecimal(const char* text, std::uint64_t limit, std::uint64_t& value) {
  if (*text == '\0') {
    return false;
  }
  value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') {
      return false;
    }
    const auto digit = static_cast<std::uint64_t>(*p - '0');
    // value * 10 + digit > limit, without a division per digit and without
    // overflow.
    if (value > limit / 10 || value * 10 > limit - digit) {
      return false;
    }
    value = value * 10 + digit;
  }
  return true;
}

} // namespace

bool DecodeEscaped8(const char* text, std::string& out) {
  out.clear();
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != names::kEscape) {
      out.push_back(*p);
      continue;
    }
    const int high = HexDigit(p[1]);
    const int low = high < 0 ? -1 : HexDigit(p[2]);
    if (low < 0 || (high | low) == 0) {
      return false;
    }
    out.push_back(static_cast<char>(high * 16 + low));
    p += 2;
  }
  return true;
}

bool DecodeEscapedWide(const char* text, std::wstring& out) {
  out.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != '\0') {
    if (*p != names::kEscape) {
      AppendChar(NextUtf8(p), out);
      continue;
    }
    ++p;
    std::uint32_t unit = 0;
    int digits = 0;
    for (int digit; (digit = HexDigit(static_cast<char>(*p))) >= 0; ++p) {
      if (++digits > 8) {
        return false;
      }
      unit = (unit << 4) | static_cast<std::uint32_t>(digit);
    }
    if (digits == 0 || *p != names::kWideEscapeEnd || unit == 0) {
      return false;
    }
    ++p;
    // A unit, not a character: where wchar_t has 16 bits only a value that
    // one unit cannot hold is made into a pair.
    if (sizeof(wchar_t) == 2 && unit > 0xFFFF) {
      if (!AppendChar(unit, out)) {
        return false;
      }
    } else {
      out.push_back(static_cast<wchar_t>(unit));
    }
  }
  return true;
}

void Utf8ToWide(const char* text, std::size_t length, std::wstring& out) {
  out.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* const end = p + length;
  while (p < end) {
    AppendChar(NextUtf8(p), out);
  }
}

bool ParseInt(const char* text, int& value) {
  const bool negative = *text == '-';
  std::uint64_t magnitude = 0;
  const std::uint64_t limit = negative ? std::uint64_t{INT_MAX} + 1 : std::uint64_t{INT_MAX};
  if (!ParseDecimal(text + (negative ? 1 : 0), limit, magnitude)) {
    return false;
  }
  value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<int>(magnitude);
  return true;
}

bool ParseHexBits(const char* text, unsigned digits, std::uint64_t& bits) {
  // Gathered in a local: `bits` may alias `text`, which would make every
  // digit a store.
  std::uint64_t value = 0;
  for (unsigned i = 0; i < digits; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) {
      bits = value;
      return false;
    }
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  bits = value;
  return text[digits] == '\0';
}

bool ParseSerial(const char* text, std::uint64_t& serial) {
  return ParseDecimal(text, std::uint64_t{1} << 63, serial) && serial != 0;
}

bool ParseCount(const char* text, std::uint32_t& count) {
  std::uint64_t value = 0;
  if (!ParseDecimal(text, 0xFFFFFFFFu, value)) {
    return false;
  }
  count = static_cast<std::uint32_t>(value);
  return true;
}

} // namespace xml
} // namespace genattr
