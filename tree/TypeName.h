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
// into many lines.
class TypeNames {
public:
  struct Piece {
    const char* text;
    std::size_t length;
  };

  TypeNames() {
    for (std::uint32_t code = 0; code <= kUnknown; ++code) {
      mPieces[code].text = TypeName(static_cast<GenAttrType>(code));
      mPieces[code].length = std::strlen(mPieces[code].text);
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
