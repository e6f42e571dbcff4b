// Lookup by name, by path, by typed value, and the filtered result lists.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"

namespace {

std::string NameOf(const GenAttrBase* node) {
  return node == nullptr ? std::string("(null)") : "'" + std::string(node->GetName()) + "'";
}

// The names of the entries, space-separated; frees the list.
std::string Names(GenAttrList* list) {
  std::string names;
  unsigned int count = 0;
  for (GenAttrBase* node = list->GetFirst(); node != nullptr; node = list->GetNext(), ++count) {
    names += names.empty() ? "" : " ";
    names += node->GetName();
  }
  if (count != list->GetCount()) {
    names += " <count mismatch>";
  }
  GenAttrList::Free(list);
  return names;
}

testing::AssertionResult PathLeadsTo(const GenAttrBase* from, const std::string& path,
                                     const GenAttrBase* expected) {
  const GenAttrBase* actual = from->GetAttrByPath(path.c_str());
  if (actual == expected) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "path \"" << path << "\": expected " << NameOf(expected) << ", got " << NameOf(actual);
}

TEST(GetAttr, FirstDirectChildWithTheName) {
  GenAttrCont* root = new GenAttrCont("root");
  GenAttrInt* first = new GenAttrInt("dup", 1);
  GenAttrInt* second = new GenAttrInt("dup", 2);
  GenAttrCont* holder = new GenAttrCont("holder");
  holder->AddAttr(new GenAttrInt("grandchild", 3));
  root->AddAttr(first);
  root->AddAttr(second);
  root->AddAttr(holder);

  EXPECT_EQ(root->GetAttr("dup"), first);
  EXPECT_EQ(root->GetAttr("du"), nullptr);
  EXPECT_EQ(root->GetAttr("dupe"), nullptr);
  EXPECT_EQ(root->GetAttr("grandchild"), nullptr);
  EXPECT_EQ(root->GetAttr(""), nullptr);

  GenAttrInt* top = new GenAttrInt("dup", 0);
  root->AddAttrAtTop(top);
  EXPECT_EQ(root->GetAttr("dup"), top);

  GenAttrCont* unnamed = new GenAttrCont("");
  root->AddAttr(unnamed);
  EXPECT_EQ(root->GetAttr(""), unnamed);
  GenAttrBase::Free(root);
}

TEST(GetAttrByPath, SegmentsIncludingEmptyAndLongOnes) {
  GenAttrCont* root = new GenAttrCont("root");
  GenAttrCont* part = new GenAttrCont("Part");
  GenAttrDouble* mass = new GenAttrDouble("Mass", 1.0);
  GenAttrCont* partUnnamed = new GenAttrCont("");
  GenAttrInt* deep = new GenAttrInt("deep", 1);
  GenAttrCont* rootUnnamed = new GenAttrCont("");
  GenAttrInt* x = new GenAttrInt("x", 2);
  GenAttrInt* slashed = new GenAttrInt("a/b", 3);
  GenAttrCont* parts = new GenAttrCont("Parts");
  const std::string longName(300, 'L');
  const std::string longerName(100000, 'M');
  GenAttrCont* longNode = new GenAttrCont(longName.c_str());
  GenAttrInt* longerNode = new GenAttrInt(longerName.c_str(), 4);
  root->AddAttr(part);
  part->AddAttr(mass);
  part->AddAttr(partUnnamed);
  partUnnamed->AddAttr(deep);
  root->AddAttr(rootUnnamed);
  rootUnnamed->AddAttr(x);
  root->AddAttr(slashed);
  root->AddAttr(parts);
  root->AddAttr(longNode);
  longNode->AddAttr(longerNode);

  EXPECT_TRUE(PathLeadsTo(root, "Part", root->GetAttr("Part")));
  EXPECT_TRUE(PathLeadsTo(root, "Part/Mass", mass));
  EXPECT_TRUE(PathLeadsTo(root, "Part//deep", deep));
  EXPECT_TRUE(PathLeadsTo(root, "Parts", parts));
  EXPECT_TRUE(PathLeadsTo(root, "Par", nullptr));
  EXPECT_TRUE(PathLeadsTo(root, "Mass", nullptr));       // not a direct child
  EXPECT_TRUE(PathLeadsTo(root, "Nope/Mass", nullptr));  // first segment missing
  EXPECT_TRUE(PathLeadsTo(root, "Part/Mass/", nullptr)); // Mass has no unnamed child
  EXPECT_TRUE(PathLeadsTo(root, "Part/Massive", nullptr));
  // Empty segments name children with empty names.
  EXPECT_TRUE(PathLeadsTo(root, "", rootUnnamed));
  EXPECT_TRUE(PathLeadsTo(root, "/x", x));
  EXPECT_TRUE(PathLeadsTo(root, "Part/", partUnnamed));
  EXPECT_TRUE(PathLeadsTo(root, "//x", nullptr));
  EXPECT_TRUE(PathLeadsTo(part, "", partUnnamed));
  EXPECT_TRUE(PathLeadsTo(mass, "", nullptr));
  // The separator cannot be part of a name on a path.
  EXPECT_EQ(root->GetAttr("a/b"), slashed);
  EXPECT_TRUE(PathLeadsTo(root, "a/b", nullptr));
  // Segment length is not limited.
  EXPECT_TRUE(PathLeadsTo(root, longName, longNode));
  EXPECT_TRUE(PathLeadsTo(root, longName + "/" + longerName, longerNode));
  EXPECT_TRUE(PathLeadsTo(root, longName + "/" + longerName + "M", nullptr));
  EXPECT_TRUE(PathLeadsTo(root, longName + "/" + longerName.substr(1), nullptr));
  GenAttrBase::Free(root);
}

TEST(Find, PreOrderFirstMatch) {
  // root
  //   a            Cont
  //     skip       String "other", with a matching child below it
  //       s        String "v"      <- first String match
  //     b          Cont
  //       n        Int 7           <- first Int match (grandchild of a)
  //   n            Int 7
  //   s            String "v"
  GenAttrCont* root = new GenAttrCont("root");
  GenAttrCont* a = new GenAttrCont("a");
  GenAttrString* skip = new GenAttrString("s", "other");
  GenAttrString* firstString = new GenAttrString("s", "v");
  GenAttrCont* b = new GenAttrCont("b");
  GenAttrInt* firstInt = new GenAttrInt("n", 7);
  root->AddAttr(a);
  a->AddAttr(skip);
  skip->AddAttr(firstString);
  a->AddAttr(b);
  b->AddAttr(firstInt);
  root->AddAttr(new GenAttrInt("n", 7));
  root->AddAttr(new GenAttrString("s", "v"));

  EXPECT_EQ(root->FindIntegerAttr("n", 7), firstInt);
  EXPECT_EQ(root->FindStringAttr("s", "v"), firstString);
  EXPECT_EQ(root->FindStringAttr("s", "other"), skip);
  EXPECT_EQ(root->FindIntegerAttr("n", 8), nullptr);
  EXPECT_EQ(root->FindIntegerAttr("N", 7), nullptr);
  EXPECT_EQ(root->FindStringAttr("s", "V"), nullptr);
  // Called below the root, the search stays in that subtree.
  EXPECT_EQ(b->FindIntegerAttr("n", 7), firstInt);
  EXPECT_EQ(firstInt->FindIntegerAttr("n", 7), nullptr);
  GenAttrBase::Free(root);
}

TEST(Find, TypeDecidesCandidates) {
  GenAttrCont* root = new GenAttrCont("root");
  root->AddAttr(new GenAttrUnicodeString("v", L"x"));
  root->AddAttr(new GenAttrDouble("f", 1.0));
  root->AddAttr(new GenAttrFloat("d", 1.0f));
  root->AddAttr(new GenAttrFloat("i", 3.0f));
  root->AddAttr(new GenAttrString("n", "3"));
  EXPECT_EQ(root->FindStringAttr("v", "x"), nullptr);
  EXPECT_EQ(root->FindFloatAttr("f", 1.0f, 0.5f), nullptr);
  EXPECT_EQ(root->FindDoubleAttr("d", 1.0, 0.5), nullptr);
  EXPECT_EQ(root->FindIntegerAttr("i", 3), nullptr);
  EXPECT_EQ(root->FindIntegerAttr("n", 3), nullptr);
  EXPECT_EQ(root->FindDoubleAttr("f", 1.0, 0.5), root->GetAttr("f"));
  EXPECT_EQ(root->FindFloatAttr("d", 1.0f, 0.5f), root->GetAttr("d"));
  GenAttrBase::Free(root);
}

TEST(Find, CalledNodeIsNeverItsOwnResult) {
  GenAttrInt* root = new GenAttrInt("n", 1);
  EXPECT_EQ(root->FindIntegerAttr("n", 1), nullptr);
  GenAttrInt* child = new GenAttrInt("n", 1);
  root->AddAttr(child);
  EXPECT_EQ(root->FindIntegerAttr("n", 1), child);
  GenAttrList* list = root->GetAllAttr("n", "1", GenAttrBase::RECURSIVE);
  EXPECT_EQ(Names(list), "n");
  GenAttrBase::Free(root);
}

TEST(Find, DescendsThroughSharedChildrenAndReferences) {
  GenAttrCont* outside = new GenAttrCont("outside");
  GenAttrDouble* target = new GenAttrDouble("d", 2.5);
  outside->AddAttr(target);
  GenAttrCont* root = new GenAttrCont("root");
  root->AddAttr(new GenAttrCont("ref", outside));
  EXPECT_EQ(root->FindDoubleAttr("d", 2.5, 0.1), target);

  GenAttrCont* first = new GenAttrCont("first");
  GenAttrCont* second = new GenAttrCont("second");
  GenAttrInt* shared = new GenAttrInt("shared", 1);
  first->AddAttr(shared);
  second->AddAttr(shared);
  root->AddAttr(second);
  root->AddAttr(first);
  EXPECT_EQ(root->FindIntegerAttr("shared", 1), shared);
  EXPECT_EQ(first->FindIntegerAttr("shared", 1), shared);
  GenAttrBase::Free(root);
  GenAttrBase::Free(outside);
}

struct Tolerance {
  double stored;
  double value;
  double tolerance;
  bool found;
};

// Each case once as Float (single precision) and once as Double.
testing::AssertionResult FindsWithin(const Tolerance& c, bool asFloat) {
  GenAttrCont* root = new GenAttrCont("root");
  GenAttrBase* node;
  GenAttrBase* result;
  if (asFloat) {
    node = new GenAttrFloat("x", static_cast<float>(c.stored));
    root->AddAttr(node);
    result = root->FindFloatAttr("x", static_cast<float>(c.value), static_cast<float>(c.tolerance));
  } else {
    node = new GenAttrDouble("x", c.stored);
    root->AddAttr(node);
    result = root->FindDoubleAttr("x", c.value, c.tolerance);
  }
  const bool found = result == node;
  GenAttrBase::Free(root);
  if (found == c.found) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << (asFloat ? "Float" : "Double") << " stored " << c.stored << ", value " << c.value
         << ", tolerance " << c.tolerance << ": expected " << (c.found ? "found" : "not found");
}

TEST(Find, ToleranceBoundsAreStrict) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Tolerance cases[] = {
      {0.6, 1.0, 0.5, true},  {1.4, 1.0, 0.5, true},    {0.5, 1.0, 0.5, false},
      {1.5, 1.0, 0.5, false}, {1.0, 1.0, 0.0, false},   {1.0, 1.0, -0.5, false},
      {nan, 1.0, 0.5, false}, {1.0, nan, 0.5, false},   {1.0, 1.0, nan, false},
      {1.0, 1.0, inf, true},  {-2.0, -2.0, 0.25, true},
  };
  for (const Tolerance& c : cases) {
    EXPECT_TRUE(FindsWithin(c, true));
    EXPECT_TRUE(FindsWithin(c, false));
  }
}

