// Trees far larger than usual: a container with 1,000,000 children under
// every operation, a loop of 1,000,000 levels, and a node shared by 200,000
// references. Nothing may take time that grows with the square of the size,
// nor stack that grows with the depth.
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/genattr_c.h"
#include "tests/hostile/HostileUtil.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using hostile::Output;

constexpr int kChildren = 1000000;

// Lines the writers produce, counted as they go.
template <class Writer> std::size_t LinesWritten(GenAttrBase* root) {
  writertest::CountingBuf sink;
  std::ostream out(&sink);
  Writer(root, &out).Write();
  return sink.lines;
}

TEST(Scale, MillionChildrenOfOneContainer) {
  auto* root = new GenAttrCont("root");
  for (int i = 0; i < kChildren - 1; ++i) {
    root->AddAttr(new GenAttrInt("i", i));
  }
  auto* last = new GenAttrInt("last", -1);
  root->AddAttr(last);
  // Appending through a reference lands at the end of the shared chain.
  auto* reference = new GenAttrCont("ref", root);
  auto* extra = new GenAttrInt("extra", -2);
  reference->AddAttr(extra);

  EXPECT_EQ(root->GetNumberChildren(), static_cast<unsigned>(kChildren + 1));
  EXPECT_EQ(root->GetAttr("last"), last);
  EXPECT_EQ(root->GetAttrByPath("extra"), extra);
  EXPECT_EQ(QMV_GenAttr_Base_GetAttr(reference, "last"), last);
  EXPECT_EQ(root->FindIntegerAttr("last", -1), last);
  GenAttrHandle* found = QMV_GenAttr_FindIntegerAttr(root, "i", kChildren - 2);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(QMV_GenAttr_Int_GetValue(found), kChildren - 2);
  EXPECT_EQ(hostile::Names(root->GetAllAttr(nullptr, "-2", GenAttrBase::RECURSIVE)), "extra");
  GenAttrList* all = reference->GetAllAttr("i", nullptr, GenAttrBase::FLAT);
  EXPECT_EQ(all->GetCount(), static_cast<unsigned>(kChildren - 1));
  GenAttrList::Free(all);

  std::size_t walked = 0;
  for (GenAttrHandle* child = QMV_GenAttr_Base_GetFirstAttr(root); child != nullptr;
       child = QMV_GenAttr_Base_GetNextAttr(root)) {
    ++walked;
  }
  EXPECT_EQ(walked, static_cast<std::size_t>(kChildren + 1));
  EXPECT_EQ(Output([&] { last->DumpPath(); }), "-> root : \n");

  // Rule line and one line per node; declaration, start tag with the stamp,
  // an empty line, one line per child and the end tag.
  EXPECT_EQ(LinesWritten<GenAttrSTSerializer>(root), 1u + 1 + kChildren + 1);
  EXPECT_EQ(LinesWritten<GenAttrXMLSerializer>(root), 3u + kChildren + 1 + 1);

  auto* copy = new GenAttrCont(root);
  EXPECT_EQ(copy->GetNumberChildren(), static_cast<unsigned>(kChildren + 1));
  GenAttrBase::Free(copy);
  GenAttrBase::Free(reference);
  GenAttrBase::Free(root);
}

TEST(Scale, MillionLevelLoopBackToTheTop) {
  // top -> n -> n -> ... -> n (1,000,000 levels) -> top
  auto* top = new GenAttrBase("top");
  top->AddRef();
  GenAttrBase* bottom = top;
  for (int level = 0; level < kChildren; ++level) {
    auto* next = new GenAttrInt("n", level);
    bottom->AddAttr(next);
    bottom = next;
  }
  bottom->AddAttr(top);

  EXPECT_EQ(top->FindIntegerAttr("n", -1), nullptr);
  EXPECT_EQ(top->FindIntegerAttr("n", kChildren - 1), bottom);
  GenAttrList* all = top->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE);
  EXPECT_EQ(all->GetCount(), static_cast<unsigned>(kChildren));
  GenAttrList::Free(all);

  // The copy ends with a copy of the top that holds nothing: a chain that
  // frees as usual.
  auto* copy = new GenAttrBase(top);
  all = copy->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE);
  EXPECT_EQ(all->GetCount(), static_cast<unsigned>(kChildren + 1));
  GenAttrList::Free(all);
  GenAttrBase::Free(copy);

  // Every level on its own line, and the top once more at the bottom.
  writertest::CountingBuf sink;
  std::ostream out(&sink);
  GenAttrSTSerializer text(top, &out);
  text.SetIndentIncrement(0);
  text.Write();
  EXPECT_EQ(sink.lines, 1u + 1 + kChildren + 1);

  EXPECT_EQ(hostile::DeleteLoopNode(top),
            "WARNING: deleting a GenAttrBase (top) with RefCount = 2\n");
}

// 200,000 references to one container, every second one made from the one
// before, were given back in the reverse order of their making: each left
// its lists by a search through all the others, some minutes in all.
TEST(ScaleRegression, ManyReferencesToOneNodeAreReleasedInAnyOrder) {
  constexpr int kReferences = 200000;
  auto* root = new GenAttrCont("root");
  auto* shared = new GenAttrCont("shared");
  root->AddAttr(shared);
  shared->AddAttr(new GenAttrInt("x", 1));
  // References take over the initial parent of the container they refer to.
  std::vector<GenAttrCont*> references;
  for (int i = 0; i < kReferences; ++i) {
    references.push_back(
        new GenAttrCont("r", i % 2 == 0 || references.empty() ? shared : references.back()));
  }
  EXPECT_EQ(references.back()->GetAttr("x"), shared->GetAttr("x"));
  EXPECT_EQ(references.back()->GetInitialParent(), root);
  for (auto it = references.rbegin(); it != references.rend(); ++it) {
    GenAttrBase::Free(*it);
  }

  // And the container goes first while they all still share its chain.
  references.clear();
  for (int i = 0; i < kReferences; ++i) {
    references.push_back(new GenAttrCont("r", shared));
  }
  GenAttrBase::Free(root);
  EXPECT_EQ(references.back()->HasChildren(), 0);
  EXPECT_EQ(references.back()->GetInitialParent(), nullptr);
  for (auto it = references.rbegin(); it != references.rend(); ++it) {
    GenAttrBase::Free(*it);
  }
}

} // namespace
