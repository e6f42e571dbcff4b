// GetChildren() and GetDescendants(): order, depth, no side effects, depth of
// any size, loops made by the caller, and the debug check against edits.
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttrBase.h"

namespace {

// Pre-order names with depths ("a1 b2 c1") of the descendants of `node`.
std::string Descendants(const GenAttrBase& node) {
  std::string out;
  for (const GenAttrDescendant& d : node.GetDescendants()) {
    out += (out.empty() ? "" : " ") + std::string(d.mpNode->GetName()) + std::to_string(d.mDepth);
  }
  return out;
}

std::string Children(const GenAttrBase& node) {
  std::string out;
  for (GenAttrBase* child : node.GetChildren()) {
    out += child->GetName();
  }
  return out;
}

// r -> a(b(c), d), e; the cursors of r and a stand on their first children.
struct SmallTree {
  GenAttrBase* r = new GenAttrBase("r");
  GenAttrBase* a = new GenAttrBase("a");
  GenAttrBase* b = new GenAttrBase("b");
  SmallTree() {
    r->AddAttr(a);
    r->AddAttr(new GenAttrBase("e"));
    a->AddAttr(b);
    a->AddAttr(new GenAttrBase("d"));
    b->AddAttr(new GenAttrBase("c"));
    r->GetFirstAttr();
    a->GetFirstAttr();
  }
  ~SmallTree() { GenAttrBase::Free(r); }
};

} // namespace

TEST(Ranges, WalkConstNodesInOrderWithoutMovingCursors) {
  SmallTree tree;
  const GenAttrBase& root = *tree.r;
  EXPECT_EQ(Children(root), "ae");
  EXPECT_EQ(Descendants(root), "a1 b2 c3 d2 e1");
  EXPECT_EQ(Descendants(*tree.b), "c1");
  EXPECT_EQ(Descendants(*root.GetAttrByPath("a/b/c")), "");
  // The cursors go on from where they stood.
  EXPECT_STREQ(tree.r->GetNextAttr()->GetName(), "e");
  EXPECT_STREQ(tree.a->GetNextAttr()->GetName(), "d");

  // A reference shows what it shares; a range can be walked twice.
  auto* ref = new GenAttrBase("ref", tree.a);
  GenAttrDescendantRange range = ref->GetDescendants();
  std::string twice;
  for (int pass = 0; pass < 2; ++pass) {
    for (const GenAttrDescendant& d : range) {
      twice += d.mpNode->GetName();
    }
  }
  EXPECT_EQ(twice, "bcdbcd");
  GenAttrBase::Free(ref);
}

TEST(Ranges, MillionLevelChainIsWalkedWithoutRecursion) {
  constexpr std::uint32_t kLevels = 1000000;
  auto* root = new GenAttrBase("root");
  GenAttrBase* tip = root;
  for (std::uint32_t level = 0; level < kLevels; ++level) {
    auto* next = new GenAttrBase("x");
    tip->AddAttr(next);
    tip = next;
  }
  std::uint32_t count = 0;
  std::uint32_t deepest = 0;
  for (const GenAttrDescendant& d : static_cast<const GenAttrBase*>(root)->GetDescendants()) {
    ++count;
    deepest = d.mDepth;
  }
  EXPECT_EQ(count, kLevels);
  EXPECT_EQ(deepest, kLevels);
  GenAttrBase::Free(root);
}

TEST(Ranges, LoopsMadeByTheCallerAreListedOnceWithoutTheirChildren) {
  // t -> a -> t, and t -> x; a reference below the node it refers to.
  auto* t = new GenAttrBase("t");
  t->AddRef();
  auto* a = new GenAttrBase("a");
  t->AddAttr(a);
  a->AddAttr(t);
  t->AddAttr(new GenAttrBase("x"));
  EXPECT_EQ(Descendants(*t), "a1 t2 x1");
  EXPECT_EQ(Descendants(*a), "t1 a2 x2");
  a->AddAttr(new GenAttrBase("r", a));
  EXPECT_EQ(Descendants(*a), "t1 a2 x2 r1 t2 a3 x3 r2");
  // Break the loop so that the tree can end.
  a->RemoveAllAttr();
  GenAttrBase::Free(t);
}

TEST(Ranges, SkippedSubtreesAreLeftOut) {
  SmallTree tree;
  auto skipping = [&](const char* skipped) {
    std::string out;
    GenAttrDescendantRange range = tree.r->GetDescendants();
    for (GenAttrDescendantIterator it = range.begin(); it != range.end(); ++it) {
      out += it->mpNode->GetName();
      if (std::string(skipped).find(it->mpNode->GetName()) != std::string::npos) {
        it.SkipChildren();
        it.SkipChildren(); // a second call changes nothing
      }
    }
    return out;
  };
  EXPECT_EQ(skipping(""), "abcde");
  EXPECT_EQ(skipping("a"), "ae");
  EXPECT_EQ(skipping("b"), "abde");
  EXPECT_EQ(skipping("cde"), "abcde"); // leaves: nothing to leave out
  GenAttrDescendantIterator end;
  end.SkipChildren();
  EXPECT_TRUE(end == GenAttrDescendantIterator());

  // A node listed again on its own path has no children to skip: skipping
  // there must not take its parent off the path.
  auto* t = new GenAttrBase("t");
  t->AddRef();
  auto* a = new GenAttrBase("a");
  t->AddAttr(a);
  a->AddAttr(t);
  a->AddAttr(new GenAttrBase("y"));
  std::string out;
  GenAttrDescendantRange range = t->GetDescendants();
  for (GenAttrDescendantIterator it = range.begin(); it != range.end(); ++it) {
    out += std::string(it->mpNode->GetName()) + std::to_string(it->mDepth) + " ";
    if (it->mpNode == t) {
      it.SkipChildren();
    }
  }
  EXPECT_EQ(out, "a1 t2 y2 ");
  a->RemoveAllAttr();
  GenAttrBase::Free(t);
}

#ifndef NDEBUG
TEST(RangesDeathTest, EditingTheNodeBeingWalkedStopsADebugBuild) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SmallTree tree;
  EXPECT_DEATH(
      {
        for (GenAttrBase* child : tree.r->GetChildren()) {
          tree.r->RemoveAttr(child);
        }
      },
      "edited while its children were being walked");
  EXPECT_DEATH(
      {
        for (const GenAttrDescendant& d : tree.r->GetDescendants()) {
          if (d.mDepth == 2) {
            tree.a->AddAttr(new GenAttrBase("late"));
          }
        }
      },
      "edited while its descendants were being walked");
}
#endif
