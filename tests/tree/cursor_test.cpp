// The per-node child cursor.
#include <gtest/gtest.h>

#include "tests/tree/TreeProbes.h"

TEST(Cursor, StaysNullBeforeTheFirstAndPastTheLastChild) {
  auto* node = new GenAttrBase("n");
  EXPECT_EQ(node->GetNextAttr(), nullptr);
  EXPECT_EQ(node->GetFirstAttr(), nullptr);
  EXPECT_EQ(node->HasChildren(), 0);

  auto* only = new GenAttrBase("only");
  node->AddAttr(only);
  EXPECT_EQ(node->GetNextAttr(), nullptr) << "no GetFirstAttr() since the child came";
  EXPECT_EQ(node->GetFirstAttr(), only);
  EXPECT_EQ(node->GetNextAttr(), nullptr);
  EXPECT_EQ(node->GetNextAttr(), nullptr);
  EXPECT_EQ(node->GetFirstAttr(), only);
  EXPECT_EQ(node->HasChildren(), 1);
  GenAttrBase::Free(node);
}

TEST(Cursor, InsertionsDuringAWalkShowOnlyBehindTheCursor) {
  auto* node = new GenAttrBase("n");
  node->AddAttr(new GenAttrBase("a"));
  EXPECT_STREQ(node->GetFirstAttr()->GetName(), "a");
  node->AddAttrAtTop(new GenAttrBase("top"));
  node->AddAttr(new GenAttrBase("b"));
  EXPECT_STREQ(node->GetNextAttr()->GetName(), "b");
  EXPECT_EQ(node->GetNextAttr(), nullptr);
  node->AddAttr(new GenAttrBase("late"));
  EXPECT_EQ(node->GetNextAttr(), nullptr);
  EXPECT_EQ(ChildNames(*node), "top,a,b,late");
  GenAttrBase::Free(node);
}

// A host removes children while it walks them with the cursor: each step goes
// on with the child after the one removed, also when that was the first.
TEST(Cursor, RemovingTheChildUnderTheCursorGoesOnWithTheNextOne) {
  auto* node = new GenAttrBase("n");
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    node->AddAttr(new GenAttrBase(name));
  }
  std::string visited;
  for (GenAttrBase* child = node->GetFirstAttr(); child != nullptr; child = node->GetNextAttr()) {
    visited += child->GetName();
    if (visited.size() != 2 && visited.size() != 4) {
      EXPECT_EQ(node->RemoveAttr(child), 1);
    }
  }
  EXPECT_EQ(visited, "abcde");
  EXPECT_EQ(ChildNames(*node), "b,d");
  GenAttrBase::Free(node);
}
