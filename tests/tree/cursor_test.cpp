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
