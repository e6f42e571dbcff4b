// The names of the type codes. Internal.
#ifndef GENATTR_TREE_TYPENAME_H
#define GENATTR_TREE_TYPENAME_H

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace detail {

// The name of `type` ("Base" ... "Ptr", or "<unknown>" for a code outside
// 0 to 7): a constant text that lives as long as the library.
const char* TypeName(GenAttrType type);

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_TYPENAME_H
