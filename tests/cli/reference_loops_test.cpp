// The command's walk against a model walk on graphs that loop, and every
// subcommand's logic on a tree whose reference sits inside the container it
// shares.
#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/Find.h"
#include "cli/NodePath.h"
#include "cli/Output.h"
#include "cli/Stats.h"
#include "cli/TreeDiff.h"
#include "cli/Walk.h"
#include "genattr/GenAttr.h"
#include "tests/cli/RandomTree.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using namespace genattr::cli;
using writertest::Tree;

struct Visit {
  GenAttrBase* node;
  std::size_t depth;
  unsigned occurrence;
  bool operator==(const Visit& other) const {
    return node == other.node && depth == other.depth && occurrence == other.occurrence;
  }
};
using Skip = std::function<bool(const GenAttrBase*)>;

// The walk as the command means it: depth first along GetChildren(),
// searching the whole path before going below a node, numbering each child
// by the siblings of its name before it. Gives up beyond `limit` visits.
bool ModelWalk(GenAttrBase* start, bool intoReferences, const Skip& skip, std::size_t limit,
               std::vector<Visit>& visits) {
  std::vector<GenAttrBase*> path;
  std::function<bool(GenAttrBase*, unsigned)> visit = [&](GenAttrBase* node, unsigned k) {
    visits.push_back(Visit{node, path.size(), k});
    if (visits.size() > limit) {
      return false;
    }
    if (std::find(path.begin(), path.end(), node) != path.end() || skip(node) ||
        (!intoReferences && node->IsReference() != 0)) {
      return true;
    }
    path.push_back(node);
    std::map<std::string, unsigned> seen;
    for (GenAttrBase* child : node->GetChildren()) {
      if (!visit(child, ++seen[child->GetName()])) {
        return false;
      }
    }
    path.pop_back();
    return true;
  };
  return visit(start, 1);
}

std::vector<Visit> CommandWalk(GenAttrBase* start, bool intoReferences, const Skip& skip,
                               std::size_t limit) {
  std::vector<Visit> visits;
  PreorderWalk walk(start, intoReferences);
  while (visits.size() < limit && walk.Next()) {
    visits.push_back(Visit{walk.Node(), walk.Depth(), walk.Occurrence()});
    if (skip(walk.Node())) {
      walk.SkipChildren();
    }
  }
  return visits;
}

// A random tree, then references made from random containers linked below
// random containers (the one they share included: loops through
// references), and a few nodes linked below random nodes (their own subtree
// included: loops made by mistake).
class LoopingGraph {
public:
  explicit LoopingGraph(unsigned seed) : mRandom(seed) {
    GenAttrBase* root = mRandom.Make(mRandom.Pick(30));
    root->AddRef(); // the graph's own count, like every node's
    mNodes.push_back(root);
    for (const GenAttrDescendant& d : static_cast<const GenAttrBase*>(root)->GetDescendants()) {
      d.mpNode->AddRef();
      mNodes.push_back(d.mpNode);
    }
    std::vector<GenAttrCont*> containers;
    for (GenAttrBase* node : mNodes) {
      if (node->GetType() == Cont) {
        containers.push_back(static_cast<GenAttrCont*>(node));
      }
    }
    for (int edits = mRandom.Pick(8); edits > 0; --edits) {
      GenAttrCont* holder = containers[mRandom.Pick(static_cast<int>(containers.size()))];
      if (mRandom.Pick(3) != 0) {
        GenAttrCont* target = containers[mRandom.Pick(static_cast<int>(containers.size()))];
        auto* reference = new GenAttrCont(mRandom.Pick(2) == 0 ? "a" : "R", target);
        reference->AddRef();
        mNodes.push_back(reference);
        containers.push_back(reference);
        holder->AddAttr(reference);
      } else {
        holder->AddAttr(Pick());
      }
    }
    for (GenAttrBase* node : mNodes) {
      if (mRandom.Pick(4) == 0) {
        mSkipped.insert(node);
      }
    }
  }
  // Every link is given back while the graph holds a count of every node.
  ~LoopingGraph() {
    for (GenAttrBase* node : mNodes) {
      node->RemoveAllAttr();
    }
    for (GenAttrBase* node : mNodes) {
      node->UnRef();
    }
  }
  LoopingGraph(const LoopingGraph&) = delete;
  LoopingGraph& operator=(const LoopingGraph&) = delete;

  GenAttrBase* Root() const { return mNodes.front(); }
  GenAttrBase* Pick() { return mNodes[mRandom.Pick(static_cast<int>(mNodes.size()))]; }
  bool Skipped(const GenAttrBase* node) const { return mSkipped.count(node) != 0; }

private:
  clitest::RandomTrees mRandom;
  std::vector<GenAttrBase*> mNodes;
  std::set<const GenAttrBase*> mSkipped;
};

TEST(Walk, VisitsWhatAWalkSearchingItsWholePathVisits) {
  int compared = 0;
  for (unsigned seed = 0; seed < 300; ++seed) {
    LoopingGraph graph(seed);
    const Skip none = [](const GenAttrBase*) { return false; };
    const Skip some = [&graph](const GenAttrBase* node) { return graph.Skipped(node); };
    for (GenAttrBase* start : {graph.Root(), graph.Pick()}) {
      for (const bool intoReferences : {false, true}) {
        for (const Skip* skip : {&none, &some}) {
          std::vector<Visit> expected;
          if (!ModelWalk(start, intoReferences, *skip, 5000, expected)) {
            continue; // too many paths through references to compare quickly
          }
          ++compared;
          ASSERT_TRUE(CommandWalk(start, intoReferences, *skip, expected.size() + 1) == expected)
              << "seed " << seed << (intoReferences ? ", into references" : "")
              << (skip == &some ? ", skipping" : "");
        }
      }
    }
  }
  EXPECT_GT(compared, 2000);
}