TEST(Find, ToleranceSumsKeepTheirPrecision) {
  // 1 + 2^-24 rounds to 1 in single precision, so the upper bound is not
  // above 1; in double precision it would be.
  EXPECT_TRUE(FindsWithin({1.0, 1.0, std::ldexp(1.0, -24), false}, true));
  EXPECT_TRUE(FindsWithin({1.0, 1.0, std::ldexp(1.0, -23), true}, true));
  // Likewise 1 + 2^-53 in double precision, which a wider type would keep.
  EXPECT_TRUE(FindsWithin({1.0, 1.0, std::ldexp(1.0, -53), false}, false));
  EXPECT_TRUE(FindsWithin({1.0, 1.0, std::ldexp(1.0, -52), true}, false));
}

// root
//   A          Cont
//     s        Int 1 (also under B)
//     t        Int 2
//   B          Cont
//     s
//   RA         reference to A: shares s, t
//   h          Double 1.5
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

TEST_F(AllAttrTest, FlatListsDirectChildrenInLinkOrder) {
  GenAttrList* list = mpRoot->GetAllAttr(nullptr, nullptr, GenAttrBase::FLAT);
  EXPECT_EQ(list->GetCount(), mpRoot->GetNumberChildren());
  EXPECT_EQ(Names(list), "A B RA h");
  EXPECT_EQ(All("s", nullptr, GenAttrBase::FLAT), "");
  EXPECT_EQ(All(nullptr, "", GenAttrBase::FLAT), "A B RA");
}

