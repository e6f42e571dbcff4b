// The texts of a tree turned into escaped UTF-8 for a document: the one
// conversion that every writer of a Unicode format shares. Internal.
#ifndef GENATTR_SERIALIZE_ESCAPEDTEXT_H
#define GENATTR_SERIALIZE_ESCAPEDTEXT_H

#include <cstddef>
#include <string>

#include "serialize/TextBuffer.h"

namespace genattr {
namespace detail {

// What an 8-bit text byte asks of the writer: nothing (an ASCII character
// that stands for itself), care (an ASCII character that may take an escape
// or a replacement), or the locale (any byte from 80 up).
enum ByteKind : unsigned char { Plain = 0, Care = 1, Foreign = 2 };

// How the characters of a text are written in one place of a document (an
// XML attribute, a JSON string, ...).
struct TextEscapes {
  // The ASCII text written instead of `c`, or null when `c` stands for itself.
  using Substitute = const char* (*)(char32_t c);
  // Whether the document can carry `c` at all.
  using Carried = bool (*)(char32_t c);

  constexpr TextEscapes(Substitute substitute, Carried carried)
      : substitute(substitute), carried(carried), kind() {
    for (char32_t c = 0; c < 256; ++c) {
      kind[c] = c >= 0x80 ? Foreign : substitute(c) != nullptr || !carried(c) ? Care : Plain;
    }
  }

  Substitute substitute;
  // A character the document cannot carry and that has no substitute is
  // written as U+FFFD.
  Carried carried;
  // The ByteKind of every byte value.
  unsigned char kind[256];
};

// A place that takes every Unicode scalar value as it is (a listing line).
inline constexpr TextEscapes kVerbatim([](char32_t) -> const char* { return nullptr; },
                                       [](char32_t c) {
                                         return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
                                       });

// Collects the code points of one text, escaped for its place, and appends
// them as UTF-8 to a buffer in one go. The buffers are reused from text to
// text, so that the cost stays linear in the length of the text.
class EscapedText {
public:
  // `utf8Texts`: 8-bit texts are UTF-8 rather than in the locale's encoding.
  explicit EscapedText(TextBuffer& target, bool utf8Texts = false)
      : mTarget(target), mUtf8Texts(utf8Texts) {}
  EscapedText(const EscapedText&) = delete;
  EscapedText& operator=(const EscapedText&) = delete;

  // Wide text in wchar_t units: a UTF-16 surrogate pair held in two units is
  // one character; a lone surrogate or a unit beyond U+10FFFF is replaced.
  void Wide(const wchar_t* text, const TextEscapes& escapes);

  // 8-bit text in the current locale's multibyte encoding. Text the locale
  // cannot read (any byte from 0x80 up under the "C" locale) is read as
  // ISO 8859-1 instead: every byte is a character there, so nothing is lost.
  // With UTF-8 texts, as Utf8().
  void Narrow(const char* text, const TextEscapes& escapes);

  // Text meant as UTF-8 (stylesheet texts, titles): every byte that does not
  // belong to a well-formed sequence becomes one replacement character.
  void Utf8(const char* text, const TextEscapes& escapes);

  // Whether a parser hands back exactly the bytes of `text` as the UTF-8 of
  // what Narrow() writes for it, under the current locale (or, with UTF-8
  // texts, whatever the locale), in a document that carries the characters
  // `carried` accepts.
  bool NarrowIsExact(const char* text, TextEscapes::Carried carried);
  // Whether a parser hands back the characters Wide() writes for `text` so
  // that their units (UTF-16 where wchar_t has 16 bits, one unit per
  // character where it has 32) are exactly those of `text`.
  static bool WideIsExact(const wchar_t* text, TextEscapes::Carried carried);

private:
  void Ascii(const char* text, const char* end, const TextEscapes& escapes);
  void Append(char32_t c, const TextEscapes& escapes);
  void Flush();
  // Encodes mChars as UTF-8 into mBytes and empties it; returns the length.
  std::size_t CharsToBytes();
  bool LocaleKeepsAscii();

  TextBuffer& mTarget;
  bool mUtf8Texts;
  // Whether the locale reads every ASCII byte as that character, asked once
  // per object; -1 before.
  int mLocaleKeepsAscii = -1;
  std::u32string mChars;
  std::u32string mDecoded;
  std::string mBytes;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_ESCAPEDTEXT_H