// C holding x and R, a reference made from C: R sees C's chain, itself in it.
Tree MakeReferenceInsideItsContainer() {
  Tree c(new GenAttrCont("C"));
  c->AddAttr(new GenAttrInt("x", 1));
  c->AddAttr(new GenAttrCont("R", static_cast<GenAttrCont*>(c.get())));
  return c;
}

// It went on past a million visits: a reference whose own count is 1 was
// never looked for on the path, and going into it came back to it.
TEST(Walk, EndsOnAReferenceInsideTheContainerItShares) {
  Tree c = MakeReferenceInsideItsContainer();
  std::size_t library = 0;
  for (const GenAttrDescendant& d : static_cast<const GenAttrBase*>(c.get())->GetDescendants()) {
    library += d.mpNode != nullptr ? 1 : 0;
  }
  ASSERT_EQ(library, 4u); // x, R, and through R: x, R once more without children
  std::size_t visits = 0;
  PreorderWalk walk(c.get(), true);
  while (visits <= 1000000 && walk.Next()) {
    ++visits;
  }
  EXPECT_EQ(visits, library + 1); // the start as well
}

// Leaving references alone keeps the walk to the nodes themselves; going
// through every path through 20 references would not end in a lifetime.
TEST(Walk, LeftAloneReferencesCostOneVisitEach) {
  Tree c(new GenAttrCont("C"));
  for (int i = 0; i < 20; ++i) {
    c->AddAttr(new GenAttrCont("R", static_cast<GenAttrCont*>(c.get())));
  }
  PreorderWalk walk(c.get(), false);
  std::string occurrences;
  while (walk.Next()) {
    occurrences += std::to_string(walk.Occurrence()) + " ";
  }
  EXPECT_EQ(occurrences, "1 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 ");
  std::ostringstream found;
  EXPECT_EQ(FindNodes(c.get(), FindFilter{"R", nullptr, -1}, found), 20u);
  EXPECT_EQ(GatherStats(c.get(), 0).nodes, 21u);
}

TEST(ReferenceLoop, ListingShowsTheReferenceWithoutWhatItShares) {
  Tree c = MakeReferenceInsideItsContainer();
  std::ostringstream full;
  WriteTree(c.get(), Format::Text, Stylesheets{}, full);
  const std::string lines = full.str();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4) << lines; // rule, C, x, R
  std::ostringstream listed;
  WriteListing(c.get(), 1000, listed);
  EXPECT_EQ(listed.str(), lines);
  std::ostringstream top;
  WriteListing(c.get(), 0, top);
  EXPECT_EQ(top.str(), lines.substr(0, lines.find("\n  ") + 1));
}

TEST(ReferenceLoop, ProgressCountsWhatEachWriterGoesThrough) {
  Tree c = MakeReferenceInsideItsContainer();
  EXPECT_EQ(ExpectedLines(c.get(), Format::Text), 2u + 3u);
  for (const Format format : {Format::Xml, Format::Typed, Format::Html}) {
    EXPECT_EQ(ExpectedLines(c.get(), format), 2u + 5u);
  }
  // The XML writer goes the same way: one element per node it meets.
  std::ostringstream xml;
  WriteTree(c.get(), Format::Xml, Stylesheets{}, xml);
  const std::string document = xml.str();
  std::size_t elements = 0;
  for (const char* name : {"<C>", "<x>", "<R>"}) {
    for (std::size_t at = document.find(name); at != std::string::npos;
         at = document.find(name, at + 1)) {
      ++elements;
    }
  }
  EXPECT_EQ(elements, 5u) << document;
}

TEST(ReferenceLoop, PathsFoundLeadBackAndGetFollowsTheReference) {
  Tree c = MakeReferenceInsideItsContainer();
  std::ostringstream out;
  EXPECT_EQ(FindNodes(c.get(), FindFilter{}, out), 2u);
  EXPECT_EQ(out.str(), "x\nR\n");
  GenAttrBase* x = c->GetAttr("x");
  EXPECT_EQ(ResolvePath(c.get(), "x"), x);
  EXPECT_EQ(ResolvePath(c.get(), "R/x"), x);
  EXPECT_EQ(ResolvePath(c.get(), "R/R/R/x"), x);
  EXPECT_EQ(ResolvePath(c.get(), "R/y"), nullptr);
}

TEST(ReferenceLoop, StatsCountEachNodeOnce) {
  Tree c = MakeReferenceInsideItsContainer();
  const TreeStats stats = GatherStats(c.get(), 5);
  EXPECT_EQ(stats.nodes, 3u);
  EXPECT_EQ(stats.byType[Cont], 2u);
  EXPECT_EQ(stats.byType[Int], 1u);
  EXPECT_EQ(stats.depth, 1u);
  EXPECT_EQ(stats.references, 1u);
}

TEST(ReferenceLoop, DiffSeesAChangeOnceWhereItIs) {
  Tree before = MakeReferenceInsideItsContainer();
  Tree after = MakeReferenceInsideItsContainer();
  std::ostringstream same;
  EXPECT_EQ(DiffTrees(before.get(), after.get(), same), 0u);
  static_cast<GenAttrInt*>(after->GetAttr("x"))->SetValue(2);
  std::ostringstream changed;
  EXPECT_EQ(DiffTrees(before.get(), after.get(), changed), 1u);
  EXPECT_EQ(changed.str(), "value changed: x: \"1\" -> \"2\"\n");
}

} // namespace