TEST_F(AllAttrTest, RecursiveListsDescendantsInPreOrder) {
  EXPECT_EQ(All(nullptr, nullptr, GenAttrBase::RECURSIVE), "A s t B s RA s t h");
  EXPECT_EQ(All(nullptr, nullptr, 2), "A s t B s RA s t h");
  EXPECT_EQ(All(nullptr, nullptr, -1), "A s t B s RA s t h");
  EXPECT_EQ(All("s", nullptr, GenAttrBase::RECURSIVE), "s s s");
  EXPECT_EQ(All("nothing", nullptr, GenAttrBase::RECURSIVE), "");
}

TEST_F(AllAttrTest, ValueFilterComparesRenderedText) {
  EXPECT_EQ(All(nullptr, "1", GenAttrBase::RECURSIVE), "s s s");
  EXPECT_EQ(All("t", "2", GenAttrBase::RECURSIVE), "t t");
  EXPECT_EQ(All(nullptr, "1.5000", GenAttrBase::RECURSIVE), "h");
  EXPECT_EQ(All(nullptr, "1.5", GenAttrBase::RECURSIVE), "");
  EXPECT_EQ(All(nullptr, "", GenAttrBase::RECURSIVE), "A B RA");
  EXPECT_EQ(All("A", "x", GenAttrBase::RECURSIVE), "");
}

