#include "serialize/EscapedText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "base/Transcode.h"
#include "genattr/GenAttrStringUtils.h"

namespace genattr {
namespace detail {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Whether the current locale reads every ASCII byte as that character, as
// every locale of an ASCII-based system does. Then an 8-bit text of ASCII
// bytes alone is its own wide form, and need not go through the locale.
bool AsciiIsKept() {
  char ascii[128];
  for (int c = 1; c < 128; ++c) {
    ascii[c - 1] = static_cast<char>(c);
  }
  ascii[127] = '\0';
  wchar_t wide[128];
  if (std::mbstowcs(wide, ascii, 128) != 127) {
    return false;
  }
  for (int c = 1; c < 128; ++c) {
    if (wide[c - 1] != static_cast<wchar_t>(c)) {
      return false;
    }
  }
  return true;
}

char32_t Unit(wchar_t unit) {
  return static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(unit));
}

// The character of the units at `text` as Wide() reads them: a valid
// surrogate pair is one character. Advances `text` past what it read.
char32_t NextWideChar(const wchar_t*& text) {
  char32_t c = Unit(*text++);
  if (c >= 0xD800 && c <= 0xDBFF) {
    const char32_t low = Unit(*text);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      ++text;
    }
  }
  return c;
}

} // namespace

void EscapedText::Wide(const wchar_t* text, const TextEscapes& escapes) {
  for (const wchar_t* p = text; *p != 0;) {
    Append(NextWideChar(p), escapes);
  }
  Flush();
}

void EscapedText::Narrow(const char* text, const TextEscapes& escapes) {
  unsigned kinds = Plain;
  const char* end = text;
  for (; *end != '\0'; ++end) {
    kinds |= escapes.kind[static_cast<unsigned char>(*end)];
  }
  if ((kinds & Foreign) == 0 && end != text) {
    if (mUtf8Texts || LocaleKeepsAscii()) {
      if (kinds == Plain) {
        mTarget.Append(text, static_cast<std::size_t>(end - text));
      } else {
        Ascii(text, end, escapes);
      }
      return;
    }
  }
  if (end == text) {
    return;
  }
  if (mUtf8Texts) {
    Utf8(text, escapes);
    return;
  }
  const wchar_t* wide = GenAttrStringUtils::Instance().MultiByteToWideChar(text);
  if (*wide != 0) {
    Wide(wide, escapes);
    return;
  }
  for (const char* p = text; *p != '\0'; ++p) {
    Append(static_cast<unsigned char>(*p), escapes);
  }
  Flush();
}

void EscapedText::Utf8(const char* text, const TextEscapes& escapes) {
  const auto* source = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = source + std::strlen(text);
  // No character takes fewer bytes than one.
  mDecoded.resize(static_cast<std::size_t>(end - source));
  char32_t* target = &mDecoded[0];
  char32_t* const targetEnd = target + mDecoded.size();
  while (source != end) {
    if (TranscodeUTF8ToUTF32(&source, end, &target, targetEnd, TranscodeStrict) != TranscodeOk) {
      *target++ = kReplacement;
      ++source;
    }
  }
  for (const char32_t* c = mDecoded.data(); c != target; ++c) {
    Append(*c, escapes);
  }
  Flush();
}

// ASCII characters, appended as Append() and Flush() would: runs that need
// no escape go in whole.
void EscapedText::Ascii(const char* text, const char* end, const TextEscapes& escapes) {
  while (text != end) {
    const char* run = text;
    while (run != end && escapes.kind[static_cast<unsigned char>(*run)] == Plain) {
      ++run;
    }
    mTarget.Append(text, static_cast<std::size_t>(run - text));
    if (run == end) {
      return;
    }
    Append(static_cast<unsigned char>(*run), escapes);
    Flush();
    text = run + 1;
  }
}

void EscapedText::Append(char32_t c, const TextEscapes& escapes) {
  if (const char* substitute = escapes.substitute(c)) {
    for (; *substitute != '\0'; ++substitute) {
      mChars.push_back(static_cast<char32_t>(*substitute));
    }
    return;
  }
  mChars.push_back(escapes.carried(c) ? c : kReplacement);
}

void EscapedText::Flush() {
  // The encoding may move mBytes: its data is taken afterwards.
  const std::size_t length = CharsToBytes();
  mTarget.Append(mBytes.data(), length);
}

std::size_t EscapedText::CharsToBytes() {
  // Only carried code points reach here, none longer than four bytes.
  mBytes.resize(mChars.size() * 4);
  const char32_t* source = mChars.data();
  auto* const begin = reinterpret_cast<unsigned char*>(&mBytes[0]);
  unsigned char* target = begin;
  TranscodeUTF32ToUTF8(&source, source + mChars.size(), &target, begin + mBytes.size(),
                       TranscodeStrict);
  mChars.clear();
  return static_cast<std::size_t>(target - begin);
}

bool EscapedText::LocaleKeepsAscii() {
  if (mLocaleKeepsAscii < 0) {
    mLocaleKeepsAscii = AsciiIsKept() ? 1 : 0;
  }
  return mLocaleKeepsAscii != 0;
}

bool EscapedText::NarrowIsExact(const char* text, TextEscapes::Carried carried) {
  bool ascii = true;
  for (const char* p = text; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c >= 0x80) {
      ascii = false;
    } else if (!carried(c)) {
      return false;
    }
  }
  if (ascii && (mUtf8Texts || LocaleKeepsAscii())) {
    return true;
  }
  if (mUtf8Texts) {
    const auto* source = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* const end = source + std::strlen(text);
    mDecoded.resize(static_cast<std::size_t>(end - source));
    char32_t* target = &mDecoded[0];
    if (TranscodeUTF8ToUTF32(&source, end, &target, target + mDecoded.size(), TranscodeStrict) !=
        TranscodeOk) {
      return false;
    }
    return std::all_of(&mDecoded[0], target, carried);
  }
  mChars.clear();
  // Text the locale cannot read is written as ISO 8859-1, two bytes for each
  // byte from 80 up: never the same bytes.
  const wchar_t* wide = GenAttrStringUtils::Instance().MultiByteToWideChar(text);
  if (*wide == 0) {
    return false;
  }
  while (*wide != 0) {
    const char32_t c = NextWideChar(wide);
    if (!carried(c)) {
      mChars.clear();
      return false;
    }
    mChars.push_back(c);
  }
  const std::size_t length = CharsToBytes();
  return length == std::strlen(text) && std::memcmp(mBytes.data(), text, length) == 0;
}

bool EscapedText::WideIsExact(const wchar_t* text, TextEscapes::Carried carried) {
  for (const wchar_t* p = text; *p != 0;) {
    const wchar_t* const at = p;
    const char32_t c = NextWideChar(p);
    // A lone surrogate reads as itself here, and no document carries it.
    if (!carried(c)) {
      return false;
    }
    // Where wchar_t has 32 bits a reader gives each character one unit, so
    // two units that form a pair here would come back as one.
    if (sizeof(wchar_t) > 2 && p - at != 1) {
      return false;
    }
  }
  return true;
}

} // namespace detail
} // namespace genattr
