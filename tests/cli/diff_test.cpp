// The tree diff against a model of the edits made, the sibling alignment
// against the longest common subsequence, and the lines of known changes.
#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/SiblingAlign.h"
#include "cli/TreeDiff.h"
#include "cli/Walk.h"
#include "genattr/GenAttr.h"
#include "tests/cli/RandomTree.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using genattr::cli::DiffTrees;
using genattr::cli::KeyMatches;
using genattr::cli::MatchKeys;
using writertest::Tree;

std::string Diff(GenAttrBase* a, GenAttrBase* b) {
  std::ostringstream out;
  DiffTrees(a, b, out);
  return out.str();
}

// Lines counted by their kind ("added", "value changed", ...).
std::map<std::string, int> Kinds(const std::string& diff) {
  std::map<std::string, int> kinds;
  std::istringstream lines(diff);
  for (std::string line; std::getline(lines, line);) {
    ++kinds[line.substr(0, line.find(':'))];
  }
  return kinds;
}

std::vector<GenAttrBase*> NodesBelow(GenAttrBase* root) {
  std::vector<GenAttrBase*> nodes;
  genattr::cli::PreorderWalk walk(root, false);
  walk.Next();
  while (walk.Next()) {
    nodes.push_back(walk.Node());
  }
  return nodes;
}

TEST(TreeDiff, ReportsExactlyTheEditsMadeToACopy) {
  clitest::RandomTrees random(17);
  for (int round = 0; round < 200; ++round) {
    // Two equal trees from one seed.
    const int size = 1 + random.Pick(60);
    Tree before(clitest::RandomTrees(round).Make(size));
    Tree after(clitest::RandomTrees(round).Make(size));
    ASSERT_EQ(Diff(before.get(), after.get()), "");

    // Edits at distinct nodes of the copy: a new description, a new value,
    // a new child with a name no sibling has.
    std::vector<GenAttrBase*> nodes = NodesBelow(after.get());
    std::shuffle(nodes.begin(), nodes.end(), random.Engine());
    std::map<std::string, int> expected;
    const int edits = std::min<int>(static_cast<int>(nodes.size()), random.Pick(6));
    for (int e = 0; e < edits; ++e) {
      GenAttrBase* node = nodes[e];
      const std::string fresh = "edit" + std::to_string(e);
      if (node->GetType() == String && random.Pick(2) == 0) {
        static_cast<GenAttrString*>(node)->SetValue(fresh.c_str());
        ++expected["value changed"];
      } else if (node->GetType() == Cont && random.Pick(2) == 0) {
        node->AddAttrAtTop(new GenAttrInt(fresh.c_str(), e));
        ++expected["added"];
      } else {
        node->SetDescription(fresh.c_str());
        ++expected["description changed"];
      }
    }
    const std::string forward = Diff(before.get(), after.get());
    EXPECT_EQ(Kinds(forward), expected) << forward;

    // Backwards every addition is a removal.
    if (expected.count("added") != 0) {
      expected["removed"] = expected["added"];
      expected.erase("added");
    }
    const std::string backward = Diff(after.get(), before.get());
    EXPECT_EQ(Kinds(backward), expected) << backward;
  }
}

TEST(TreeDiff, NamesEachKindOfChangeWithItsPath) {
  Tree before = writertest::MakeModelTree();
  Tree after = writertest::MakeModelTree();
  GenAttrBase* a = after.get();
  a->GetAttr("Material")->SetDescription(nullptr);
  static_cast<GenAttrString*>(a->GetAttr("Color"))->SetValue("red\n\"blue\"");
  static_cast<GenAttrCont*>(a->GetAttr("Part"))->SetId("P8");
  a->GetAttr("Part")->AddAttrAtTop(new GenAttrFloat("Mass", 12.5f)); // a twin, other type
  a->GetAttr("Color")->AddAttr(new GenAttrInt("Alpha", 128));
  // The reference keeps its own copy of the id.
  EXPECT_EQ(Diff(before.get(), after.get()),
            "description changed: Material: \"surface material\" -> (none)\n"
            "value changed: Part: \"P7\" -> \"P8\"\n"
            "added: Part/Mass\n"
            "value changed: Color: \"red & blue\" -> \"red\\n\\\"blue\\\"\"\n"
            "added: Color/Alpha[2]\n");
}

TEST(TreeDiff, OneInsertedPartAmongEqualNamesIsOneLine) {
  // Eighteen parts of one name and type; a new one goes in as the fifth.
  auto makeParts = [](bool insert) {
    Tree root(new GenAttrCont("Parts"));
    for (int i = 0; i < 18; ++i) {
      if (insert && i == 4) {
        root->AddAttr(new GenAttrCont("Part"));
      }
      auto* part = new GenAttrCont("Part");
      part->AddAttr(new GenAttrInt("Position", i));
      root->AddAttr(part);
    }
    return root;
  };
  Tree before = makeParts(false);
  Tree after = makeParts(true);
  EXPECT_EQ(Diff(before.get(), after.get()), "added: Part[5]\n");
  EXPECT_EQ(Diff(after.get(), before.get()), "removed: Part[5]\n");
}

