// Depth-first walks over attribute trees without recursion. Internal.
#ifndef GENATTR_TREE_TREEWALK_H
#define GENATTR_TREE_TREEWALK_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

// A depth-first walk below a root that holds the path from the root to the
// node being visited. Trees are meant to be acyclic, but nothing stops a caller
// from adding a node below itself; the walk marks the nodes on its path and
// refuses to descend into a node that is already on it, so a cycle is visited
// once instead of forever. Walks of different kinds may nest (a rendering that
// prints a path during a write): each walk has its own mark value and restores
// the marks it replaced.
//
// Typical pre-order loop:
//   TreeWalk walk(root, TreeWalk::Links);
//   while (walk.Depth() > 0) {
//     GenAttrBase* child = walk.NextChild();
//     if (child == nullptr) { walk.Ascend(); continue; }
//     visit(child);
//     walk.Descend(child);
//   }
class TreeWalk {
public:
  // Where the children come from: the links themselves (lookups, which must
  // not disturb the nodes' cursors) or the nodes' own cursors (the writers).
  enum Source { Links, Cursor };

  // Starts with `root` as the only node on the path.
  TreeWalk(GenAttrBase* root, Source source);
  TreeWalk(const TreeWalk&) = delete;
  TreeWalk& operator=(const TreeWalk&) = delete;
  // Restores the marks of the nodes still on the path (a walk left early).
  ~TreeWalk();

  // The next child of the deepest node on the path, or null when it has none
  // left (then Ascend()).
  GenAttrBase* NextChild() {
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
  // Puts `node` on the path so that NextChild() goes on with its children.
  // Returns false and changes nothing when `node` is already on the path.
  bool Descend(GenAttrBase* node) {
    if (OnPath(node)) {
      return false;
    }
    Push(node);
    return true;
  }
  // Takes the deepest node off the path.
  void Ascend() {
    const Frame& top = mPath.back();
    GenAttrTreeAccess::WalkMark(*top.node) = top.savedMark;
    mPath.pop_back();
  }

  // Whether `node` is on the path.
  bool OnPath(const GenAttrBase* node) const { return GenAttrTreeAccess::WalkMark(*node) == mMark; }
  // The deepest node on the path.
  GenAttrBase* Current() const { return mPath.back().node; }
  // Number of nodes on the path, the root included; 0 when the walk is over.
  std::size_t Depth() const { return mPath.size(); }

private:
  struct Frame {
    GenAttrBase* node;
    GenAttrChildLink* next; // Links: the link whose child comes next
    bool started;           // Cursor: GetFirstAttr() was called
    std::uint32_t savedMark;
  };

  void Push(GenAttrBase* node) {
    std::uint32_t& mark = GenAttrTreeAccess::WalkMark(*node);
    mPath.push_back(Frame{node, GenAttrTreeAccess::FirstLink(*node), false, mark});
    mark = mMark;
  }

  std::vector<Frame> mPath;
  Source mSource;
  std::uint32_t mMark;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_TREEWALK_H
