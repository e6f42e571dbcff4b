// The names of the type codes. Internal.
#ifndef GENATTR_TREE_TYPENAME_H
#define GENATTR_TREE_TYPENAME_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace detail {

// The name of `type` ("Base" ... "Ptr", or "<unknown>" for a code outside
// 0 to 7): a constant text that lives as long as the library.
const char* TypeName(GenAttrType type);

// The names of TypeName() with their lengths, for a writer that copies them
// into many lines: each is padded with zeros to kRoom bytes, so that a copy of
// the whole piece takes a fixed number of bytes.
class TypeNames {
public:
  static constexpr std::size_t kRoom = 16;
  struct Piece {
    char text[kRoom];
    std::size_t length;
  };

  TypeNames() : mPieces() {
    for (std::uint32_t code = 0; code <= kUnknown; ++code) {
      const char* name = TypeName(static_cast<GenAttrType>(code));
      mPieces[code].length = std::strlen(name);
      std::memcpy(mPieces[code].text, name, mPieces[code].length);
    }
  }

  const Piece& Of(GenAttrType type) const {
    const auto code = static_cast<std::uint32_t>(type);
    return mPieces[code < kUnknown ? code : kUnknown];
  }

private:
  // The first code without a name of its own.
  static constexpr std::uint32_t kUnknown = 8;
  Piece mPieces[kUnknown + 1];
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_TYPENAME_H
