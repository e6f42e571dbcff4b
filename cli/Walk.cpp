#include "cli/Walk.h"

#include <cassert>

namespace genattr {
namespace cli {

void CollectChildren(GenAttrBase* node, std::vector<GenAttrBase*>& out) {
  const GenAttrChildRange children = node->GetChildren();
  out.assign(children.begin(), children.end());
}

PreorderWalk::PreorderWalk(GenAttrBase* start, bool intoReferences)
    : mpStart(start), mIntoReferences(intoReferences) {}

void PreorderWalk::SkipChildren() {
  if (mDepth == 0) {
    mStartSkipped = true;
  } else {
    mAt.SkipChildren();
  }
}

bool PreorderWalk::Next() {
  if (!mStarted) {
    mStarted = true;
    mpNode = mpStart;
    return mpNode != nullptr;
  }
  if (mpNode == nullptr || !Advance()) {
    mpNode = nullptr;
    return false;
  }
  GenAttrBase* const before = mpNode;
  const std::size_t beforeDepth = mDepth;
  mpNode = mAt->mpNode;
  mDepth = mAt->mDepth;
  NumberNode(before, beforeDepth);
  if (!mIntoReferences && mpNode->IsReference() != 0) {
    mAt.SkipChildren();
  }
  return true;
}

bool PreorderWalk::Advance() {
  if (mRange) {
    ++mAt;
  } else {
    if (mStartSkipped || (!mIntoReferences && mpStart->IsReference() != 0)) {
      return false;
    }
    mRange.emplace(mpStart->GetDescendants());
    mAt = mRange->begin();
  }
  return mAt != mRange->end();
}

void PreorderWalk::NumberNode(GenAttrBase* before, std::size_t beforeDepth) {
  // In pre-order the node visited before a first child is its parent, and
  // the library lists every child of a node it goes below, in link order, so
  // the children numbered at the first are the ones that follow.
  if (mDepth > beforeDepth) {
    if (mLevels.size() < mDepth) {
      mLevels.emplace_back();
    }
    Siblings& level = mLevels[mDepth - 1];
    CollectChildren(before, mChildren);
    mNumbers.Number(mChildren, level.occurrences);
    level.next = 0;
  }
  Siblings& level = mLevels[mDepth - 1];
  assert(level.next < level.occurrences.size());
  mOccurrence = level.next < level.occurrences.size() ? level.occurrences[level.next] : 1;
  ++level.next;
}

} // namespace cli
} // namespace genattr
