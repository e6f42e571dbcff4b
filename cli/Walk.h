// The pre-order walk that every subcommand shares. Internal.
#ifndef GENATTR_CLI_WALK_H
#define GENATTR_CLI_WALK_H

#include <cstddef>
#include <unordered_set>
#include <vector>

#include "cli/NodePath.h"
#include "genattr/GenAttrBase.h"

namespace genattr {
namespace cli {

// Replaces the content of `out` with the children of `node` in link order
// (a child linked twice appears twice). The node's child cursor stays where
// it is.
void CollectChildren(GenAttrBase* node, std::vector<GenAttrBase*>& out);

// Visits a subtree in pre-order without recursion, so any depth works. A
// reference's children are those of the container it shares them with; they
// are visited only when asked for at construction. A node that is already on
// the path from the start (a cycle made by mistake) is visited once more
// without its children, as the writers do, so the walk always ends.
//
//   PreorderWalk walk(root, false);
//   while (walk.Next()) { use(walk.Node(), walk.Depth()); }
class PreorderWalk {
public:
  // Starts at `start`, which the first Next() visits at depth 0.
  PreorderWalk(GenAttrBase* start, bool intoReferences);
  PreorderWalk(const PreorderWalk&) = delete;
  PreorderWalk& operator=(const PreorderWalk&) = delete;

  // Moves to the next node; false when the walk is over.
  bool Next();
  // The node visited, borrowed from the tree.
  GenAttrBase* Node() const { return mpNode; }
  // 0 for the start node, 1 for its children, ...
  std::size_t Depth() const { return mDepth; }
  // How many of its siblings up to and including the node carry its name
  // (1 for the start node), as NodePath.h numbers path segments.
  unsigned Occurrence() const { return mOccurrence; }
  // Leaves out the children of the node just visited.
  void SkipChildren() { mDescend = false; }

private:
  struct Frame {
    GenAttrBase* node;
    std::vector<GenAttrBase*> children;
    std::vector<unsigned> occurrences;
    std::size_t next;
  };

  // Puts the children of the node just visited on the stack, when wanted.
  void Expand();

  bool mIntoReferences;
  bool mStarted = false;
  bool mDescend = false;
  GenAttrBase* mpNode;
  std::size_t mDepth = 0;
  unsigned mOccurrence = 1;
  // Frames [0, mTop) are live; the ones above keep their vectors' room.
  std::vector<Frame> mFrames;
  std::size_t mTop = 0;
  // Nodes on the path that a cycle could come back to: the start and every
  // node held by more than one link. Others cannot be reached twice on one path.
  std::unordered_set<const GenAttrBase*> mOnPath;
  SiblingNumbers mNumbers;
};

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_WALK_H