TEST(TreeDiff, TypesOfRootsAndChildren) {
  Tree a(new GenAttrCont("A"));
  Tree b(new GenAttrString("B", "x"));
  EXPECT_EQ(Diff(a.get(), b.get()), "name changed: (root): \"A\" -> \"B\"\n"
                                    "type changed: (root): Cont -> String\n"
                                    "value changed: (root): (none) -> \"x\"\n");
  // The same text in another type; a container made a reference.
  a->AddAttr(new GenAttrInt("n", 5));
  b->AddAttr(new GenAttrString("n", "5"));
  auto* part = new GenAttrCont("p");
  a->AddAttr(new GenAttrCont("q"));
  b->AddAttr(part);
  b->AddAttr(new GenAttrCont("q", part));
  EXPECT_EQ(Diff(a.get(), b.get()), "name changed: (root): \"A\" -> \"B\"\n"
                                    "type changed: (root): Cont -> String\n"
                                    "value changed: (root): (none) -> \"x\"\n"
                                    "type changed: n: Int -> String\n"
                                    "added: p\n"
                                    "type changed: q: Cont -> Cont reference\n");
}

TEST(TreeDiff, ASharedNodeIsComparedOnce) {
  auto make = [](int value) {
    Tree root(new GenAttrCont("r"));
    auto* shared = new GenAttrCont("s");
    shared->AddAttr(new GenAttrInt("i", value));
    for (int i = 0; i < 3; ++i) {
      auto* holder = new GenAttrCont("h");
      holder->AddAttr(shared);
      root->AddAttr(holder);
    }
    return root;
  };
  Tree a = make(1);
  Tree b = make(2);
  EXPECT_EQ(Diff(a.get(), b.get()), "value changed: h/s/i: \"1\" -> \"2\"\n");
}

// Whether `matches` pair equal keys at rising indices.
::testing::AssertionResult IsCommonSubsequence(const std::vector<std::uint64_t>& a,
                                               const std::vector<std::uint64_t>& b,
                                               const KeyMatches& matches) {
  for (std::size_t k = 0; k < matches.size(); ++k) {
    const auto [i, j] = matches[k];
    if (i >= a.size() || j >= b.size() || a[i] != b[j] ||
        (k > 0 && (i <= matches[k - 1].first || j <= matches[k - 1].second))) {
      return ::testing::AssertionFailure()
             << "pair " << k << " (" << i << ", " << j << ") is wrong";
    }
  }
  return ::testing::AssertionSuccess();
}

// The length of a longest common subsequence, by the textbook recurrence.
std::size_t LcsLength(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
  std::vector<std::size_t> row(b.size() + 1, 0);
  for (std::uint64_t x : a) {
    std::size_t diagonal = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      const std::size_t up = row[j + 1];
      row[j + 1] = x == b[j] ? diagonal + 1 : std::max(row[j + 1], row[j]);
      diagonal = up;
    }
  }
  return row.back();
}

TEST(SiblingAlign, SmallSequencesGetALongestCommonSubsequence) {
  clitest::RandomTrees random(5);
  for (int round = 0; round < 500; ++round) {
    std::vector<std::uint64_t> a(random.Pick(40));
    std::vector<std::uint64_t> b(random.Pick(40));
    const int alphabet = 1 + random.Pick(6);
    for (auto& key : a) {
      key = static_cast<std::uint64_t>(random.Pick(alphabet));
    }
    for (auto& key : b) {
      key = static_cast<std::uint64_t>(random.Pick(alphabet));
    }
    const KeyMatches matches = MatchKeys(a, b);
    ASSERT_TRUE(IsCommonSubsequence(a, b, matches));
    EXPECT_EQ(matches.size(), LcsLength(a, b));
  }
}

TEST(SiblingAlign, LongSequencesStayValidAndKeepEverythingButTheEdits) {
  // Too long for the table: unique keys anchor, repeated ones go greedily.
  const std::size_t n = 200000;
  std::vector<std::uint64_t> unique(n);
  std::vector<std::uint64_t> repeated(n);
  for (std::size_t i = 0; i < n; ++i) {
    unique[i] = i;
    repeated[i] = i % 7;
  }
  for (const auto& a : {unique, repeated}) {
    std::vector<std::uint64_t> b = a;
    b.erase(b.begin() + 1000);
    b.insert(b.begin() + 150000, 99999999);
    std::swap(b[50000], b[120000]); // far apart: one of the two stays unpaired
    const KeyMatches matches = MatchKeys(a, b);
    ASSERT_TRUE(IsCommonSubsequence(a, b, matches));
    EXPECT_GE(matches.size(), n - 3);
  }
}

} // namespace
