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
