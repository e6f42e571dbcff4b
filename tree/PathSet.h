// The set of nodes on the deep part of a walk's path. Internal.
#ifndef GENATTR_TREE_PATHSET_H
#define GENATTR_TREE_PATHSET_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace detail {

// An open-addressing hash set of node addresses with linear probing. A walk
// down a long chain inserts and erases one node per level; unlike a node-based
// set this allocates only when the table doubles.
class PathSet {
public:
  bool Contains(const GenAttrBase* node) const {
    if (mSlots.empty()) {
      return false;
    }
    for (std::size_t i = Home(node);; i = (i + 1) & Mask()) {
      if (mSlots[i] == node) {
        return true;
      }
      if (mSlots[i] == nullptr) {
        return false;
      }
    }
  }

  // `node` must not be in the set.
  void Insert(const GenAttrBase* node) {
    // At most half full, so that probe runs stay short and always end.
    if (2 * (mCount + 1) > mSlots.size()) {
      Grow();
    }
    Place(node);
    ++mCount;
  }

  // `node` must be in the set. Later entries of its probe run move back into
  // the gap (no tombstones), so lookups stay exact.
  void Erase(const GenAttrBase* node) {
    std::size_t gap = Home(node);
    while (mSlots[gap] != node) {
      gap = (gap + 1) & Mask();
    }
    for (std::size_t i = (gap + 1) & Mask(); mSlots[i] != nullptr; i = (i + 1) & Mask()) {
      // An entry may fill the gap when its home does not lie in (gap, i].
      const std::size_t home = Home(mSlots[i]);
      const bool homeInRun = gap < i ? (gap < home && home <= i) : (gap < home || home <= i);
      if (!homeInRun) {
        mSlots[gap] = mSlots[i];
        gap = i;
      }
    }
    mSlots[gap] = nullptr;
    --mCount;
  }

private:
  std::size_t Mask() const { return mSlots.size() - 1; }
  // Fibonacci hashing: the high bits of the product spread the addresses,
  // whose low bits are alike.
  std::size_t Home(const GenAttrBase* node) const {
    const std::uint64_t product =
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(node)) * 0x9E3779B97F4A7C15u;
    return static_cast<std::size_t>(product >> (64 - mBits));
  }
  void Place(const GenAttrBase* node) {
    std::size_t i = Home(node);
    while (mSlots[i] != nullptr) {
      i = (i + 1) & Mask();
    }
    mSlots[i] = node;
  }
  void Grow() {
    std::vector<const GenAttrBase*> old(mSlots.empty() ? 64 : 2 * mSlots.size(), nullptr);
    old.swap(mSlots);
    mBits = 0;
    while ((std::size_t{1} << mBits) < mSlots.size()) {
      ++mBits;
    }
    for (const GenAttrBase* node : old) {
      if (node != nullptr) {
        Place(node);
      }
    }
  }

  std::vector<const GenAttrBase*> mSlots;
  std::size_t mCount = 0;
  unsigned mBits = 0;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_PATHSET_H
