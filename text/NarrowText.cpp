#include "text/NarrowText.h"

namespace genattr {
namespace detail {

namespace {

bool IsNameByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         c == '-' || c == '.';
}

bool IsNameStartByte(char c) {
  return IsNameByte(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.';
}

} // namespace

char* EncodeXmlName(const char* text, std::size_t length, char* out) {
  if (length == 0) {
    *out++ = '_';
    return out;
  }
  for (std::size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      // Both bytes of its UTF-8 form are no name bytes.
      *out++ = '_';
      *out++ = '_';
    } else {
      *out++ = (i == 0 ? IsNameStartByte(c) : IsNameByte(c)) ? c : '_';
    }
  }
  return out;
}

} // namespace detail
} // namespace genattr
