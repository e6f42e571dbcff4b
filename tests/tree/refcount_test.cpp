// Reference counts, destruction, the two warning lines and initial parents.
#include <gtest/gtest.h>

#include "tests/tree/TreeProbes.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(RefCount, EachLinkHoldsOneCountThatTheParentGivesBack) {
  int deaths = 0;
  auto* parent = new GenAttrBase("p");
  auto* child = new TrackedNode("c", &deaths);
  parent->AddAttr(child);
  parent->AddAttr(child);
  EXPECT_EQ(child->GetRefCount(), 2);
  EXPECT_EQ(parent->GetNumberChildren(), 2u);
  EXPECT_EQ(ChildNames(*parent), "c,c");

  child->AddRef();
  GenAttrBase::Free(parent);
  EXPECT_EQ(deaths, 0);
  EXPECT_EQ(child->GetRefCount(), 1);
  EXPECT_EQ(child->GetInitialParent(), nullptr) << "must not name a destroyed parent";
  GenAttrBase::Free(child);
  EXPECT_EQ(deaths, 1);
}

// A node that notes its name in a shared log as its destruction begins.
class LoggedNode : public GenAttrBase {
public:
  LoggedNode(const char* name, std::string* log) : GenAttrBase(name), mpLog(log) {}
  ~LoggedNode() override { *mpLog += std::string(GetName()) + " "; }

private:
  std::string* mpLog;
};

// Each link, first to last, gives back its count, and a child that ends takes
// its own subtree with it before the next link: the destructors run in
// pre-order, whatever the depth.
TEST(RefCount, ATreeEndsFirstChildAndItsSubtreeFirst) {
  std::string log;
  auto* root = new LoggedNode("r", &log);
  auto* a = new LoggedNode("a", &log);
  auto* b = new LoggedNode("b", &log);
  root->AddAttr(a);
  root->AddAttr(b);
  a->AddAttr(new LoggedNode("a1", &log));
  a->AddAttr(new LoggedNode("a2", &log));
  b->AddAttr(new LoggedNode("b1", &log));
  ChildAt(*a, 1)->AddAttr(new LoggedNode("a2x", &log));
  GenAttrBase::Free(root);
  EXPECT_EQ(log, "r a a1 a2 a2x b b1 ");
}

TEST(RefCount, ChildOfTwoParentsSurvivesEitherAlone) {
  int deaths = 0;
  auto* first = new GenAttrBase("first");
  auto* second = new GenAttrBase("second");
  auto* child = new TrackedNode("c", &deaths);
  CaptureStdout();
  first->AddAttr(child);
  second->AddAttrAtTop(child);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(child->GetInitialParent(), first);
  EXPECT_EQ(child->GetRefCount(), 2);

  GenAttrBase::Free(first);
  EXPECT_EQ(deaths, 0);
  EXPECT_EQ(child->GetInitialParent(), nullptr);
  GenAttrBase::Free(second);
  EXPECT_EQ(deaths, 1);
}

TEST(RefCount, FreeOnAFreshNodeDestroysItSilently) {
  int deaths = 0;
  CaptureStdout();
  GenAttrBase::Free(new TrackedNode("n", &deaths));
  GenAttrBase::Free(nullptr);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(deaths, 1);
}

TEST(RefCount, DirectDeleteWithCountsHeldWarnsAndStillReleases) {
  int deaths = 0;
  auto* node = new GenAttrBase("a");
  node->AddRef();
  node->AddRef();
  node->AddAttr(new TrackedNode("child", &deaths));
  CaptureStdout();
  delete node;
  EXPECT_EQ(GetCapturedStdout(), "WARNING: deleting a GenAttrBase (a) with RefCount = 2\n");
  EXPECT_EQ(deaths, 1);
}

TEST(RefCount, SetInitialParentTwiceWarns) {
  int deaths = 0;
  auto* first = new GenAttrBase("first");
  auto* second = new GenAttrBase("second");
  auto* node = new TrackedNode("n", &deaths);
  CaptureStdout();
  node->SetInitialParent(first);
  EXPECT_EQ(GetCapturedStdout(), "");
  CaptureStdout();
  node->SetInitialParent(second);
  EXPECT_EQ(GetCapturedStdout(), "WARNING: GenAttrBase::SetInitialParent called twice!\n");
  EXPECT_EQ(node->GetInitialParent(), second);

  // Neither parent links the node, yet its destruction must clear the field.
  GenAttrBase::Free(first);
  EXPECT_EQ(node->GetInitialParent(), second);
  GenAttrBase::Free(second);
  EXPECT_EQ(node->GetInitialParent(), nullptr);
  GenAttrBase::Free(node);
}

TEST(RefCount, OnlyNonReferenceDestructionReleasesTheValueBuffer) {
  TrackedNode::ValueBuffer() = new char[128];
  TrackedNode::ValueBufferLen() = 128;
  auto* node = new GenAttrBase("n");
  node->AddAttr(new GenAttrBase("c"));
  GenAttrBase::Free(new GenAttrBase("r", node));
  EXPECT_NE(TrackedNode::ValueBuffer(), nullptr);
  GenAttrBase::Free(node);
  EXPECT_EQ(TrackedNode::ValueBuffer(), nullptr);
  EXPECT_EQ(TrackedNode::ValueBufferLen(), 128u);
}

TEST(RefCountRegression, SameInitialParentSetTwiceAndFreedLeavesNoDanglingParent) {
  int deaths = 0;
  auto* parent = new GenAttrBase("p");
  auto* node = new TrackedNode("n", &deaths);
  CaptureStdout();
  node->SetInitialParent(parent);
  node->SetInitialParent(parent);
  EXPECT_EQ(GetCapturedStdout(), "WARNING: GenAttrBase::SetInitialParent called twice!\n");
  GenAttrBase::Free(parent);
  EXPECT_EQ(node->GetInitialParent(), nullptr);
  GenAttrBase::Free(node);
  EXPECT_EQ(deaths, 1);
}
