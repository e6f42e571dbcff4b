// The depth-first walk and the indentation that both tree writers use. Internal.
#ifndef GENATTR_SERIALIZE_SUBTREEWALK_H
#define GENATTR_SERIALIZE_SUBTREEWALK_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>

#include "genattr/GenAttrBase.h"
#include "tree/TreeWalk.h"

namespace genattr {
namespace detail {

// Spaces in front of a node `level` levels below a root indented by `initial`,
// with `increment` more per level. Computed in 64 bits so that no setting can
// overflow; a level beyond 2^31 (more nodes than memory holds) counts as 2^31.
inline std::int64_t IndentAt(int initial, int increment, std::size_t level) {
  constexpr std::size_t maxLevel = std::size_t{1} << 31;
  const auto clamped = static_cast<std::int64_t>(level < maxLevel ? level : maxLevel);
  return std::int64_t{initial} + std::int64_t{increment} * clamped;
}

// Keeps a writer's depth counter at the level of the node being written,
// counted from the value the counter had when the walk began, and puts that
// value back when the walk ends, however it ends.
class DepthCounter {
public:
  explicit DepthCounter(int& depth) : mDepth(depth), mStart(depth) {}
  DepthCounter(const DepthCounter&) = delete;
  DepthCounter& operator=(const DepthCounter&) = delete;
  ~DepthCounter() { mDepth = mStart; }

  // The node `level` levels below the walk's root; a depth beyond the range
  // of int counts as its largest value.
  void At(std::size_t level) {
    constexpr auto largest = std::int64_t{std::numeric_limits<int>::max()};
    const std::int64_t below =
        level < static_cast<std::uint64_t>(largest) ? static_cast<std::int64_t>(level) : largest;
    const std::int64_t depth = mStart + below;
    mDepth = static_cast<int>(depth < largest ? depth : largest);
  }

private:
  int& mDepth;
  const int mStart;
};

// Ends a line: a line feed, and a flush of `out` when `flush` is set.
inline void EndLine(std::ostream& out, bool flush) {
  out.put('\n');
  if (flush) {
    out.flush();
  }
}

// Inserts `count` spaces into `out`; nothing when `count` is 0 or below.
void WriteIndent(std::ostream& out, std::int64_t count);

// Visits `root` and its subtree depth first in child order, taking the
// children from each node's own cursor. enter(node, level) is called when a
// node is reached (level 0 for `root`) and returns whether its children are
// wanted; leave(node, level) follows the last of them, or comes right after
// enter() when the children are not wanted or `node` already lies on the path
// from `root` (a tree its caller made cyclic: the repeated node is visited
// once, without children, so the walk ends). No recursion: any depth works.
template <class Enter, class Leave>
void WalkSubtree(GenAttrBase* root, Enter&& enter, Leave&& leave) {
  TreeWalk walk(root, TreeWalk::Cursor);
  if (!enter(root, std::size_t{0})) {
    leave(root, std::size_t{0});
    return;
  }
  while (walk.Depth() > 0) {
    GenAttrBase* child = walk.NextChild();
    if (child == nullptr) {
      leave(walk.Current(), walk.Depth() - 1);
      walk.Ascend();
      continue;
    }
    const std::size_t level = walk.Depth();
    // A node without children lies on no path and its cursor stays null,
    // so it needs no frame of the walk.
    if (!enter(child, level) || GenAttrTreeAccess::FirstLink(*child) == nullptr ||
        !walk.Descend(child)) {
      leave(child, level);
    }
  }
}

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_SUBTREEWALK_H
