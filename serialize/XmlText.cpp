#include "serialize/XmlText.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "genattr/GenAttrStringUtils.h"
#include "text/Transcode.h"

namespace genattr {
namespace detail {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

const char* ReferenceFor(char32_t c, Place place) {
  switch (c) {
  case U'&':
    return "&amp;";
  case U'<':
    return "&lt;";
  // Also keeps "]]>" and "?>" out of content and processing instructions.
  case U'>':
    return "&gt;";
  // Every line end a parser sees is turned into LF, so a CR survives only as a
  // reference.
  case U'\r':
    return "&#13;";
  case U'"':
    return place == Place::Attribute ? "&quot;" : nullptr;
  case U'\t':
    return place == Place::Attribute ? "&#9;" : nullptr;
  case U'\n':
    return place == Place::Attribute ? "&#10;" : nullptr;
  default:
    return nullptr;
  }
}

// What an 8-bit text byte asks of the writer: nothing (an ASCII character
// that stands for itself in any place), care (an ASCII character that may
// take a reference or a replacement), or the locale (any byte from 80 up).
enum ByteKind : unsigned char { Plain = 0, Care = 1, Foreign = 2 };

struct ByteKinds {
  unsigned char kind[256];
  constexpr ByteKinds() : kind() {
    for (int c = 0; c < 256; ++c) {
      kind[c] = c >= 0x80                                                  ? Foreign
                : c < 0x20 || c == '&' || c == '<' || c == '>' || c == '"' ? Care
                                                                           : Plain;
    }
  }
};
constexpr ByteKinds kByteKinds;

ByteKind KindOf(char c) {
  return static_cast<ByteKind>(kByteKinds.kind[static_cast<unsigned char>(c)]);
}

char32_t Unit(wchar_t unit) {
  return static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(unit));
}

// The characters Wide() writes for the units at `text`, one at a time: a
// valid surrogate pair is one character, anything else that XML cannot carry
// is the replacement character. Advances `text` past what it read.
char32_t NextWideChar(const wchar_t*& text) {
  char32_t c = Unit(*text++);
  if (c >= 0xD800 && c <= 0xDBFF) {
    const char32_t low = Unit(*text);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      ++text;
    }
  }
  return IsXmlChar(c) ? c : kReplacement;
}

} // namespace

void XmlText::Wide(const wchar_t* text, Place place) {
  for (const wchar_t* p = text; *p != 0;) {
    Append(NextWideChar(p), place);
  }
  Flush();
}

void XmlText::Narrow(const char* text, Place place) {
  unsigned kinds = Plain;
  const char* end = text;
  for (; *end != '\0'; ++end) {
    kinds |= KindOf(*end);
  }
  if ((kinds & Foreign) == 0 && end != text && LocaleKeepsAscii()) {
    if (kinds == Plain) {
      mTarget.Append(text, static_cast<std::size_t>(end - text));
    } else {
      Ascii(text, end, place);
    }
    return;
  }
  if (end == text) {
    return;
  }
  const wchar_t* wide = GenAttrStringUtils::Instance().MultiByteToWideChar(text);
  if (*wide != 0) {
    Wide(wide, place);
    return;
  }
  for (const char* p = text; *p != '\0'; ++p) {
    Append(static_cast<unsigned char>(*p), place);
  }
  Flush();
}

void XmlText::Utf8(const char* text, Place place) {
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
    Append(*c, place);
  }
  Flush();
}

bool XmlText::NarrowIsExact(const char* text) {
  bool ascii = true;
  for (const char* p = text; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c >= 0x80) {
      ascii = false;
    } else if (!IsXmlChar(c)) {
      return false;
    }
  }
  if (ascii && LocaleKeepsAscii()) {
    return true;
  }
  if (!NarrowChars(text)) {
    return false;
  }
  const std::size_t length = CharsToBytes();
  return length == std::strlen(text) && std::memcmp(mBytes.data(), text, length) == 0;
}

bool XmlText::NarrowChars(const char* text) {
  mChars.clear();
  if (*text == '\0') {
    return true;
  }
  const wchar_t* wide = GenAttrStringUtils::Instance().MultiByteToWideChar(text);
  if (*wide == 0) {
    return false;
  }
  while (*wide != 0) {
    mChars.push_back(NextWideChar(wide));
  }
  return true;
}

bool XmlText::WideIsExact(const wchar_t* text) {
  for (const wchar_t* p = text; *p != 0;) {
    const wchar_t* const at = p;
    const char32_t c = NextWideChar(p);
    if (c == kReplacement && Unit(*at) != kReplacement) {
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

bool XmlText::LocaleKeepsAscii() {
  if (mLocaleKeepsAscii < 0) {
    // Every locale of an ASCII-based system reads each ASCII byte as that
    // character; then an 8-bit text of ASCII bytes alone is its own wide form
    // and need not go through the locale.
    char ascii[128];
    for (int c = 1; c < 128; ++c) {
      ascii[c - 1] = static_cast<char>(c);
    }
    ascii[127] = '\0';
    wchar_t wide[128];
    mLocaleKeepsAscii = std::mbstowcs(wide, ascii, 128) == 127 ? 1 : 0;
    for (int c = 1; c < 128 && mLocaleKeepsAscii != 0; ++c) {
      if (wide[c - 1] != static_cast<wchar_t>(c)) {
        mLocaleKeepsAscii = 0;
      }
    }
  }
  return mLocaleKeepsAscii != 0;
}

void XmlText::Ascii(const char* text, const char* end, Place place) {
  while (text != end) {
    const char* run = text;
    while (run != end && KindOf(*run) == Plain) {
      ++run;
    }
    mTarget.Append(text, static_cast<std::size_t>(run - text));
    if (run == end) {
      return;
    }
    Append(static_cast<unsigned char>(*run), place);
    Flush();
    text = run + 1;
  }
}

void XmlText::Append(char32_t c, Place place) {
  if (const char* reference = ReferenceFor(c, place)) {
    for (; *reference != '\0'; ++reference) {
      mChars.push_back(static_cast<char32_t>(*reference));
    }
    return;
  }
  mChars.push_back(IsXmlChar(c) ? c : kReplacement);
}

void XmlText::Flush() {
  // The encoding may move mBytes: its data is taken afterwards.
  const std::size_t length = CharsToBytes();
  mTarget.Append(mBytes.data(), length);
}

std::size_t XmlText::CharsToBytes() {
  // Only valid code points reach here, none longer than four bytes.
  mBytes.resize(mChars.size() * 4);
  const char32_t* source = mChars.data();
  auto* const begin = reinterpret_cast<unsigned char*>(&mBytes[0]);
  unsigned char* target = begin;
  TranscodeUTF32ToUTF8(&source, source + mChars.size(), &target, begin + mBytes.size(),
                       TranscodeStrict);
  mChars.clear();
  return static_cast<std::size_t>(target - begin);
}

} // namespace detail
} // namespace genattr
