// Paths, find, the depth-limited listing and the figures of stats, on trees
// built in code.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/Find.h"
#include "cli/NodePath.h"
#include "cli/Output.h"
#include "cli/Stats.h"
#include "cli/Walk.h"
#include "genattr/GenAttr.h"
#include "tests/cli/RandomTree.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using namespace genattr::cli;
using writertest::Tree;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

TEST(NodePath, EveryPathFindPrintsLeadsBackToItsNode) {
  // Names include "", "d e" and the look-alike "a[2]" beside many "a".
  for (unsigned seed = 0; seed < 100; ++seed) {
    Tree root(clitest::RandomTrees(seed).Make(80));
    std::ostringstream out;
    const std::uint64_t found = FindNodes(root.get(), FindFilter{}, out);
    const std::vector<std::string> paths = Lines(out.str());
    ASSERT_EQ(paths.size(), found);
    PreorderWalk walk(root.get(), false);
    walk.Next();
    for (const std::string& path : paths) {
      ASSERT_TRUE(walk.Next());
      ASSERT_EQ(ResolvePath(root.get(), path), walk.Node()) << "seed " << seed << ": " << path;
    }
    EXPECT_FALSE(walk.Next());
  }
}

TEST(NodePath, PlainPathsAreTheLibrarysAndLookAlikesStillResolve) {
  Tree root(new GenAttrCont("r"));
  auto* a1 = new GenAttrCont("a");
  auto* a2 = new GenAttrCont("a");
  auto* literal = new GenAttrInt("x[3]", 1);
  root->AddAttr(a1);
  root->AddAttr(a2);
  a2->AddAttr(literal);
  a2->AddAttr(new GenAttrInt("", 2));
  EXPECT_EQ(ResolvePath(root.get(), "a"), a1);
  EXPECT_EQ(ResolvePath(root.get(), "a[1]"), a1);
  EXPECT_EQ(ResolvePath(root.get(), "a[2]"), a2);
  EXPECT_EQ(ResolvePath(root.get(), "a[2]/x[3]"), literal); // no third "x": the name
  EXPECT_EQ(ResolvePath(root.get(), "a[2]/x[3][1]"), literal);
  EXPECT_EQ(ResolvePath(root.get(), "a[2]/"), a2->GetAttr(""));
  EXPECT_EQ(ResolvePath(root.get(), "a[3]"), nullptr);
  EXPECT_EQ(ResolvePath(root.get(), "a[0]"), nullptr);
  EXPECT_EQ(ResolvePath(root.get(), "a[02]"), nullptr);
  EXPECT_EQ(ResolvePath(root.get(), "b"), nullptr);
  // A name of ISO 8859-1 bytes, as stored or as shown in UTF-8.
  auto* umlaut = new GenAttrInt("Geh\xE4use", 3);
  a1->AddAttr(umlaut);
  EXPECT_EQ(ResolvePath(root.get(), "a/Geh\xE4use"), umlaut);
  EXPECT_EQ(ResolvePath(root.get(), "a/Geh\xC3\xA4use"), umlaut);
}

TEST(Find, FiltersAsGetAllAttrDoesAndSkipsTheRoot) {
  Tree model = writertest::MakeModelTree();
  auto find = [&](const char* name, const char* value, int type) {
    std::ostringstream out;
    FindNodes(model.get(), FindFilter{name, value, type}, out);
    return out.str();
  };
  EXPECT_EQ(find(nullptr, nullptr, -1),
            "Material\nPart\nPart/Mass\nPart/Count\nCount\nPartRef\nColor\nColor/Alpha\n");
  EXPECT_EQ(find("Count", nullptr, -1), "Part/Count\nCount\n");
  EXPECT_EQ(find(nullptr, "12.5000", -1), "Part/Mass\n");
  EXPECT_EQ(find(nullptr, "12.5", -1), "");
  EXPECT_EQ(find(nullptr, "", Cont), "Part\nPartRef\n");
  EXPECT_EQ(find("Model", nullptr, -1), "");
  int type = -1;
  EXPECT_TRUE(TypeFromName("UnicodeString", &type));
  EXPECT_EQ(type, UnicodeString);
  EXPECT_FALSE(TypeFromName("int", &type));
}

std::string Listing(GenAttrBase* root, std::size_t depth) {
  std::ostringstream out;
  WriteListing(root, depth, out);
  return out.str();
}

TEST(Listing, KeepsTheLinesOfTheLevelsAskedFor) {
  // Oracle: without line feeds in the texts, a line's indentation tells its level.
  for (unsigned seed = 0; seed < 30; ++seed) {
    Tree root(clitest::RandomTrees(seed).Make(60));
    std::ostringstream full;
    WriteTree(root.get(), Format::Text, Stylesheets{}, full);
    for (std::size_t depth = 0; depth < 5; ++depth) {
      std::string expected;
      for (const std::string& line : Lines(full.str())) {
        if (line[0] == '-' || line.find_first_not_of(' ') <= 2 * depth) {
          expected += line + "\n";
        }
      }
      EXPECT_EQ(Listing(root.get(), depth), expected) << "seed " << seed << " depth " << depth;
    }
    EXPECT_EQ(Listing(root.get(), 1000), full.str());
  }
}

TEST(Listing, TextsWithLineFeedsStayWithTheirNodes) {
  Tree root(new GenAttrCont("r\nr"));
  auto* deep = new GenAttrCont("c", "two\nlines");
  deep->AddAttr(new GenAttrString("s", "v\n  Name: fake"));
  root->AddAttr(deep);
  root->AddAttr(new GenAttrInt("i", 1));
  EXPECT_EQ(Listing(root.get(), 0), "-------------------------------------------------\n"
                                    "Name: r\nr                   (Type: Cont)\n");
  EXPECT_EQ(Listing(root.get(), 1),
            "-------------------------------------------------\n"
            "Name: r\nr                   (Type: Cont)\n"
            "  Name: c                    (Description: two\nlines)  (Type: Cont)\n"
            "  Name: i                   Value: 1  (Type: Int)\n");
}

TEST(Stats, CountsTheModelTree) {
  Tree model = writertest::MakeModelTree();
  std::ostringstream out;
  PrintStats(GatherStats(model.get(), 3), out);
  EXPECT_EQ(out.str(), "nodes: 8\n"
                       "  String: 2\n"
                       "  Double: 1\n"
                       "  Int: 2\n"
                       "  Cont: 3\n"
                       "depth: 2\n"
                       "shared nodes: 1 (held by 2 links)\n"
                       "references: 1\n"
                       "largest texts:\n"
                       "  16 bytes: description of Material\n"
                       "  10 bytes: value of Color\n"
                       "  8 bytes: name of Material\n");
}

} // namespace
