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
    // A walk over the cursors leaves `next` null, so the walk over the links
    // tells the two apart only at the end of each node's children.
    GenAttrChildLink* link = top.next;
    if (link != nullptr) {
      top.next = link->mpNext;
      return link->mpAttr;
    }
    if (mSource == Links) {
      return nullptr;
    }
    if (!top.started) {
      top.started = true;
      return top.node->GetFirstAttr();
    }
    return top.node->GetNextAttr();
  }
  // Puts `node` on the path so that NextChild() goes on with its children.
  // Returns false and changes nothing when `node` is already on the path.
  bool Descend(GenAttrBase* node) {
    if (MayBeOnPath(*node) && OnPath(node)) {
      return false;
    }
    Push(node);
    return true;
  }
  // Takes the deepest node off the path.
  void Ascend() {
    const Frame& top = mPath.back();
    if (mPath.size() > SHALLOW && mPath.size() <= mIndexed) {
      mDeep.Erase(top.node);
      mIndexed = mPath.size() - 1;
    }
    mReferences -= top.reference ? 1 : 0;
    mPath.pop_back();
  }

  // The deepest node on the path.
  GenAttrBase* Current() const { return mPath.back().node; }
  // Number of nodes on the path, the root included; 0 when the walk is over.
  std::size_t Depth() const { return mPath.size(); }

private:
  static constexpr std::size_t SHALLOW = 16;

  struct Frame {
    GenAttrBase* node;
    GenAttrChildLink* next; // Links: the link whose child comes next; Cursor: null
    bool started;           // Cursor: GetFirstAttr() was called
    bool reference;         // the node is a reference
  };

  // Whether `node`, a child of the deepest node on the path, may be on the
  // path already; when not, the search is skipped, which keeps walks over
  // ordinary trees as cheap as walks that trust the tree. Every link holds
  // one count (counts a host holds only raise it), so a node held by a single
  // count has a single link. If such a node other than the root were on the
  // path, it would sit below the node seeing that link, as it does now: if no
  // node on the path is a reference, every link is seen by the one node
  // holding it (only references see links of others, those of the chain they
  // share), so the deepest node would be on the path twice, and the walk
  // never lets a node repeat. The root sits below no link of the path.
  bool MayBeOnPath(GenAttrBase& node) const {
    return mReferences != 0 || GenAttrTreeAccess::RefCount(node) != 1 ||
           &node == mPath.front().node;
  }

  // Whether `node` is on the path. The first levels are searched one by one,
  // which for the depth of most trees costs less than hashing; the deeper
  // levels of long chains are looked up in a set, which takes in the levels
  // pushed since the last search only now, so a walk that never needs to
  // search the deep levels never hashes.
  bool OnPath(const GenAttrBase* node) {
    const std::size_t depth = mPath.size();
    const std::size_t shallow = depth < SHALLOW ? depth : SHALLOW;
    for (std::size_t i = 0; i < shallow; ++i) {
      if (mPath[i].node == node) {
        return true;
      }
    }
    if (depth <= SHALLOW) {
      return false;
    }
    // An allocation that fails here ends the walk with the exception; the
    // levels taken in so far stay counted.
    for (; mIndexed < depth; ++mIndexed) {
      mDeep.Insert(mPath[mIndexed].node);
    }
    return mDeep.Contains(node);
  }

  void Push(GenAttrBase* node) {
    const bool reference = GenAttrTreeAccess::IsReference(*node);
    GenAttrChildLink* const first =
        mSource == Links ? GenAttrTreeAccess::FirstLink(*node) : nullptr;
    mPath.push_back(Frame{node, first, false, reference});
    mReferences += reference ? 1 : 0;
  }

  std::vector<Frame> mPath;
  // The nodes on the path from level SHALLOW up to, not including, level
  // mIndexed (never below SHALLOW).
  PathSet mDeep;
  std::size_t mIndexed = SHALLOW;
  // How many nodes on the path are references.
  std::size_t mReferences = 0;
  Source mSource;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_TREEWALK_H
