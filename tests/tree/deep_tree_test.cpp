// Lookups on very deep trees and on loops made by the caller.
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"

namespace {

TEST(DeepTree, MillionLevelChain) {
  // Far deeper than a walk that recursed per level could go on an 8 MiB stack.
  constexpr unsigned int depth = 1000000;
  GenAttrCont* root = new GenAttrCont("level");
  GenAttrBase* bottom = root;
  for (unsigned int level = 1; level < depth; ++level) {
    GenAttrCont* child = new GenAttrCont("level");
    bottom->AddAttr(child);
    bottom = child;
  }
  GenAttrInt* number = new GenAttrInt("n", 42);
  GenAttrString* text = new GenAttrString("s", "v");
  GenAttrFloat* single = new GenAttrFloat("f", 1.0f);
  GenAttrDouble* real = new GenAttrDouble("d", 1.0);
  bottom->AddAttr(number);
  bottom->AddAttr(text);
  bottom->AddAttr(single);
  bottom->AddAttr(real);

  EXPECT_EQ(root->FindIntegerAttr("n", 42), number);
  EXPECT_EQ(root->FindStringAttr("s", "v"), text);
  EXPECT_EQ(root->FindFloatAttr("f", 1.0f, 0.5f), single);
  EXPECT_EQ(root->FindDoubleAttr("d", 1.0, 0.5), real);
  EXPECT_EQ(root->FindIntegerAttr("n", 43), nullptr);

  GenAttrList* all = root->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE);
  EXPECT_EQ(all->GetCount(), depth - 1 + 4);
  GenAttrList::Free(all);
  GenAttrList* found = root->GetAllAttr("n", "42", GenAttrBase::RECURSIVE);
  ASSERT_EQ(found->GetCount(), 1u);
  EXPECT_EQ(found->GetFirst(), number);
  GenAttrList::Free(found);

  std::string path;
  for (unsigned int level = 1; level < depth; ++level) {
    path += "level/";
  }
  EXPECT_EQ(root->GetAttrByPath((path + "n").c_str()), number);

  GenAttrBase::Free(root);
}

} // namespace
