// Depth-first walks over attribute trees without recursion. Internal.
#ifndef GENATTR_TREE_TREEWALK_H
#define GENATTR_TREE_TREEWALK_H

#include <cstddef>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "tree/PathSet.h"
#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

// A depth-first walk below a root that holds the path from the root to the
// node being visited. Trees are meant to be acyclic, but nothing stops a caller
// from adding a node below itself; the walk refuses to descend into a node that
// is already on its path, so a cycle is visited once instead of forever. The
// path is the walk's own: nothing is written into the nodes, so walks may nest
// and walks over one tree never disturb each other.
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
  TreeWalk(GenAttrBase* root, Source source) : mSource(source) { Push(root); }
  TreeWalk(const TreeWalk&) = delete;
  TreeWalk& operator=(const TreeWalk&) = delete;

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
    if (mPath.size() > SHALLOW) {
      mDeep.Erase(mPath.back().node);
    }
    mPath.pop_back();
  }

  // Whether `node` is on the path. The first levels are searched one by one,
  // which for the depth of most trees costs less than hashing; the deeper
  // levels of long chains are looked up in a set.
  bool OnPath(const GenAttrBase* node) const {
    const std::size_t shallow = mPath.size() < SHALLOW ? mPath.size() : SHALLOW;
    for (std::size_t i = 0; i < shallow; ++i) {
      if (mPath[i].node == node) {
        return true;
      }
    }
    return mPath.size() > SHALLOW && mDeep.Contains(node);
  }
  // The deepest node on the path.
  GenAttrBase* Current() const { return mPath.back().node; }
  // Number of nodes on the path, the root included; 0 when the walk is over.
  std::size_t Depth() const { return mPath.size(); }

private:
  static constexpr std::size_t SHALLOW = 16;

  struct Frame {
    GenAttrBase* node;
    GenAttrChildLink* next; // Links: the link whose child comes next
    bool started;           // Cursor: GetFirstAttr() was called
  };

  // An allocation that fails here leaves the path and the set out of step;
  // the exception ends the walk, and nothing else reads them.
  void Push(GenAttrBase* node) {
    if (mPath.size() >= SHALLOW) {
      mDeep.Insert(node);
    }
    mPath.push_back(Frame{node, GenAttrTreeAccess::FirstLink(*node), false});
  }

  std::vector<Frame> mPath;
  // The nodes on the path below its first SHALLOW levels.
  PathSet mDeep;
  Source mSource;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_TREEWALK_H
