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
// into many lines: each is padded with zeros to PIECE_ROOM bytes, so that a copy of
// the whole piece takes a fixed number of bytes.
class TypeNames {
public:
  static constexpr std::size_t PIECE_ROOM = 16;
  struct Piece {
    char text[PIECE_ROOM];
    std::size_t length;
  };

  TypeNames() : mPieces() {
    for (std::uint32_t code = 0; code <= UNKNOWN_CODE; ++code) {
      const char* name = TypeName(static_cast<GenAttrType>(code));
      mPieces[code].length = std::strlen(name);
      std::memcpy(mPieces[code].text, name, mPieces[code].length);
    }
  }

  const Piece& Of(GenAttrType type) const {
    const auto code = static_cast<std::uint32_t>(type);
    return mPieces[code < UNKNOWN_CODE ? code : UNKNOWN_CODE];
  }

private:
  // The first code without a name of its own.
  static constexpr std::uint32_t UNKNOWN_CODE = 8;
  Piece mPieces[UNKNOWN_CODE + 1];
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_TYPENAME_H
