#include "tree/GenAttrListImpl.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

// The cursor when no entry is under it: before the first GetFirst() and past
// the end. Beyond every size, so entries appended later do not revive a walk.
constexpr std::size_t kNoEntry = static_cast<std::size_t>(-1);

} // namespace

GenAttrListImpl::GenAttrListImpl() : mCurrent(kNoEntry) {}

GenAttrListImpl::~GenAttrListImpl() {
  std::free(mpAttrs);
}

GenAttrBase* GenAttrListImpl::GetFirst() {
  if (mCount == 0) {
    mCurrent = kNoEntry;
    return nullptr;
  }
  mCurrent = 0;
  return mpAttrs[0];
}

GenAttrBase* GenAttrListImpl::GetNext() {
  if (mCurrent >= mCount || ++mCurrent >= mCount) {
    mCurrent = kNoEntry;
    return nullptr;
  }
  return mpAttrs[mCurrent];
}

unsigned int GenAttrListImpl::GetCount() {
  return static_cast<unsigned int>(mCount);
}

void GenAttrListImpl::Reverse() {
  std::reverse(mpAttrs, mpAttrs + mCount);
}

void GenAttrListImpl::Grow() {
  const std::size_t capacity = mCapacity == 0 ? 16 : 2 * mCapacity;
  constexpr std::size_t kItemBytes = sizeof(void*); // an object pointer
  if (capacity > static_cast<std::size_t>(-1) / kItemBytes) {
    throw std::bad_alloc();
  }
  void* const grown = std::realloc(mpAttrs, capacity * kItemBytes);
  if (grown == nullptr) {
    throw std::bad_alloc();
  }
  mpAttrs = static_cast<GenAttrBase**>(grown);
  mCapacity = capacity;
}
