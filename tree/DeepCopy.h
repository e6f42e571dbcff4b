// The subtree part of the deep-copy constructors. Internal.
#ifndef GENATTR_TREE_DEEPCOPY_H
#define GENATTR_TREE_DEEPCOPY_H

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace detail {

// Copies the subtree below `source` under `copy`, a node without children,
// without recursion. Each new link holds one count of its child; the copied
// children have no initial parent. A node that is already on the path from
// `source` (a cycle) is copied but not descended into. When an allocation
// fails, the links added to `copy` stay for its destructor to release.
void CopySubtree(GenAttrBase& copy, const GenAttrBase& source);

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_DEEPCOPY_H
