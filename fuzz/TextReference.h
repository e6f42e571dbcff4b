// Plain, obviously correct text rules that the fuzz targets compare the
// library with: UTF-8 well-formedness and encoding, XML element names and
// what an XML parser gives back for a text.
#ifndef GENATTR_FUZZ_TEXTREFERENCE_H
#define GENATTR_FUZZ_TEXTREFERENCE_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz {

// Trailing bytes announced by a lead byte, including the five- and six-byte
// forms of early UTF-8 (which are never well-formed).
inline unsigned TrailCount(std::uint8_t lead) {
  if (lead < 0xC0) {
    return 0;
  }
  if (lead < 0xE0) {
    return 1;
  }
  if (lead < 0xF0) {
    return 2;
  }
  if (lead < 0xF8) {
    return 3;
  }
  return lead < 0xFC ? 4 : 5;
}

inline bool InRange(std::uint8_t b, std::uint8_t low, std::uint8_t high) {
  return b >= low && b <= high;
}

// The Unicode Standard's table of well-formed UTF-8 byte sequences, row by
// row; `length` bytes at `s` are read only for a length from 1 to 4.
inline bool WellFormed(const std::uint8_t* s, std::int64_t length) {
  switch (length) {
  case 1:
    return s[0] < 0x80;
  case 2:
    return InRange(s[0], 0xC2, 0xDF) && InRange(s[1], 0x80, 0xBF);
  case 3: {
    const bool second = s[0] == 0xE0   ? InRange(s[1], 0xA0, 0xBF)
                        : s[0] == 0xED ? InRange(s[1], 0x80, 0x9F)
                                       : InRange(s[1], 0x80, 0xBF);
    return InRange(s[0], 0xE0, 0xEF) && second && InRange(s[2], 0x80, 0xBF);
  }
  case 4: {
    const bool second = s[0] == 0xF0   ? InRange(s[1], 0x90, 0xBF)
                        : s[0] == 0xF4 ? InRange(s[1], 0x80, 0x8F)
                                       : InRange(s[1], 0x80, 0xBF);
    return InRange(s[0], 0xF0, 0xF4) && second && InRange(s[2], 0x80, 0xBF) &&
           InRange(s[3], 0x80, 0xBF);
  }
  default:
    return false;
  }
}

// UTF-8 of one code point (surrogate values as their own three bytes);
// anything above U+10FFFF becomes U+FFFD.
inline std::string Utf8(std::uint32_t c) {
  if (c > 0x10FFFF) {
    c = 0xFFFD;
  }
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// Every byte read as ISO 8859-1.
inline std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += Utf8(static_cast<unsigned char>(c));
  }
  return out;
}

inline bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

// The element name promised for a text: its UTF-8 encoding (bytes read as
// ISO 8859-1) with every byte that may not stand in a name, or not first,
// replaced by "_"; the empty text becomes "_".
inline std::string XmlName(const std::string& text) {
  std::string name = Latin1ToUtf8(text);
  if (name.empty()) {
    return "_";
  }
  for (char& c : name) {
    if (!IsNameByte(c)) {
      c = '_';
    }
  }
  if ((name[0] >= '0' && name[0] <= '9') || name[0] == '-' || name[0] == '.') {
    name[0] = '_';
  }
  return name;
}

// ---- texts in an XML document ------------------------------------------------
// A text reaches the document as a sequence of code points: a wide text unit
// by unit (a UTF-16 surrogate pair held in two units is one character); 8-bit
// text as the current locale reads it, or byte by byte as ISO 8859-1 where
// the locale cannot; text meant as UTF-8 with every byte outside a
// well-formed sequence as U+FFFD. Each is then written escaped for its place,
// with U+FFFD for what XML 1.0 cannot carry, and a parser returns it
// unescaped.

inline std::u32string CodePoints(const std::wstring& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<std::uint32_t>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<std::uint32_t>(text[i + 1]) : 0;
    if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    }
    out += static_cast<char32_t>(c);
  }
  return out;
}

inline std::u32string CodePointsOfNarrow(const std::string& text) {
  const std::size_t n = std::mbstowcs(nullptr, text.c_str(), 0);
  if (n != static_cast<std::size_t>(-1) && n > 0) {
    std::wstring wide(n, L'\0');
    std::mbstowcs(&wide[0], text.c_str(), n + 1);
    return CodePoints(wide);
  }
  std::u32string out;
  for (const char c : text) {
    out += static_cast<char32_t>(static_cast<unsigned char>(c));
  }
  return out;
}

inline std::u32string CodePointsOfUtf8(const std::string& text) {
  const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  std::u32string out;
  for (std::size_t i = 0; i < n;) {
    const unsigned length = TrailCount(s[i]) + 1;
    if (i + length <= n && WellFormed(s + i, length)) {
      std::uint32_t c = length == 1 ? s[i] : s[i] & (0x3Fu >> (length - 1));
      for (unsigned k = 1; k < length; ++k) {
        c = (c << 6) | (s[i + k] & 0x3F);
      }
      out += static_cast<char32_t>(c);
      i += length;
    } else {
      out += U'\uFFFD';
      ++i;
    }
  }
  return out;
}

inline bool IsXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// What a parser returns.
inline std::string ParsedBack(const std::u32string& text) {
  std::string out;
  for (const char32_t c : text) {
    out += Utf8(IsXmlChar(c) ? c : 0xFFFD);
  }
  return out;
}

// What the document holds: "&", "<", ">" and CR as references everywhere; in
// attribute values also the double quote, TAB and LF, which a parser would
// otherwise end the value at or turn into spaces.
inline std::string Escaped(const std::u32string& text, bool attribute) {
  std::string out;
  for (const char32_t c : text) {
    switch (c) {
    case U'&':
      out += "&amp;";
      break;
    case U'<':
      out += "&lt;";
      break;
    case U'>':
      out += "&gt;";
      break;
    case U'\r':
      out += "&#13;";
      break;
    case U'"':
      out += attribute ? "&quot;" : "\"";
      break;
    case U'\t':
      out += attribute ? "&#9;" : "\t";
      break;
    case U'\n':
      out += attribute ? "&#10;" : "\n";
      break;
    default:
      out += Utf8(IsXmlChar(c) ? c : 0xFFFD);
    }
  }
  return out;
}

} // namespace fuzz

#endif // GENATTR_FUZZ_TEXTREFERENCE_H
