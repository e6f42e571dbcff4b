// Initial parents that the parent's own links may not reach. Internal.
#ifndef GENATTR_TREE_INITIALPARENTS_H
#define GENATTR_TREE_INITIALPARENTS_H

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace detail {

// A parent clears the initial parent of the children it links when it is
// destroyed. Two kinds of node name an initial parent without being linked
// there: references, which copy it from the node they refer to, and nodes
// given one through SetInitialParent(). Those are recorded here.
//
// Makes `parent` (may be null) the initial parent of `node` and records it, so
// that the destruction of `parent` clears it. Strong exception guarantee; with
// a null `parent` it allocates nothing and cannot throw.
void RecordInitialParent(GenAttrBase& node, GenAttrBase* parent);

// Called by every destructor: drops the record of `dying` and clears the
// initial parent of every recorded node that names `dying`.
void ForgetInitialParents(GenAttrBase& dying);

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_INITIALPARENTS_H
