// What changed between two trees, one line per difference. Internal.
#ifndef GENATTR_CLI_TREEDIFF_H
#define GENATTR_CLI_TREEDIFF_H

#include <cstdint>
#include <ostream>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace cli {

// Compares the tree below `before` with the tree below `after` and writes one
// line per difference to `out`, in pre-order of the trees:
//   added: PATH                      a node (with its subtree) only in `after`
//   removed: PATH                    a node (with its subtree) only in `before`
//   type changed: PATH: OLD -> NEW   type name, " reference" added for references
//   value changed: PATH: "OLD" -> "NEW"   the value text, or a container's id
//   description changed: PATH: "OLD" -> "NEW"   (none) for a missing one
//   name changed: (root): "OLD" -> "NEW"   the roots only
// PATH is a NodePath.h path (of `after` where the node is in both), "(root)"
// for the roots. Children are lined up by their name, type, value and
// description first, then by name alone, each in order (SiblingAlign.h), so
// one inserted child is one line. A reference's children are compared where
// its container stands, and a node shared by several parents once. Returns
// the number of lines written.
std::uint64_t DiffTrees(GenAttrBase* before, GenAttrBase* after, std::ostream& out);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_TREEDIFF_H
