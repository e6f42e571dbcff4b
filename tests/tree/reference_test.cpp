// Reference nodes and the chains they share, in every order of destruction.
#include <gtest/gtest.h>

#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrString.h"
#include "tests/tree/TreeProbes.h"

namespace {

// A node "n" with the children a and b, the deaths of all three counted.
struct SharedTree {
  int deaths = 0;
  GenAttrBase* node = new TrackedNode("n", &deaths);
  GenAttrBase* a = new TrackedNode("a", &deaths);
  GenAttrBase* b = new TrackedNode("b", &deaths);
  SharedTree() {
    node->AddAttr(a);
    node->AddAttr(b);
  }
};

} // namespace

TEST(Reference, SharesTheChainWithoutTakingCounts) {
  SharedTree tree;
  tree.node->SetDescription("old");
  auto* ref = new GenAttrBase("r", tree.node);
  tree.node->SetDescription("new");
  EXPECT_EQ(ref->IsReference(), 1);
  EXPECT_EQ(ref->GetRefCount(), 0);
  EXPECT_STREQ(ref->GetDescription(), "old");
  EXPECT_EQ(ChildNames(*ref), "a,b");
  EXPECT_EQ(tree.a->GetRefCount(), 1);

  GenAttrBase::Free(ref);
  EXPECT_EQ(tree.deaths, 0);
  EXPECT_EQ(tree.a->GetRefCount(), 1);
  EXPECT_EQ(ChildNames(*tree.node), "a,b");
  GenAttrBase::Free(tree.node);
  EXPECT_EQ(tree.deaths, 3);
}

TEST(Reference, AddAttrAppendsToTheSharedChainAndAtTopOnlyToItsOwnFront) {
  SharedTree tree;
  auto* ref = new GenAttrBase("r", tree.node);
  auto* appended = new TrackedNode("c", &tree.deaths);
  ref->AddAttr(appended);
  ref->AddAttrAtTop(new TrackedNode("t", &tree.deaths));
  EXPECT_EQ(ChildNames(*tree.node), "a,b,c");
  EXPECT_EQ(ChildNames(*ref), "t,a,b,c");
  EXPECT_EQ(appended->GetInitialParent(), ref);

  GenAttrBase::Free(ref); // gives back "t", leaves "c" to the node
  EXPECT_EQ(tree.deaths, 1);
  EXPECT_EQ(appended->GetInitialParent(), nullptr);
  tree.node->AddAttr(new TrackedNode("d", &tree.deaths));
  EXPECT_EQ(ChildNames(*tree.node), "a,b,c,d");
  GenAttrBase::Free(tree.node);
  EXPECT_EQ(tree.deaths, 6);
}

TEST(Reference, OutlivingTheReferencedNodeKeepsOnlyItsOwnChildren) {
  SharedTree tree;
  auto* ref = new GenAttrBase("r", tree.node);
  ref->AddAttrAtTop(new TrackedNode("t", &tree.deaths));
  ref->AddAttr(new TrackedNode("c", &tree.deaths));
  EXPECT_EQ(ref->GetFirstAttr()->GetName(), std::string("t"));
  EXPECT_EQ(ref->GetNextAttr(), tree.a); // the cursor rests on a shared link

  GenAttrBase::Free(tree.node);
  EXPECT_EQ(tree.deaths, 4);
  EXPECT_EQ(ref->GetNextAttr(), nullptr);
  EXPECT_EQ(ChildNames(*ref), "t");
  ref->AddAttr(new TrackedNode("d", &tree.deaths));
  EXPECT_EQ(ChildNames(*ref), "t,d");
  GenAttrBase::Free(ref);
  EXPECT_EQ(tree.deaths, 6);
}

