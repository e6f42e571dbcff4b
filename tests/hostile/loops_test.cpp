// Loops made by the caller: a node linked below itself, below one of its
// descendants, a reference placed below the container it refers to (or below
// a descendant of it), a reference linked below itself. Every walk (lookups,
// the path listing, the deep copy, both writers, the flat interface) ends: a
// node met again on the path from where the walk started is not descended
// into again. Lookups do not offer it; the writers write it once more without
// its children; the deep copy copies it without its children, so the copy is
// a tree that frees as usual.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/genattr_c.h"
#include "tests/hostile/HostileUtil.h"

namespace {

using hostile::DeleteLoopNode;
using hostile::kDeclaration;
using hostile::kRule;
using hostile::kStamp;
using hostile::Names;
using hostile::Output;
using hostile::TextOf;
using hostile::XmlOf;

// One line of the text listing: indentation, the name in its 16-byte column,
// then the rest.
std::string Line(int indent, const std::string& name, const std::string& rest) {
  std::string padded = name;
  padded.resize(16, ' ');
  return std::string(static_cast<std::size_t>(indent), ' ') + "Name: " + padded + "    " + rest +
         "\n";
}

TEST(Loops, NodeLinkedBelowItself) {
  // T holds x and T itself.
  auto* top = new GenAttrBase("T");
  top->AddRef();
  auto* x = new GenAttrInt("x", 1);
  top->AddAttr(x);
  top->AddAttr(top);

  EXPECT_EQ(top->GetNumberChildren(), 2u);
  EXPECT_EQ(top->GetAttrByPath("T/T/T/x"), x);
  EXPECT_EQ(top->FindIntegerAttr("x", 1), x);
  EXPECT_EQ(top->FindIntegerAttr("x", 2), nullptr);
  EXPECT_EQ(Names(top->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "x");
  EXPECT_EQ(Names(top->GetAllAttr(nullptr, nullptr, GenAttrBase::FLAT)), "x T");
  EXPECT_EQ(Output([&] { top->DumpPath(); }), "");
  EXPECT_EQ(Output([&] { x->DumpPath(); }), "-> T : \n");

  const std::string base = "Value:   (Type: Base)";
  EXPECT_EQ(TextOf(top), kRule + Line(0, "T", base + "  (RefCount: 2)") +
                             Line(2, "x", "Value: 1  (Type: Int)") +
                             Line(2, "T", base + "  (RefCount: 2)"));
  EXPECT_EQ(XmlOf(top), kDeclaration + "<T value=\"\"\n>" + kStamp +
                            "\n  <x>1</x>\n  <T value=\"\"\n>\n  </T>\n</T>\n");

  auto* copy = new GenAttrBase(top);
  EXPECT_EQ(TextOf(copy), kRule + Line(0, "T", base) + Line(2, "x", "Value: 1  (Type: Int)") +
                              Line(2, "T", base));
  GenAttrBase::Free(copy);

  EXPECT_EQ(DeleteLoopNode(top), "WARNING: deleting a GenAttrBase (T) with RefCount = 2\n");
}

TEST(Loops, NodeLinkedBelowItsDescendant) {
  // T -> A -> B -> T, and A -> d.
  auto* top = new GenAttrBase("T");
  top->AddRef();
  auto* a = new GenAttrCont("A");
  auto* b = new GenAttrString("B", "v");
  auto* d = new GenAttrDouble("d", 2.5);
  top->AddAttr(a);
  a->AddAttr(b);
  a->AddAttr(d);
  b->AddAttr(top);

  EXPECT_EQ(top->GetAttrByPath("A/B/T/A/d"), d);
  EXPECT_EQ(top->FindDoubleAttr("d", 2.5, 0.1), d);
  EXPECT_EQ(top->FindStringAttr("B", "v"), b);
  EXPECT_EQ(top->FindStringAttr("B", "w"), nullptr);
  EXPECT_EQ(Names(top->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "A B d");
  EXPECT_EQ(Names(b->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "T A d");
  EXPECT_EQ(Names(top->GetAllAttr(nullptr, "", GenAttrBase::RECURSIVE)), "A");
  // Initial parents: d in A, A in T, T in B (its first parent), B in A.
  EXPECT_EQ(Output([&] { d->DumpPath(); }), "-> B : v\n  -> T : \n    -> A : \n");

  // The flat interface forwards to the same walks.
  EXPECT_EQ(QMV_GenAttr_FindDoubleAttr(top, "d", 2.5, 0.1), d);
  EXPECT_EQ(QMV_GenAttr_FindIntegerAttr(top, "none", 0), nullptr);
  EXPECT_EQ(QMV_GenAttr_Base_GetAttrByPath(b, "T/A/B"), b);

  const std::string listing = kRule + Line(0, "T", "Value:   (Type: Base)  (RefCount: 2)") +
                              Line(2, "A", "  (Type: Cont)") +
                              Line(4, "B", "Value: v  (Type: String)") +
                              Line(6, "T", "Value:   (Type: Base)  (RefCount: 2)") +
                              Line(4, "d", "Value: 2.5000  (Type: Double)");
  EXPECT_EQ(TextOf(top), listing);
  const char* file = "hostile_loop_listing.txt";
  ASSERT_EQ(QMV_GenAttr_WriteToFile(top, file), 0);
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), listing);
  std::remove(file);

  EXPECT_EQ(XmlOf(top), kDeclaration + "<T value=\"\"\n>" + kStamp +
                            "\n"
                            "  <A>\n"
                            "    <B value=\"v\"\n>\n"
                            "      <T value=\"\"\n>\n"
                            "      </T>\n"
                            "    </B>\n"
                            "    <d>2.5000</d>\n"
                            "  </A>\n"
                            "</T>\n");

  // The copy of A stops at the second A: A (B (T (A)), d).
  auto* copy = new GenAttrCont(a);
  EXPECT_EQ(Names(copy->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "B T A d");
  EXPECT_FALSE(copy->GetAttrByPath("B/T/A")->HasChildren());
  GenAttrBase::Free(copy);

  EXPECT_EQ(DeleteLoopNode(top), "WARNING: deleting a GenAttrBase (T) with RefCount = 2\n");
}

TEST(Loops, ReferenceBelowADescendantOfItsContainer) {
  // C -> D -> R, R shares the chain of C: R -> D -> R -> ...
  auto* c = new GenAttrCont("C");
  c->SetId("c1");
  auto* d = new GenAttrCont("D");
  c->AddAttr(d);
  auto* r = new GenAttrCont("R", c);
  d->AddAttr(r);

  EXPECT_EQ(c->GetAttrByPath("D/R/D/R/D"), d);
  EXPECT_EQ(Names(c->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "D R");
  EXPECT_EQ(Names(r->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "D");
  EXPECT_EQ(Output([&] { r->DumpPath(); }), "-> C : \n  -> D : \n");
  // The listing does not descend into references; the XML document does.
  EXPECT_EQ(TextOf(c), kRule + Line(0, "C", "Id: c1  (Type: Cont)") +
                           Line(2, "D", "  (Type: Cont)") +
                           Line(4, "R", "RefId: c1  (Type: Cont)"));
  EXPECT_EQ(XmlOf(c), kDeclaration + "<C>" + kStamp +
                          "\n  <D>\n    <R>\n      <D>\n      </D>\n    </R>\n  </D>\n</C>\n");

  auto* copy = new GenAttrCont(c);
  EXPECT_EQ(Names(copy->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "D R D");
  EXPECT_EQ(copy->GetAttrByPath("D/R")->IsReference(), 0);
  GenAttrBase::Free(copy);
  // No link loops back: the references own nothing they share.
  GenAttrBase::Free(c);
}

TEST(Loops, TopLinkedIntoItsOwnChainThroughAReference) {
  // R shares the chain of T; appending through R puts T into that chain, and
  // R goes there too: T -> x, T, R; R -> x, T, R.
  auto* top = new GenAttrBase("T");
  top->AddRef();
  top->AddAttr(new GenAttrInt("x", 1));
  auto* r = new GenAttrBase("R", top);
  r->AddAttr(top);
  top->AddAttr(r);

  EXPECT_EQ(top->GetNumberChildren(), 3u);
  EXPECT_EQ(r->GetNumberChildren(), 3u);
  EXPECT_EQ(Names(top->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "x R x");
  EXPECT_EQ(Names(r->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "x T x");
  EXPECT_EQ(top->GetAttrByPath("R/T/R/x"), top->GetAttr("x"));
  // T, x, T again, R (a reference: its children are listed where they belong).
  const std::string listing = TextOf(top);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1 + 4);

  EXPECT_EQ(DeleteLoopNode(top), "WARNING: deleting a GenAttrBase (T) with RefCount = 2\n");
}

TEST(Loops, ReferenceLinkedBelowItself) {
  // R shares the chain of C and puts itself in front of it: R -> R, x.
  auto* c = new GenAttrCont("C");
  auto* x = new GenAttrInt("x", 1);
  c->AddAttr(x);
  auto* r = new GenAttrBase("R", c);
  r->AddRef();
  r->AddAttrAtTop(r);

  EXPECT_EQ(Names(r->GetAllAttr(nullptr, nullptr, GenAttrBase::FLAT)), "R x");
  EXPECT_EQ(Names(r->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "x");
  EXPECT_EQ(r->GetAttrByPath("R/R/x"), x);
  EXPECT_EQ(XmlOf(r), kDeclaration + "<R value=\"\"\n>" + kStamp +
                          "\n  <R value=\"\"\n>\n  </R>\n  <x>1</x>\n</R>\n");

  // Once C is gone, R keeps the link it owns, to itself, and nothing of C.
  GenAttrBase::Free(c);
  EXPECT_EQ(Names(r->GetAllAttr(nullptr, nullptr, GenAttrBase::FLAT)), "R");
  EXPECT_EQ(DeleteLoopNode(r), "WARNING: deleting a GenAttrBase (R) with RefCount = 2\n");
}

} // namespace
