#include "serialize/EscapedText.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "genattr/GenAttrStringUtils.h"
#include "text/Transcode.h"

namespace genattr {
namespace detail {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Whether the current locale reads every ASCII byte as that character, as
// every locale of an ASCII-based system does. Then an 8-bit text of ASCII
// bytes alone is its own wide form, and need not go through the locale.
bool LocaleKeepsAscii() {
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

} // namespace

void EscapedText::Wide(const wchar_t* text, const TextEscapes& escapes) {
  for (const wchar_t* p = text; *p != 0; ++p) {
    char32_t c = Unit(p[0]);
    if (c >= 0xD800 && c <= 0xDBFF) {
      const char32_t low = Unit(p[1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++p;
      }
    }
    Append(c, escapes);
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
    if (mLocaleKeepsAscii < 0) {
      mLocaleKeepsAscii = LocaleKeepsAscii() ? 1 : 0;
    }
    if (mLocaleKeepsAscii != 0) {
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
  // Only carried code points reach here, none longer than four bytes.
  mBytes.resize(mChars.size() * 4);
  const char32_t* source = mChars.data();
  auto* const begin = reinterpret_cast<unsigned char*>(&mBytes[0]);
  unsigned char* target = begin;
  TranscodeUTF32ToUTF8(&source, source + mChars.size(), &target, begin + mBytes.size(),
                       TranscodeStrict);
  mTarget.Append(mBytes.data(), static_cast<std::size_t>(target - begin));
  mChars.clear();
}

} // namespace detail
} // namespace genattr
