// Lookups on very deep trees and on loops made by the caller.
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"

namespace {

// A node that names an initial parent without being linked under it, the
// only way to make the chain of initial parents loop without making the tree
// itself loop.
class Adoptee : public GenAttrBase {
public:
  explicit Adoptee(const char* name) : GenAttrBase(name) {}
  void Adopt(GenAttrBase* parent) { SetInitialParent(parent); }
};

template <typename F> std::string CaptureOutput(F&& call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

std::string Names(GenAttrList* list) {
  std::string names;
  for (GenAttrBase* node = list->GetFirst(); node != nullptr; node = list->GetNext()) {
    names += names.empty() ? "" : " ";
    names += node->GetName();
  }
  GenAttrList::Free(list);
  return names;
}

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

TEST(LoopingTree, ReferenceBelowItsOwnTargetIsWalkedOnce) {
  // A's chain holds x and R, and R shares A's chain: R -> x, R -> R -> ...
  GenAttrCont* a = new GenAttrCont("A");
  a->AddAttr(new GenAttrInt("x", 1));
  GenAttrCont* r = new GenAttrCont("R", a);
  a->AddAttr(r);

  EXPECT_EQ(a->FindIntegerAttr("x", 2), nullptr);
  EXPECT_EQ(a->FindStringAttr("x", "1"), nullptr);
  EXPECT_EQ(a->FindFloatAttr("x", 1.0f, 1.0f), nullptr);
  EXPECT_EQ(a->FindDoubleAttr("x", 1.0, 1.0), nullptr);
  EXPECT_EQ(Names(a->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "x R x");
  // Called on R, the walk never offers R itself.
  EXPECT_EQ(r->FindIntegerAttr("x", 1), a->GetAttr("x"));
  EXPECT_EQ(Names(r->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "x");
  EXPECT_EQ(Names(r->GetAllAttr("R", nullptr, GenAttrBase::FLAT)), "R");
  EXPECT_EQ(r->GetAttrByPath("R/R/R/x"), a->GetAttr("x"));
  GenAttrBase::Free(a);
}

TEST(LoopingTree, PathListingStopsWhereParentsLoop) {
  Adoptee* self = new Adoptee("self");
  self->Adopt(self);
  EXPECT_EQ(CaptureOutput([&] { self->DumpPath(); }), "");

  // A names B, B names A; C hangs below A.
  Adoptee* a = new Adoptee("A");
  Adoptee* b = new Adoptee("B");
  Adoptee* c = new Adoptee("C");
  a->Adopt(b);
  b->Adopt(a);
  c->Adopt(a);
  EXPECT_EQ(CaptureOutput([&] { a->DumpPath(); }), "-> B : \n");
  EXPECT_EQ(CaptureOutput([&] { b->DumpPath(); }), "-> A : \n");
  EXPECT_EQ(CaptureOutput([&] { c->DumpPath(); }), "-> B : \n  -> A : \n");

  // The overflow report lists the looping parents once as well.
  GenAttrDouble* big = new GenAttrDouble("big", 1e200);
  c->AddAttr(big);
  const std::string output = CaptureOutput([&] { EXPECT_STREQ(big->GetValueAsString(), ""); });
  const std::string path = "-> B : \n  -> A : \n    -> C : \n";
  ASSERT_GE(output.size(), path.size());
  EXPECT_EQ(output.substr(output.size() - path.size()), path);

  for (GenAttrBase* node : {static_cast<GenAttrBase*>(self), static_cast<GenAttrBase*>(a),
                            static_cast<GenAttrBase*>(b), static_cast<GenAttrBase*>(c)}) {
    GenAttrBase::Free(node);
  }
}

} // namespace
