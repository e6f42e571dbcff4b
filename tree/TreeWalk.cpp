#include "tree/TreeWalk.h"

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

} // namespace detail
} // namespace genattr
