// The pre-order walk that every subcommand shares. Internal.
#ifndef GENATTR_CLI_WALK_H
#define GENATTR_CLI_WALK_H

#include <cstddef>
#include <optional>
#include <vector>

#include "cli/NodePath.h"
#include "genattr/GenAttrBase.h"

namespace genattr {
namespace cli {

// Replaces the content of `out` with the children of `node` in link order
// (a child linked twice appears twice). The node's child cursor stays where
// it is.
void CollectChildren(GenAttrBase* node, std::vector<GenAttrBase*>& out);

// The start node followed by the library's walk over its descendants
// (GenAttrBase::GetDescendants()), with what the command adds: each node's
// number among same-named siblings, and a choice about references. A
// reference's children are those of the container it shares them with; they
// are visited only when asked for at construction. A node met again on its
// own path (a loop) is visited without its children, as the library walks.
//
//   PreorderWalk walk(root, false);
//   while (walk.Next()) { use(walk.Node(), walk.Depth()); }
class PreorderWalk {
public:
  // Starts at `start`, which the first Next() visits at depth 0; a null
  // start makes a walk without nodes.
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
  void SkipChildren();

private:
  // Moves to the first descendant of the start, or on to the next one; false
  // when there is none.
  bool Advance();
  // Numbers the node just reached among its siblings, given the node visited
  // before it and that node's depth.
  void NumberNode(GenAttrBase* before, std::size_t beforeDepth);

  // The occurrence numbers of the children of one node on the path, taken
  // when its first child is reached, and the next one to hand out.
  struct Siblings {
    std::vector<unsigned> occurrences;
    std::size_t next = 0;
  };

  GenAttrBase* mpStart;
  bool mIntoReferences;
  bool mStarted = false;
  bool mStartSkipped = false;
  GenAttrBase* mpNode = nullptr;
  std::size_t mDepth = 0;
  unsigned mOccurrence = 1;
  // Empty until the walk goes below the start.
  std::optional<GenAttrDescendantRange> mRange;
  GenAttrDescendantIterator mAt;
  // mLevels[d - 1] numbers the children of the node last visited at depth
  // d - 1; the levels below the node visited keep their vectors' room.
  std::vector<Siblings> mLevels;
  std::vector<GenAttrBase*> mChildren;
  SiblingNumbers mNumbers;
};

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_WALK_H