TEST_F(AllAttrTest, OverflowingValueComparesAsEmpty) {
  GenAttrDouble* big = new GenAttrDouble("big", 1e200);
  mpRoot->AddAttr(big);
  testing::internal::CaptureStdout();
  const std::string names = All("big", "", GenAttrBase::RECURSIVE);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(names, "big");
  EXPECT_EQ(output.rfind("ERROR: GenAttrBase::GetValueAsString exceeds internal buffer size!\n", 0),
            0u);
}

TEST_F(AllAttrTest, LookupsLeaveChildCursorsAlone) {
  GenAttrBase* a = mpRoot->GetFirstAttr();
  ASSERT_NE(a, nullptr);
  a->GetFirstAttr();

  EXPECT_NE(mpRoot->FindIntegerAttr("t", 2), nullptr);
  EXPECT_EQ(mpRoot->FindIntegerAttr("t", 3), nullptr);
  EXPECT_NE(mpRoot->GetAttrByPath("A/t"), nullptr);
  EXPECT_NE(mpRoot->GetAttr("h"), nullptr);
  EXPECT_EQ(All(nullptr, nullptr, GenAttrBase::RECURSIVE), "A s t B s RA s t h");
  EXPECT_EQ(All(nullptr, nullptr, GenAttrBase::FLAT), "A B RA h");

  EXPECT_STREQ(mpRoot->GetNextAttr()->GetName(), "B");
  EXPECT_STREQ(a->GetNextAttr()->GetName(), "t");
}

} // namespace
