// The tree walk on random graphs with loops (self-adds, back links, links
// through references, counts held by the host) against a model walk that
// searches its whole path before every descent. The walk skips that search
// for nodes held by one link while no reference is on its path; the model
// shows whether that ever changes what is visited. The walk is internal: the
// path set is compiled in.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrList.h"
#include "tree/TreeWalk.h"

namespace {

using genattr::detail::TreeWalk;

// One child met by a walk: the child, its level below the root, and whether
// the walk went below it (false when it was already on the path).
struct Step {
  GenAttrBase* node;
  std::size_t level;
  bool descended;
  bool operator==(const Step& other) const {
    return node == other.node && level == other.level && descended == other.descended;
  }
};

// Depth first along the public child ranges, searching the whole path.
// Gives up (returns false) once `limit` steps are exceeded.
bool ModelWalk(GenAttrBase* root, std::size_t limit, std::vector<Step>& steps) {
  std::vector<GenAttrBase*> path{root};
  std::vector<std::vector<GenAttrBase*>> pending{{}};
  for (GenAttrBase* child : root->GetChildren()) {
    pending.back().push_back(child);
  }
  std::reverse(pending.back().begin(), pending.back().end());
  while (!path.empty()) {
    if (pending.back().empty()) {
      path.pop_back();
      pending.pop_back();
      continue;
    }
    GenAttrBase* const child = pending.back().back();
    pending.back().pop_back();
    const bool repeat = std::find(path.begin(), path.end(), child) != path.end();
    steps.push_back(Step{child, path.size(), !repeat});
    if (steps.size() > limit) {
      return false;
    }
    if (!repeat) {
      path.push_back(child);
      pending.emplace_back();
      for (GenAttrBase* grandchild : child->GetChildren()) {
        pending.back().push_back(grandchild);
      }
      std::reverse(pending.back().begin(), pending.back().end());
    }
  }
  return true;
}

// The steps of the walk, up to `limit` of them.
std::vector<Step> Walk(GenAttrBase* root, TreeWalk::Source source, std::size_t limit) {
  std::vector<Step> steps;
  TreeWalk walk(root, source);
  while (walk.Depth() > 0 && steps.size() < limit) {
    GenAttrBase* const child = walk.NextChild();
    if (child == nullptr) {
      walk.Ascend();
      continue;
    }
    const std::size_t level = walk.Depth();
    steps.push_back(Step{child, level, walk.Descend(child)});
  }
  return steps;
}

// A random graph: a chain long enough to take the walk past its shallow
// levels, then links between random nodes (a node below itself included),
// references to random nodes, and counts taken by the host.
struct Graph {
  std::vector<GenAttrBase*> nodes;
  std::vector<GenAttrBase*> hostCounts;

  explicit Graph(std::mt19937& random) {
    const int chain = std::uniform_int_distribution<int>(1, 40)(random);
    for (int i = 0; i < chain; ++i) {
      nodes.push_back(new GenAttrBase(("n" + std::to_string(i)).c_str()));
      if (i > 0) {
        nodes[i - 1]->AddAttr(nodes[i]);
      }
    }
    const int edits = std::uniform_int_distribution<int>(0, 10)(random);
    for (int i = 0; i < edits; ++i) {
      GenAttrBase* const a = Pick(random);
      GenAttrBase* const b = Pick(random);
      switch (std::uniform_int_distribution<int>(0, 9)(random)) {
      case 0:
      case 1:
        nodes.push_back(new GenAttrBase(("r" + std::to_string(i)).c_str(), a));
        break;
      case 2:
        a->AddRef();
        hostCounts.push_back(a);
        break;
      case 3:
        a->AddAttrAtTop(b);
        break;
      default:
        a->AddAttr(b);
      }
    }
  }
  // Every link is given back while the test holds a count of every node, so
  // that none ends before the last of them are released.
  ~Graph() {
    for (GenAttrBase* node : nodes) {
      node->AddRef();
    }
    for (GenAttrBase* node : nodes) {
      node->RemoveAllAttr();
    }
    for (GenAttrBase* node : hostCounts) {
      node->UnRef();
    }
    for (GenAttrBase* node : nodes) {
      node->UnRef();
    }
  }
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  GenAttrBase* Pick(std::mt19937& random) const {
    return nodes[std::uniform_int_distribution<std::size_t>(0, nodes.size() - 1)(random)];
  }
};

TEST(WalkProperty, VisitsWhatAWalkSearchingItsWholePathVisits) {
  std::mt19937 random(20261207);
  int compared = 0;
  for (int round = 0; round < 400; ++round) {
    Graph graph(random);
    for (GenAttrBase* root : graph.nodes) {
      std::vector<Step> expected;
      if (!ModelWalk(root, 20000, expected)) {
        continue; // too many paths to compare quickly
      }
      ++compared;
      const std::string where = "round " + std::to_string(round) + ", root " + root->GetName();
      ASSERT_TRUE(Walk(root, TreeWalk::Links, expected.size() + 1) == expected) << where;
      ASSERT_TRUE(Walk(root, TreeWalk::Cursor, expected.size() + 1) == expected) << where;

      // Its users: the descendants range offers every child met, the
      // collecting lookup the children it went below or that have none.
      std::vector<GenAttrBase*> offered;
      std::vector<GenAttrBase*> collected;
      for (const Step& step : expected) {
        offered.push_back(step.node);
        if (step.descended || !step.node->HasChildren()) {
          collected.push_back(step.node);
        }
      }
      std::vector<GenAttrBase*> ranged;
      for (const GenAttrDescendant& descendant : root->GetDescendants()) {
        ranged.push_back(descendant.mpNode);
      }
      EXPECT_EQ(ranged, offered) << where;
      // Left out by SkipChildren(): the subtrees below the references and
      // below the nodes whose names end in 0, 4 or 8. Whether a node repeats
      // depends on its path alone, so the walk must give the model's steps
      // less those below a skipped node.
      auto skipped = [](const GenAttrBase* node) {
        const std::string name = node->GetName();
        return node->IsReference() != 0 || name.back() % 4 == 0;
      };
      std::vector<GenAttrBase*> kept;
      std::size_t below = expected.size() + 1; // steps deeper than this are left out
      for (const Step& step : expected) {
        if (step.level > below) {
          continue;
        }
        kept.push_back(step.node);
        below = skipped(step.node) ? step.level : expected.size() + 1;
      }
      std::vector<GenAttrBase*> pruned;
      GenAttrDescendantRange range = root->GetDescendants();
      for (GenAttrDescendantIterator it = range.begin(); it != range.end(); ++it) {
        pruned.push_back(it->mpNode);
        if (skipped(it->mpNode)) {
          it.SkipChildren();
        }
      }
      EXPECT_EQ(pruned, kept) << where;
      GenAttrList* list = root->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE);
      std::vector<GenAttrBase*> listed;
      for (GenAttrBase* node = list->GetFirst(); node != nullptr; node = list->GetNext()) {
        listed.push_back(node);
      }
      GenAttrList::Free(list);
      EXPECT_EQ(listed, collected) << where;
    }
  }
  EXPECT_GT(compared, 4000);
}

} // namespace
