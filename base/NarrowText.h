// 8-bit texts read as ISO 8859-1 and turned into UTF-8 or XML element names.
// Internal to the library.
#ifndef GENATTR_BASE_NARROWTEXT_H
#define GENATTR_BASE_NARROWTEXT_H

#include <cstddef>

namespace genattr {
namespace detail {

// Writes the `length` bytes at `text`, each taken as the ISO 8859-1
// character of that value, to `out` in UTF-8: bytes below 80 stay as they
// are, the others take two bytes. `out` has room for 2 * length bytes;
// returns the end of what was written.
inline char* EncodeLatin1AsUtf8(const char* text, std::size_t length, char* out) {
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      *out++ = static_cast<char>(byte);
    } else {
      *out++ = static_cast<char>(0xC0 | (byte >> 6));
      *out++ = static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

// Writes the `length` bytes at `text`, meant as UTF-8, to `out`: every
// well-formed sequence as it is, every other byte as U+FFFD (three bytes).
// `out` has room for 3 * length bytes; returns the end of what was written.
char* CopyUtf8(const char* text, std::size_t length, char* out);

// Writes the XML element name made of the `length` bytes at `text`, read as
// ISO 8859-1, to `out`: their UTF-8 form with every byte that is no ASCII
// letter, digit, "_", "-" or "." turned into "_", and a first digit, "-" or
// "." too; "_" for the empty text. A character from 80 up thus becomes "__".
// `out` has room for 2 * length bytes, and at least one; returns the end of
// what was written.
char* EncodeXmlName(const char* text, std::size_t length, char* out);

} // namespace detail
} // namespace genattr

#endif // GENATTR_BASE_NARROWTEXT_H
