// Kept out of line: only walks deeper than a few levels use the set, and the
// walks of ordinary trees stay small enough to inline.
#include "tree/PathSet.h"

#include <cstdint>

namespace genattr {
namespace detail {

bool PathSet::Contains(const GenAttrBase* node) const {
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

void PathSet::Insert(const GenAttrBase* node) {
  // At most half full, so that probe runs stay short and always end.
  if (2 * (mCount + 1) > mSlots.size()) {
    Grow();
  }
  Place(node);
  ++mCount;
}

// Later entries of the erased node's probe run move back into the gap (no
// tombstones), so lookups stay exact.
void PathSet::Erase(const GenAttrBase* node) {
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

// Fibonacci hashing: the high bits of the product spread the addresses, whose
// low bits are alike.
std::size_t PathSet::Home(const GenAttrBase* node) const {
  const std::uint64_t product =
      static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(node)) * 0x9E3779B97F4A7C15u;
  return static_cast<std::size_t>(product >> (64 - mBits));
}

void PathSet::Place(const GenAttrBase* node) {
  std::size_t i = Home(node);
  while (mSlots[i] != nullptr) {
    i = (i + 1) & Mask();
  }
  mSlots[i] = node;
}

void PathSet::Grow() {
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

} // namespace detail
} // namespace genattr
