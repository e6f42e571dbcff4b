// The set of nodes on the deep part of a walk's path. Internal.
#ifndef GENATTR_TREE_PATHSET_H
#define GENATTR_TREE_PATHSET_H

#include <cstddef>
#include <vector>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace detail {

// An open-addressing hash set of node addresses with linear probing. A walk
// down a long chain inserts and erases one node per level; unlike a node-based
// set this allocates only when the table doubles.
class PathSet {
public:
  bool Contains(const GenAttrBase* node) const;
  // `node` must not be in the set.
  void Insert(const GenAttrBase* node);
  // `node` must be in the set.
  void Erase(const GenAttrBase* node);

private:
  std::size_t Mask() const { return mSlots.size() - 1; }
  std::size_t Home(const GenAttrBase* node) const;
  void Place(const GenAttrBase* node);
  void Grow();

  std::vector<const GenAttrBase*> mSlots;
  std::size_t mCount = 0;
  unsigned mBits = 0;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_PATHSET_H