// A reference made from a reference loses the chain with the node that owns
// it, but only the front links of the middle reference when that one goes.
TEST(Reference, ReferenceOfAReferenceKeepsTheSharedChainWhenTheMiddleOneDies) {
  for (bool referencedDiesFirst : {false, true}) {
    SCOPED_TRACE(referencedDiesFirst ? "node first" : "middle reference first");
    SharedTree tree;
    auto* middle = new GenAttrBase("m", tree.node);
    middle->AddAttrAtTop(new TrackedNode("t1", &tree.deaths));
    auto* outer = new GenAttrBase("o", middle);
    outer->AddAttrAtTop(new TrackedNode("t2", &tree.deaths));
    outer->AddAttr(new TrackedNode("c", &tree.deaths));
    EXPECT_EQ(ChildNames(*outer), "t2,t1,a,b,c");
    EXPECT_EQ(ChildNames(*middle), "t1,a,b,c");
    EXPECT_EQ(ChildNames(*tree.node), "a,b,c");

    if (referencedDiesFirst) {
      GenAttrBase::Free(tree.node);
      EXPECT_EQ(ChildNames(*middle), "t1");
      EXPECT_EQ(ChildNames(*outer), "t2");
      GenAttrBase::Free(middle);
    } else {
      GenAttrBase::Free(middle);
      EXPECT_EQ(ChildNames(*outer), "t2,a,b,c");
      outer->AddAttr(new TrackedNode("d", &tree.deaths));
      EXPECT_EQ(ChildNames(*tree.node), "a,b,c,d");
      GenAttrBase::Free(tree.node);
    }
    EXPECT_EQ(tree.deaths, referencedDiesFirst ? 5 : 6);
    GenAttrBase::Free(outer);
    EXPECT_EQ(tree.deaths, referencedDiesFirst ? 6 : 7);
  }
}

TEST(Reference, ReferenceOfAChildlessNodeOwnsItsChain) {
  int deaths = 0;
  auto* node = new GenAttrBase("n");
  auto* ref = new GenAttrBase("r", node);
  ref->AddAttr(new TrackedNode("x", &deaths));
  node->AddAttr(new TrackedNode("y", &deaths));
  EXPECT_EQ(ChildNames(*ref), "x");
  EXPECT_EQ(ChildNames(*node), "y");
  GenAttrBase::Free(ref);
  EXPECT_EQ(deaths, 1);
  GenAttrBase::Free(node);
  EXPECT_EQ(deaths, 2);
}

TEST(Reference, TypeCodeNamesTheClassOfTheReference) {
  auto* text = new GenAttrString("s", "value");
  auto* plain = new GenAttrBase("r", text);
  EXPECT_EQ(plain->GetType(), Base);
  GenAttrBase::Free(plain);
  GenAttrBase::Free(text);
}

TEST(Reference, ContainerReferenceKeepsItsOwnCopyOfTheId) {
  auto* withId = new GenAttrCont("c");
  withId->SetId("X");
  auto* withoutId = new GenAttrCont("plain");
  auto* refWithId = new GenAttrCont("r1", withId);
  auto* refWithoutId = new GenAttrCont("r2", withoutId);
  EXPECT_EQ(refWithId->GetType(), Cont);
  EXPECT_EQ(refWithId->IsReference(), 1);

  withId->SetId("Y");
  withoutId->SetId("Z");
  GenAttrBase::Free(withId);
  EXPECT_STREQ(refWithId->GetId(), "X");
  EXPECT_EQ(refWithoutId->GetId(), nullptr);
  refWithId->SetId("W");
  EXPECT_STREQ(refWithId->GetId(), "W");
  GenAttrBase::Free(refWithId);
  GenAttrBase::Free(refWithoutId);
  GenAttrBase::Free(withoutId);
}

TEST(Reference, CopiedInitialParentIsClearedWhenThatParentDies) {
  auto* parent = new GenAttrBase("p");
  auto* node = new GenAttrBase("n");
  parent->AddAttr(node);
  node->AddRef();
  auto* ref = new GenAttrBase("r", node);
  EXPECT_EQ(ref->GetInitialParent(), parent);
  GenAttrBase::Free(parent);
  EXPECT_EQ(node->GetInitialParent(), nullptr);
  EXPECT_EQ(ref->GetInitialParent(), nullptr);
  GenAttrBase::Free(ref);
  GenAttrBase::Free(node);
}

TEST(ReferenceRegression, ChildrenAppendedThroughAFreedReferenceNameNoInitialParent) {
  SharedTree tree;
  auto* ref = new GenAttrBase("r", tree.node);
  auto* c = new TrackedNode("c", &tree.deaths);
  auto* d = new TrackedNode("d", &tree.deaths);
  ref->AddAttr(c);
  ref->AddAttr(d);
  EXPECT_EQ(c->GetInitialParent(), ref);
  EXPECT_EQ(d->GetInitialParent(), ref);
  GenAttrBase::Free(ref);
  EXPECT_EQ(c->GetInitialParent(), nullptr);
  EXPECT_EQ(d->GetInitialParent(), nullptr);
  EXPECT_EQ(ChildNames(*tree.node), "a,b,c,d");
  GenAttrBase::Free(tree.node);
  EXPECT_EQ(tree.deaths, 5);
}
