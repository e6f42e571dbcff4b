#include "TreeWalk.h"

namespace genattr {
namespace detail {

namespace {

// 0 means "on no path"; every walk takes the next value.
std::uint32_t NextMark() {
  static std::uint32_t lastMark = 0;
  if (++lastMark == 0) {
    lastMark = 1;
  }
  return lastMark;
}

} // namespace

TreeWalk::TreeWalk(GenAttrBase* root, Source source) : mSource(source), mMark(NextMark()) {
  Push(root);
}

TreeWalk::~TreeWalk() {
  while (!mPath.empty()) {
    Ascend();
  }
}

void TreeWalk::Push(GenAttrBase* node) {
  std::uint32_t& mark = GenAttrTreeAccess::WalkMark(*node);
  mPath.push_back(Frame{node, GenAttrTreeAccess::FirstLink(*node), false, mark});
  mark = mMark;
}

GenAttrBase* TreeWalk::NextChild() {
  Frame& top = mPath.back();
  if (mSource == Cursor) {
    if (!top.started) {
      top.started = true;
      return top.node->GetFirstAttr();
    }
    return top.node->GetNextAttr();
  }
  GenAttrChildLink* link = top.next;
  if (link == nullptr) {
    return nullptr;
  }
  top.next = link->mpNext;
  return link->mpAttr;
}

bool TreeWalk::OnPath(const GenAttrBase* node) const {
  return GenAttrTreeAccess::WalkMark(*node) == mMark;
}

bool TreeWalk::Descend(GenAttrBase* node) {
  if (OnPath(node)) {
    return false;
  }
  Push(node);
  return true;
}

void TreeWalk::Ascend() {
  const Frame& top = mPath.back();
  GenAttrTreeAccess::WalkMark(*top.node) = top.savedMark;
  mPath.pop_back();
}

} // namespace detail
} // namespace genattr
