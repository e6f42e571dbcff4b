// The result list behind GenAttrList (compiled into this test: it is internal).
#include <gtest/gtest.h>

#include "genattr/GenAttrBase.h"
#include "tree/GenAttrListImpl.h"

TEST(ResultList, ReturnsEntriesInOrderAppendedDuplicatesIncluded) {
  GenAttrBase a("a");
  GenAttrBase b("b");
  auto* list = new GenAttrListImpl();
  EXPECT_EQ(list->GetNext(), nullptr) << "before the first GetFirst()";
  list->Append(&a);
  list->Append(&b);
  list->Append(&a);
  EXPECT_EQ(list->GetCount(), 3u);
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(list->GetFirst(), &a);
    EXPECT_EQ(list->GetNext(), &b);
    EXPECT_EQ(list->GetNext(), &a);
    EXPECT_EQ(list->GetNext(), nullptr);
    EXPECT_EQ(list->GetNext(), nullptr);
    EXPECT_EQ(list->GetCount(), 3u);
  }
  list->Reverse();
  list->Append(&a);
  EXPECT_EQ(list->GetNext(), nullptr) << "a finished walk stays finished";
  EXPECT_EQ(list->GetFirst(), &a);
  EXPECT_EQ(list->GetNext(), &b);
  EXPECT_EQ(a.GetRefCount(), 0);
  GenAttrList::Free(list);
  EXPECT_EQ(a.GetRefCount(), 0) << "freeing a list leaves its nodes alone";
}

TEST(ResultList, EmptyListAndNullFree) {
  GenAttrList* list = new GenAttrListImpl();
  EXPECT_EQ(list->GetCount(), 0u);
  EXPECT_EQ(list->GetFirst(), nullptr);
  EXPECT_EQ(list->GetNext(), nullptr);
  GenAttrList::Free(list);
  GenAttrList::Free(nullptr);
}

TEST(ResultList, KeepsOrderAcrossGrowth) {
  GenAttrBase nodes[3] = {GenAttrBase("a"), GenAttrBase("b"), GenAttrBase("c")};
  GenAttrListImpl list;
  constexpr unsigned kCount = 1000; // several doublings of the array
  for (unsigned i = 0; i < kCount; ++i) {
    list.Append(&nodes[i % 3]);
  }
  list.Reverse();
  ASSERT_EQ(list.GetCount(), kCount);
  unsigned i = kCount;
  for (GenAttrBase* node = list.GetFirst(); node != nullptr; node = list.GetNext()) {
    ASSERT_GT(i, 0u);
    --i;
    ASSERT_EQ(node, &nodes[i % 3]) << "entry " << kCount - 1 - i;
  }
  EXPECT_EQ(i, 0u);
}
