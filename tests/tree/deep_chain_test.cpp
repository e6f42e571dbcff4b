// Trees far deeper and wider than any call stack: built, copied and freed
// without recursion on the default stack.
#include <gtest/gtest.h>

#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrInt.h"

namespace {

constexpr unsigned kSize = 1000000;

// Follows first children down from `node`; the number of levels below it.
unsigned Depth(GenAttrBase* node) {
  unsigned depth = 0;
  while ((node = node->GetFirstAttr()) != nullptr) {
    ++depth;
  }
  return depth;
}

} // namespace

TEST(DeepChain, MillionLevelChainIsBuiltCopiedAndFreed) {
  auto* root = new GenAttrCont("root");
  GenAttrBase* tip = root;
  for (unsigned level = 0; level < kSize; ++level) {
    GenAttrBase* next =
        level % 2 == 0 ? static_cast<GenAttrBase*>(new GenAttrInt("i", 1)) : new GenAttrBase("b");
    tip->AddAttr(next);
    tip = next;
  }
  auto* copy = new GenAttrCont(root);
  GenAttrBase::Free(root);
  EXPECT_EQ(Depth(copy), kSize);
  GenAttrBase::Free(copy);
}

TEST(DeepChain, MillionChildrenAreAppendedCopiedAndFreed) {
  auto* root = new GenAttrCont("root");
  for (unsigned i = 0; i < kSize; ++i) {
    root->AddAttr(new GenAttrInt("i", static_cast<int>(i)));
  }
  auto* copy = new GenAttrCont(root);
  GenAttrBase::Free(root);
  EXPECT_EQ(copy->GetNumberChildren(), kSize);
  GenAttrBase* last = nullptr;
  for (GenAttrBase* child = copy->GetFirstAttr(); child != nullptr; child = copy->GetNextAttr()) {
    last = child;
  }
  EXPECT_EQ(static_cast<GenAttrInt*>(last)->GetValue(), static_cast<int>(kSize - 1));
  GenAttrBase::Free(copy);
}
