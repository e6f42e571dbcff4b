// Node texts escaped for XML and encoded as UTF-8. Internal to the library.
#ifndef GENATTR_SERIALIZE_XMLTEXT_H
#define GENATTR_SERIALIZE_XMLTEXT_H

#include <cstddef>
#include <string>

#include "serialize/TextBuffer.h"

namespace genattr {
namespace detail {

// Where escaped text lands. An attribute value needs more references than
// text content: a parser normalises raw TAB, LF and CR in attributes to
// spaces, and the value is delimited by double quotes.
enum class Place { Content, Attribute };

// The Char production of XML 1.0: what a document may carry at all.
inline bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Collects the code points of one text, escaped for its place, and appends
// them as UTF-8 to a buffer in one go. The buffers are reused from text to
// text, so that the cost stays linear in the length of the text. Borrows
// `target`, which must outlive the object.
class XmlText {
public:
  explicit XmlText(TextBuffer& target) : mTarget(target) {}

  // Wide text in wchar_t units: a UTF-16 surrogate pair held in two units is
  // one character; a lone surrogate or a unit beyond U+10FFFF is replaced.
  void Wide(const wchar_t* text, Place place);
  // 8-bit text in the current locale's multibyte encoding. Text the locale
  // cannot read (any byte from 0x80 up under the "C" locale) is read as
  // ISO 8859-1 instead: every byte is a character there, so nothing is lost.
  void Narrow(const char* text, Place place);
  // Text meant as UTF-8 (the stylesheet texts): every byte that does not
  // belong to a well-formed sequence becomes one replacement character.
  void Utf8(const char* text, Place place);

  // Whether a parser hands back exactly the bytes of `text` as the UTF-8 of
  // what Narrow() writes for it, under the current locale.
  bool NarrowIsExact(const char* text);
  // Whether a parser hands back the characters of `text` so that their units
  // (UTF-16 where wchar_t has 16 bits, one unit per character where it has
  // 32) are exactly those of `text`.
  static bool WideIsExact(const wchar_t* text);

private:
  // ASCII characters, appended as Append() and Flush() would: runs that need
  // no reference go in whole.
  void Ascii(const char* text, const char* end, Place place);
  void Append(char32_t c, Place place);
  void Flush();
  // Encodes mChars as UTF-8 into mBytes and empties it; returns the length.
  std::size_t CharsToBytes();
  // Decodes `text` as Narrow() reads it into mChars, unescaped; false when it
  // takes the ISO 8859-1 road.
  bool NarrowChars(const char* text);
  bool LocaleKeepsAscii();

  TextBuffer& mTarget;
  // Whether the locale reads ASCII as ASCII, asked once per text object; -1 before.
  int mLocaleKeepsAscii = -1;
  std::u32string mChars;
  std::u32string mDecoded;
  std::string mBytes;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_XMLTEXT_H
