#include "base/NarrowText.h"

#include <cstring>

#include "base/Transcode.h"

namespace genattr {
namespace detail {

namespace {

// What a byte of a name becomes: itself when it may stand anywhere in a name
// or only after the first byte, else "_" (bytes from 80 up take two).
enum NameByteKind : unsigned char { Replaced = 0, NotFirst = 1, Anywhere = 2 };

struct NameByteKinds {
  unsigned char kind[256];
  constexpr NameByteKinds() : kind() {
    for (int c = 0; c < 128; ++c) {
      const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
      const bool notFirst = (c >= '0' && c <= '9') || c == '-' || c == '.';
      kind[c] = letter ? Anywhere : notFirst ? NotFirst : Replaced;
    }
  }
};
constexpr NameByteKinds kNameByteKinds;

} // namespace

char* CopyUtf8(const char* text, std::size_t length, char* out) {
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* const end = at + length;
  while (at != end) {
    // Runs of ASCII go in whole.
    const unsigned char* run = at;
    while (run != end && *run < 0x80) {
      ++run;
    }
    std::memcpy(out, at, static_cast<std::size_t>(run - at));
    out += run - at;
    if (run == end) {
      break;
    }
    at = run;
    if (IsWellFormedUTF8Bounded(at, end)) {
      const std::size_t sequence = *at >= 0xF0 ? 4 : *at >= 0xE0 ? 3 : 2;
      std::memcpy(out, at, sequence);
      out += sequence;
      at += sequence;
    } else {
      // U+FFFD
      *out++ = '\xEF';
      *out++ = '\xBF';
      *out++ = '\xBD';
      ++at;
    }
  }
  return out;
}

char* EncodeXmlName(const char* text, std::size_t length, char* out) {
  if (length == 0) {
    *out++ = '_';
    return out;
  }
  // The first byte must be able to start a name; every byte from 80 up is
  // two bytes of UTF-8, neither of them a name byte.
  unsigned needed = Anywhere;
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      *out++ = '_';
      *out++ = '_';
    } else {
      *out++ = kNameByteKinds.kind[c] >= needed ? static_cast<char>(c) : '_';
    }
    needed = NotFirst;
  }
  return out;
}

} // namespace detail
} // namespace genattr
