// What the tests must know about the platform they run on, so that one test
// holds on both: the width of wchar_t (UTF-16 units on Windows, whole code
// points on Linux), the C runtime's locales, and text files.
#ifndef GENATTR_TESTS_SUPPORT_PLATFORM_H
#define GENATTR_TESTS_SUPPORT_PLATFORM_H

#include <clocale>
#include <cstdint>
#include <string>

namespace genattr_test {

// Where wchar_t is 16 bits, a wide text holds UTF-16 code units and a code
// point above U+FFFF takes two of them (a surrogate pair).
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

// The largest value one wchar_t holds.
constexpr std::uint32_t kLargestUnit = kWideIsUtf16 ? 0xFFFF : 0x10FFFF;

// `value` as one wide unit, cut to the width of wchar_t. A function, so that
// values wider than the unit compile where they are only used on a 32-bit
// wchar_t.
inline wchar_t Unit(std::uint32_t value) {
  return static_cast<wchar_t>(value);
}

// The wide text of `codePoints` as this platform holds it: a code point above
// U+FFFF is one unit where wchar_t is 32 bits and a surrogate pair where it
// is 16 bits. Other values (surrogates, values above 10FFFF) are copied as
// single units.
inline std::wstring Wide(const std::u32string& codePoints) {
  std::wstring wide;
  for (const char32_t c : codePoints) {
    if (kWideIsUtf16 && c > 0xFFFF && c <= 0x10FFFF) {
      wide += Unit(0xD800 + ((c - 0x10000) >> 10));
      wide += Unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide += Unit(c);
    }
  }
  return wide;
}

// The "C" locale of the C runtime: glibc converts ASCII only between
// multibyte and wide text, while the Windows runtime maps every byte from 00
// to FF to the wide character of the same value and back (ISO 8859-1);
// neither converts a wide character above FF.
#if defined(_WIN32)
constexpr bool kCLocaleIsLatin1 = true;
#else
constexpr bool kCLocaleIsLatin1 = false;
#endif

// Sets a UTF-8 locale for every category ("C.UTF-8" of glibc, ".UTF-8" of
// the Universal CRT); false, with the locale unchanged, where the C runtime
// has none (msvcrt, which MinGW-w64 uses by default).
inline bool SetUtf8Locale() {
  return std::setlocale(LC_ALL, "C.UTF-8") != nullptr ||
         std::setlocale(LC_ALL, ".UTF-8") != nullptr;
}

// A file that the library wrote in text mode, as `text` written with line
// feeds reads back byte for byte: each line feed stored as CR LF on Windows.
inline std::string AsTextFile(const std::string& text) {
#if defined(_WIN32)
  std::string stored;
  for (const char c : text) {
    if (c == '\n') {
      stored += '\r';
    }
    stored += c;
  }
  return stored;
#else
  return text;
#endif
}

} // namespace genattr_test

#endif // GENATTR_TESTS_SUPPORT_PLATFORM_H
