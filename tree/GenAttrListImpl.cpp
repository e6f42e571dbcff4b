#include "tree/GenAttrListImpl.h"

#include <algorithm>

namespace {

// The cursor when no entry is under it: before the first GetFirst() and past
// the end. Beyond every size, so entries appended later do not revive a walk.
constexpr std::size_t kNoEntry = static_cast<std::size_t>(-1);

} // namespace

GenAttrListImpl::GenAttrListImpl() : mCurrent(kNoEntry) {}

GenAttrListImpl::~GenAttrListImpl() = default;

GenAttrBase* GenAttrListImpl::GetFirst() {
  if (mAttrs.empty()) {
    mCurrent = kNoEntry;
    return nullptr;
  }
  mCurrent = 0;
  return mAttrs.front();
}

GenAttrBase* GenAttrListImpl::GetNext() {
  if (mCurrent >= mAttrs.size() || ++mCurrent >= mAttrs.size()) {
    mCurrent = kNoEntry;
    return nullptr;
  }
  return mAttrs[mCurrent];
}

unsigned int GenAttrListImpl::GetCount() {
  return static_cast<unsigned int>(mAttrs.size());
}

void GenAttrListImpl::Reverse() {
  std::reverse(mAttrs.begin(), mAttrs.end());
}
