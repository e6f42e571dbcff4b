// Lookup by name, by path, by typed value, and the filtered result lists.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"

namespace {

// The names of the entries, space-separated; frees the list.
std::string Names(GenAttrList* list) {
  std::string names;
  for (GenAttrBase* node = list->GetFirst(); node != nullptr; node = list->GetNext()) {
    names += (names.empty() ? "" : " ") + std::string(node->GetName());
  }
  GenAttrList::Free(list);
  return names;
}

TEST(GetAttrByPath, SegmentsIncludingEmptyAndLongOnes) {
  const std::string longName(300, 'L');
  GenAttrCont* root = new GenAttrCont("root");
  GenAttrBase* part = new GenAttrCont("Part");
  GenAttrBase* mass = new GenAttrDouble("Mass", 1.0);
  GenAttrBase* partBlank = new GenAttrCont("");
  GenAttrBase* deep = new GenAttrInt("deep", 1);
  GenAttrBase* rootBlank = new GenAttrCont("");
  GenAttrBase* x = new GenAttrInt("x", 2);
  GenAttrBase* slashed = new GenAttrInt("a/b", 3);
  GenAttrBase* longNode = new GenAttrInt(longName.c_str(), 4);
  root->AddAttr(part);
  part->AddAttr(mass);
  part->AddAttr(partBlank);
  partBlank->AddAttr(deep);
  root->AddAttr(rootBlank);
  rootBlank->AddAttr(x);
  root->AddAttr(slashed);
  root->AddAttr(longNode);
  root->AddAttr(new GenAttrCont("Part")); // a later namesake is never reached

  const std::pair<std::string, GenAttrBase*> cases[] = {
      {"Part", part},    {"Part/Mass", mass},    {"Part//deep", deep},      {"", rootBlank},
      {"/x", x},         {"Part/", partBlank},   {"Par", nullptr},          {"Parts", nullptr},
      {"Mass", nullptr}, {"Nope/Mass", nullptr}, {"Part/Mass/", nullptr},   {"//x", nullptr},
      {"a/b", nullptr},  {longName, longNode},   {longName + "L", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(root->GetAttrByPath(c.first.c_str()), c.second) << '"' << c.first << '"';
  }
  EXPECT_EQ(root->GetAttr("a/b"), slashed);
  EXPECT_EQ(root->GetAttr("deep"), nullptr);
  GenAttrCont* top = new GenAttrCont("Part");
  root->AddAttrAtTop(top);
  EXPECT_EQ(root->GetAttr("Part"), top);
  GenAttrBase::Free(root);
}

TEST(Lookup, NullNamesAndValuesFindNothing) {
  GenAttrCont* root = new GenAttrCont("root");
  root->AddAttr(new GenAttrString("s", "v"));
  root->AddAttr(new GenAttrInt("i", 1));
  EXPECT_EQ(root->GetAttr(nullptr), nullptr);
  EXPECT_EQ(root->GetAttrByPath(nullptr), nullptr);
  EXPECT_EQ(root->FindStringAttr(nullptr, "v"), nullptr);
  EXPECT_EQ(root->FindStringAttr("s", nullptr), nullptr);
  EXPECT_EQ(root->FindIntegerAttr(nullptr, 1), nullptr);
  EXPECT_EQ(root->FindFloatAttr(nullptr, 1.0f, 1.0f), nullptr);
  EXPECT_EQ(root->FindDoubleAttr(nullptr, 1.0, 1.0), nullptr);
  EXPECT_NE(root->FindStringAttr("s", "v"), nullptr);
  GenAttrBase::Free(root);
}

TEST(Find, PreOrderFirstMatchOfTheRightType) {
  // root
  //   a        Cont
  //     s      String "other"
  //       s    String "v"   <- first String match, below a mismatch
  //     n      Int 7        <- first Int match, before root's own n
  //   n        Int 7
  //   s        String "v"
  //   u, f     UnicodeString "v", Double 1.0: never String or Float candidates
  GenAttrCont* root = new GenAttrCont("root");
  GenAttrCont* a = new GenAttrCont("a");
  GenAttrString* mismatch = new GenAttrString("s", "other");
  GenAttrString* text = new GenAttrString("s", "v");
  GenAttrInt* number = new GenAttrInt("n", 7);
  root->AddAttr(a);
  a->AddAttr(mismatch);
  mismatch->AddAttr(text);
  a->AddAttr(number);
  root->AddAttr(new GenAttrInt("n", 7));
  root->AddAttr(new GenAttrString("s", "v"));
  root->AddAttr(new GenAttrUnicodeString("u", L"v"));
  root->AddAttr(new GenAttrDouble("f", 1.0));

  EXPECT_EQ(root->FindIntegerAttr("n", 7), number);
  EXPECT_EQ(root->FindStringAttr("s", "v"), text);
  EXPECT_EQ(root->FindIntegerAttr("n", 8), nullptr);
  EXPECT_EQ(root->FindStringAttr("u", "v"), nullptr);
  EXPECT_EQ(root->FindFloatAttr("f", 1.0f, 0.5f), nullptr);
  EXPECT_EQ(number->FindIntegerAttr("n", 7), nullptr); // never the node itself
  GenAttrBase::Free(root);
}

struct Tolerance {
  double stored, value, tolerance;
  bool found;
};

// Runs a case through FindFloatAttr (single precision) or FindDoubleAttr.
testing::AssertionResult FindsWithin(const Tolerance& c, bool single) {
  GenAttrCont* root = new GenAttrCont("root");
  GenAttrBase* node = single ? static_cast<GenAttrBase*>(new GenAttrFloat("x", float(c.stored)))
                             : new GenAttrDouble("x", c.stored);
  root->AddAttr(node);
  const bool found = node == (single ? root->FindFloatAttr("x", float(c.value), float(c.tolerance))
                                     : root->FindDoubleAttr("x", c.value, c.tolerance));
  GenAttrBase::Free(root);
  if (found == c.found) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << (single ? "Float" : "Double") << " stored " << c.stored
                                     << " value " << c.value << " tolerance " << c.tolerance;
}

TEST(Find, ToleranceBoundsAreStrict) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Tolerance cases[] = {
      {0.6, 1.0, 0.5, true},  {1.4, 1.0, 0.5, true},  {0.5, 1.0, 0.5, false},
      {1.5, 1.0, 0.5, false}, {1.0, 1.0, 0.0, false}, {1.0, 1.0, -0.5, false},
      {nan, 1.0, 0.5, false}, {1.0, nan, 0.5, false}, {1.0, 1.0, nan, false},
  };
  for (const Tolerance& c : cases) {
    EXPECT_TRUE(FindsWithin(c, true));
    EXPECT_TRUE(FindsWithin(c, false));
  }
  // 1 + 2^-24 rounds to 1 in single precision, 1 + 2^-53 in double: the sums
  // keep their own precision.
  EXPECT_TRUE(FindsWithin({1.0, 1.0, std::ldexp(1.0, -24), false}, true));
  EXPECT_TRUE(FindsWithin({1.0, 1.0, std::ldexp(1.0, -23), true}, true));
  EXPECT_TRUE(FindsWithin({1.0, 1.0, std::ldexp(1.0, -53), false}, false));
  EXPECT_TRUE(FindsWithin({1.0, 1.0, std::ldexp(1.0, -52), true}, false));
}

// root
//   A      Cont
//     s    Int 1, also under B
//     t    Int 2
//   B      Cont
//     s
//   RA     reference to A: shares s, t
//   h      Double 1.5
class AllAttrTest : public testing::Test {
protected:
  AllAttrTest() : mpRoot(new GenAttrCont("root")) {
    GenAttrCont* a = new GenAttrCont("A");
    GenAttrCont* b = new GenAttrCont("B");
    GenAttrInt* s = new GenAttrInt("s", 1);
    mpRoot->AddAttr(a);
    a->AddAttr(s);
    a->AddAttr(new GenAttrInt("t", 2));
    mpRoot->AddAttr(b);
    b->AddAttr(s);
    mpRoot->AddAttr(new GenAttrCont("RA", a));
    mpRoot->AddAttr(new GenAttrDouble("h", 1.5));
  }
  ~AllAttrTest() override { GenAttrBase::Free(mpRoot); }

