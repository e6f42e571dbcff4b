// The typed document depends on the links below the written node alone:
// counts a host holds on nodes, and links from outside the written subtree,
// change no byte of it.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/support/TreeCompare.h"
#include "tests/xml/RandomTree.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Document;
using readertest::RandomTree;
using readertest::Read;
using readertest::Tree;

// Every node below `root`, once per place it is written at.
std::vector<GenAttrBase*> Places(GenAttrBase* root) {
  std::vector<GenAttrBase*> places;
  for (const GenAttrDescendant& descendant : root->GetDescendants()) {
    places.push_back(descendant.mpNode);
  }
  return places;
}

// Counts held on nodes of a tree, as a host (or the Python module, one per
// object) holds them. Given back at the end but the last count of a root,
// which the root's Tree gives back.
class Holds {
public:
  ~Holds() {
    for (GenAttrBase* node : mHeld) {
      if (node->GetRefCount() > 1) {
        node->UnRef();
      }
    }
  }
  void Hold(GenAttrBase* node) {
    node->AddRef();
    mHeld.push_back(node);
  }

private:
  std::vector<GenAttrBase*> mHeld;
};

std::string Typed(GenAttrBase* root) {
  // Huge Doubles have their overflow report printed by every write.
  testing::internal::CaptureStdout();
  std::string document = Document(root, true);
  testing::internal::GetCapturedStdout();
  return document;
}

TEST(TypedCounts, HeldCountsChangeNoByteOfTheModelTree) {
  Tree model(writertest::MakeModelTree().release());
  const std::string before = Typed(model.root);
  Holds holds;
  holds.Hold(model.root);
  for (GenAttrBase* node : Places(model.root)) {
    holds.Hold(node);
  }
  EXPECT_EQ(Typed(model.root), before);
  // Count is still linked twice, and so defined once and linked once.
  EXPECT_NE(before.find("<Count ga:type=\"Int\" ga:node=\"2\">"), std::string::npos) << before;
  EXPECT_NE(before.find("<Count ga:link=\"2\">"), std::string::npos) << before;
}

TEST(TypedCounts, HeldCountsChangeNoByteOfRandomTrees) {
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE(seed);
    Tree tree(RandomTree(seed, false).Make());
    const std::string before = Typed(tree.root);
    {
      Holds holds;
      std::mt19937 random(seed);
      holds.Hold(tree.root);
      for (GenAttrBase* node : Places(tree.root)) {
        if (random() % 2 == 0) {
          holds.Hold(node);
        }
      }
      ASSERT_EQ(Typed(tree.root), before);
    }
    // And the document still gives the tree back.
    GenAttrReadError error;
    Tree copy(Read(before, error));
    ASSERT_EQ(error.mStatus, 0) << error.mMessage;
    EXPECT_EQ(genattr_test::TreeCompare().Compare(tree.root, copy.root), "");
  }
}

// A node linked once below the written node and once elsewhere is written
// once, as a plain element: the other link is not in the document.
TEST(TypedCounts, LinksOutsideTheWrittenSubtreeAreNotCounted) {
  Tree tree(new GenAttrCont("root"));
  auto* written = new GenAttrCont("written");
  auto* elsewhere = new GenAttrCont("elsewhere");
  tree.root->AddAttr(written);
  tree.root->AddAttr(elsewhere);
  auto* both = new GenAttrInt("both", 7);
  written->AddAttr(both);
  elsewhere->AddAttr(both);
  const std::string subtree = Typed(written);
  EXPECT_EQ(subtree.find("ga:node"), std::string::npos) << subtree;
  EXPECT_NE(subtree.find("<both ga:type=\"Int\">7</both>"), std::string::npos) << subtree;
  // The whole tree links it twice.
  const std::string whole = Typed(tree.root);
  EXPECT_NE(whole.find("<both ga:type=\"Int\" ga:node=\"1\">7</both>"), std::string::npos);
  EXPECT_NE(whole.find("<both ga:link=\"1\">7</both>"), std::string::npos) << whole;
}

// A child linked twice under one parent, and a subtree reached twice, count
// each link once however often the walk passes it.
TEST(TypedCounts, EachLinkCountsOnce) {
  Tree tree(new GenAttrCont("root"));
  auto* twice = new GenAttrCont("twice");
  auto* inner = new GenAttrInt("inner", 1);
  twice->AddAttr(inner);
  tree.root->AddAttr(twice);
  tree.root->AddAttr(twice);
  Holds holds;
  holds.Hold(inner);
  holds.Hold(inner);
  const std::string document = Typed(tree.root);
  EXPECT_NE(document.find("<twice ga:type=\"Cont\" ga:node=\"1\">"), std::string::npos) << document;
  EXPECT_NE(document.find("<inner ga:type=\"Int\">1</inner>"), std::string::npos) << document;
  EXPECT_EQ(document.find("ga:node=\"2\""), std::string::npos) << document;
}

} // namespace
