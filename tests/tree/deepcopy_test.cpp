// Deep copies: shape, order, types, values, counts and independence.
#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "genattr/GenAttrUtfTransfer.h"
#include "tests/tree/TreeProbes.h"

namespace {

int gPointee = 0;

std::string ValueOf(GenAttrBase& node) {
  switch (node.GetType()) {
  case String: {
    auto& text = static_cast<GenAttrString&>(node);
    return std::string(text.GetValue()) + (text.isUtfEncoded() ? " utf" : "");
  }
  case UnicodeString: {
    const wchar_t* wide = static_cast<GenAttrUnicodeString&>(node).GetValue();
    return std::string(wide, wide + std::wcslen(wide)); // ASCII values only
  }
  case Int:
    return std::to_string(static_cast<GenAttrInt&>(node).GetValue());
  case Float:
    return std::to_string(static_cast<GenAttrFloat&>(node).GetValue());
  case Double:
    return std::to_string(static_cast<GenAttrDouble&>(node).GetValue());
  case Ptr:
    return static_cast<GenAttrPtr&>(node).GetValue() == &gPointee ? "&pointee" : "?";
  case Cont: {
    const char* id = static_cast<GenAttrCont&>(node).GetId();
    return std::string("id ") + (id != nullptr ? id : "-");
  }
  case Base:
    break;
  }
  return "";
}

// One line per node in pre-order, indented by depth: name, description, type
// code, value, count, and flags for a reference or an initial parent.
std::string Signature(GenAttrBase& node, const std::string& indent = "") {
  std::string line = indent + node.GetName();
  line += node.GetDescription() != nullptr ? std::string(" [") + node.GetDescription() + "]" : "";
  line += " " + std::to_string(node.GetType()) + " " + ValueOf(node);
  line += " #" + std::to_string(node.GetRefCount());
  line += node.IsReference() != 0 ? " ref" : "";
  line += node.GetInitialParent() != nullptr ? " ^" : "";
  line += "\n";
  // Iterate by index: the recursion uses the same cursors.
  for (unsigned i = 0; GenAttrBase* child = ChildAt(node, i); ++i) {
    line += Signature(*child, indent + " ");
  }
  return line;
}

GenAttrCont* MakeTreeOfEveryType() {
  auto* root = new GenAttrCont("root", "rd");
  root->SetId("RID");
  GenAttr_EnableCatiaJtUtfTransfer();
  root->AddAttr(new GenAttrString("s", "sd", "text"));
  GenAttr_DisableCatiaJtUtfTransfer();
  root->AddAttr(new GenAttrUnicodeString("u", L"wide"));
  root->AddAttr(new GenAttrInt("i", -7));
  root->AddAttr(new GenAttrFloat("f", 1.5f));
  root->AddAttr(new GenAttrDouble("d", "dd", 2.25));
  root->AddAttr(new GenAttrPtr("p", &gPointee));
  auto* sub = new GenAttrCont("sub");
  sub->SetId("SUB");
  sub->AddAttr(new GenAttrBase("leaf", "ld"));
  root->AddAttr(sub);
  return root;
}

} // namespace

TEST(DeepCopy, CopiesOrderTypesAndValuesIntoIndependentNodes) {
  GenAttrCont* source = MakeTreeOfEveryType();
  auto* copy = new GenAttrCont(source);
  EXPECT_EQ(Signature(*copy), "root [rd] 5 id - #0\n"
                              " s [sd] 1 text utf #1\n"
                              " u 6 wide #1\n"
                              " i 4 -7 #1\n"
                              " f 2 1.500000 #1\n"
                              " d [dd] 3 2.250000 #1\n"
                              " p 7 &pointee #1\n"
                              " sub 5 id - #1\n"
                              "  leaf [ld] 0  #1\n");
  static_cast<GenAttrInt*>(ChildAt(*copy, 2))->SetValue(99);
  ChildAt(*copy, 0)->SetName("renamed");
  EXPECT_EQ(static_cast<GenAttrInt*>(ChildAt(*source, 2))->GetValue(), -7);
  EXPECT_STREQ(ChildAt(*source, 0)->GetName(), "s");
  GenAttrBase::Free(source);
  EXPECT_EQ(ChildNames(*copy), "renamed,u,i,f,d,p,sub");
  GenAttrBase::Free(copy);
}

TEST(DeepCopy, CopyOfAReferenceIsAnOrdinaryNodeWithCopiesOfWhatItSees) {
  auto* node = new GenAttrCont("n");
  node->SetId("X");
  auto* twice = new GenAttrBase("twice");
  node->AddAttr(twice);
  node->AddAttr(twice);
  auto* ref = new GenAttrCont("r", node);
  ref->AddAttrAtTop(new GenAttrBase("front"));
  auto* copy = new GenAttrCont(ref);
  EXPECT_EQ(Signature(*ref), "r 5 id X #0 ref\n front 0  #1 ^\n twice 0  #2 ^\n twice 0  #2 ^\n");
  EXPECT_EQ(Signature(*copy), "r 5 id - #0\n front 0  #1\n twice 0  #1\n twice 0  #1\n");
  EXPECT_NE(ChildAt(*copy, 1), ChildAt(*copy, 2));
  // A plain node copied from a typed one carries no value, so it says Base.
  auto* plainCopy = new GenAttrBase(static_cast<const GenAttrBase*>(node));
  EXPECT_EQ(Signature(*plainCopy), "n 0  #0\n twice 0  #1\n twice 0  #1\n");
  for (GenAttrBase* n : std::initializer_list<GenAttrBase*>{copy, plainCopy, ref, node}) {
    GenAttrBase::Free(n);
  }
}

TEST(DeepCopy, ReferenceBelowTheNodeItSharesIsCopiedOnce) {
  // The chain of "n" holds "r", which shares that chain: a cycle of links.
  auto* node = new GenAttrBase("n");
  node->AddAttr(new GenAttrBase("a"));
  auto* ref = new GenAttrBase("r", node);
  node->AddAttr(ref);
  auto* copy = new GenAttrBase(node);
  EXPECT_EQ(Signature(*copy), "n 0  #0\n a 0  #1\n r 0  #1\n  a 0  #1\n  r 0  #1\n");
  GenAttrBase::Free(copy);
  GenAttrBase::Free(node);
}

// A child that loops back to the container being copied is copied without its
// children; the siblings after it must still follow it in the copy.
TEST(DeepCopyRegression, ChildLoopingBackToTheContainerKeepsLaterSiblingsInPlace) {
  auto* container = new GenAttrCont("c");
  container->AddRef();
  auto* loop = new GenAttrCont("loop");
  container->AddAttr(new GenAttrInt("first", 1));
  container->AddAttr(loop);
  container->AddAttr(new GenAttrInt("after", 2));
  container->AddAttr(new GenAttrInt("last", 3));
  loop->AddAttr(container);

  auto* copy = new GenAttrCont(container);
  EXPECT_EQ(ChildNames(*copy), "first,loop,after,last");
  EXPECT_EQ(ChildNames(*copy->GetAttr("loop")), "c");
  EXPECT_EQ(copy->GetAttrByPath("loop/c")->HasChildren(), 0);
  GenAttrBase::Free(copy);

  loop->RemoveAttr(container);
  GenAttrBase::Free(container);
}
