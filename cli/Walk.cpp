#include "cli/Walk.h"

namespace genattr {
namespace cli {

void CollectChildren(GenAttrBase* node, std::vector<GenAttrBase*>& out) {
  const GenAttrChildRange children = node->GetChildren();
  out.assign(children.begin(), children.end());
}

PreorderWalk::PreorderWalk(GenAttrBase* start, bool intoReferences)
    : mIntoReferences(intoReferences), mpNode(start) {}

namespace {

bool MayRecur(const GenAttrBase* node, std::size_t depth) {
  return depth == 0 || node->GetRefCount() > 1;
}

} // namespace

void PreorderWalk::Expand() {
  if (!mDescend || mpNode->HasChildren() == 0 || (mpNode->IsReference() != 0 && !mIntoReferences)) {
    return;
  }
  if (MayRecur(mpNode, mDepth)) {
    if (mOnPath.count(mpNode) != 0) {
      return;
    }
    mOnPath.insert(mpNode);
  }
  if (mTop == mFrames.size()) {
    mFrames.emplace_back();
  }
  Frame& frame = mFrames[mTop++];
  frame.node = mpNode;
  frame.next = 0;
  CollectChildren(mpNode, frame.children);
  mNumbers.Number(frame.children, frame.occurrences);
}

bool PreorderWalk::Next() {
  if (!mStarted) {
    mStarted = true;
    mDescend = mpNode != nullptr;
    return mpNode != nullptr;
  }
  Expand();
  while (mTop > 0) {
    Frame& frame = mFrames[mTop - 1];
    if (frame.next < frame.children.size()) {
      mOccurrence = frame.occurrences[frame.next];
      mpNode = frame.children[frame.next++];
      mDepth = mTop;
      mDescend = true;
      return true;
    }
    if (MayRecur(frame.node, mTop - 1)) {
      mOnPath.erase(frame.node);
    }
    --mTop;
  }
  return false;
}

} // namespace cli
} // namespace genattr