  std::string All(const char* name, const char* value, int mode) {
    return Names(mpRoot->GetAllAttr(name, value, mode));
  }

  GenAttrCont* mpRoot;
};

TEST_F(AllAttrTest, ModesOrdersAndFilters) {
  EXPECT_EQ(All(nullptr, nullptr, GenAttrBase::FLAT), "A B RA h");
  EXPECT_EQ(All(nullptr, "", GenAttrBase::FLAT), "A B RA");
  for (int mode : {GenAttrBase::RECURSIVE, 2, -1}) {
    EXPECT_EQ(All(nullptr, nullptr, mode), "A s t B s RA s t h");
  }
  EXPECT_EQ(All("s", nullptr, GenAttrBase::RECURSIVE), "s s s");
  EXPECT_EQ(All(nullptr, "1", GenAttrBase::RECURSIVE), "s s s");
  EXPECT_EQ(All("t", "2", GenAttrBase::RECURSIVE), "t t");
  EXPECT_EQ(All(nullptr, "1.5000", GenAttrBase::RECURSIVE), "h");
  EXPECT_EQ(All(nullptr, "1.5", GenAttrBase::RECURSIVE), "");
  EXPECT_EQ(All(nullptr, "", GenAttrBase::RECURSIVE), "A B RA");
}

TEST_F(AllAttrTest, LookupsLeaveChildCursorsAlone) {
  GenAttrBase* a = mpRoot->GetFirstAttr();
  a->GetFirstAttr();
  EXPECT_NE(mpRoot->FindIntegerAttr("t", 2), nullptr);
  EXPECT_NE(mpRoot->GetAttrByPath("A/t"), nullptr);
  EXPECT_EQ(All(nullptr, nullptr, GenAttrBase::RECURSIVE), "A s t B s RA s t h");
  EXPECT_EQ(All(nullptr, nullptr, GenAttrBase::FLAT), "A B RA h");
  EXPECT_STREQ(mpRoot->GetNextAttr()->GetName(), "B");
  EXPECT_STREQ(a->GetNextAttr()->GetName(), "t");
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
  GenAttrDouble* real = new GenAttrDouble("d", 1.0);
  bottom->AddAttr(number);
  bottom->AddAttr(real);

  EXPECT_EQ(root->FindIntegerAttr("n", 42), number);
  EXPECT_EQ(root->FindDoubleAttr("d", 1.0, 0.5), real);
  EXPECT_EQ(root->FindStringAttr("n", "42"), nullptr);
  GenAttrList* all = root->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE);
  EXPECT_EQ(all->GetCount(), depth - 1 + 2);
  GenAttrList::Free(all);
  EXPECT_EQ(Names(root->GetAllAttr("n", "42", GenAttrBase::RECURSIVE)), "n");

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
  EXPECT_EQ(a->FindDoubleAttr("x", 1.0, 1.0), nullptr);
  EXPECT_EQ(Names(a->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "x R x");
  // Called on R, the walk never offers R itself.
  EXPECT_EQ(r->FindIntegerAttr("x", 1), a->GetAttr("x"));
  EXPECT_EQ(Names(r->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE)), "x");
  EXPECT_EQ(Names(r->GetAllAttr("R", nullptr, GenAttrBase::FLAT)), "R");
  EXPECT_EQ(r->GetAttrByPath("R/R/R/x"), a->GetAttr("x"));
  GenAttrBase::Free(a);
}

} // namespace
