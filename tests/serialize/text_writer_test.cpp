#include <climits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "serialize/WriterTestUtil.h"

namespace {

using writertest::MakeModelTree;
using writertest::Tree;

std::string WriteText(GenAttrBase* root, int initialIndent = 0, int increment = 2) {
  std::ostringstream out;
  GenAttrSTSerializer writer(root, &out);
  writer.SetInitialIndent(initialIndent);
  writer.SetIndentIncrement(increment);
  EXPECT_EQ(writer.Write(), 0);
  return out.str();
}

const std::string kRule = "-------------------------------------------------\n";

TEST(TextWriter, WritesTheModelTreeByteForByte) {
  Tree tree = MakeModelTree();
  EXPECT_EQ(WriteText(tree.get()),
            kRule + "Name: Model               Id: M1  (Type: Cont)\n"
                    "  Name: Material            Value: Steel (Description: surface material)  "
                    "(Type: String)\n"
                    "  Name: Part                Id: P7  (Type: Cont)\n"
                    "    Name: Mass                Value: 12.5000  (Type: Double)\n"
                    "    Name: Count               Value: 3  (Type: Int)  (RefCount: 2)\n"
                    "  Name: Count               Value: 3  (Type: Int)  (RefCount: 2)\n"
                    "  Name: PartRef             RefId: P7  (Type: Cont)\n"
                    "  Name: Color               Value: red & blue  (Type: String)\n"
                    "    Name: Alpha               Value: 255  (Type: Int)\n");
}

TEST(TextWriter, RunsAgainWithTheSameResultAndLeavesCursorsAtTheEnd) {
  Tree tree = MakeModelTree();
  std::ostringstream out;
  GenAttrSTSerializer writer(tree.get(), &out);
  writer.Write();
  const std::string first = out.str();
  writer.Write();
  EXPECT_EQ(out.str(), first + first);
  EXPECT_EQ(tree->GetNextAttr(), nullptr);
}

TEST(TextWriter, PadsNamesToSixteenBytesOfUtf8) {
  // "Gr\xF6\xDF" is ISO 8859-1: o-umlaut and sharp s take two UTF-8 bytes each.
  const struct {
    const char* name;
    const char* expectedColumn;
  } cases[] = {
      {"", "                "},
      {"exactly16bytes!!", "exactly16bytes!!"},
      {"a name longer than sixteen", "a name longer than sixteen"},
      {"Gr\xF6\xDF", "Gr\xC3\xB6\xC3\x9F"
                     "          "},
  };
  for (const auto& c : cases) {
    Tree tree(new GenAttrInt(c.name, 1));
    EXPECT_EQ(WriteText(tree.get()),
              kRule + "Name: " + c.expectedColumn + "    Value: 1  (Type: Int)\n")
        << "name \"" << c.name << "\"";
  }
}

TEST(TextWriter, ConvertsDescriptionsButWritesValuesRaw) {
  // E9 is e-acute in ISO 8859-1; the value keeps the byte, the description
  // gets C3 A9.
  Tree tree(new GenAttrString("s", "caf\xE9", "caf\xE9"));
  EXPECT_EQ(WriteText(tree.get()),
            kRule + "Name: s                   Value: caf\xE9 (Description: caf\xC3\xA9)  "
                    "(Type: String)\n");
}

TEST(TextWriter, ShowsContainerIdsOnlyWhenSet) {
  Tree tree(new GenAttrCont("plain", "no id"));
  EXPECT_EQ(WriteText(tree.get()),
            kRule + "Name: plain                (Description: no id)  (Type: Cont)\n");
}

TEST(TextWriter, ListsNoChildrenOfAReferenceRoot) {
  Tree part(new GenAttrCont("Part"));
  part->AddAttr(new GenAttrInt("Count", 3));
  Tree ref(new GenAttrCont("PartRef", static_cast<GenAttrCont*>(part.get())));
  EXPECT_EQ(WriteText(ref.get()), kRule + "Name: PartRef               (Type: Cont)\n");
}

TEST(TextWriter, IndentsByTheSettings) {
  Tree tree(new GenAttrCont("a"));
  auto* b = new GenAttrCont("b");
  tree->AddAttr(b);
  b->AddAttr(new GenAttrCont("c"));
  const std::string a = "Name: a                     (Type: Cont)\n";
  const std::string bLine = "Name: b                     (Type: Cont)\n";
  const std::string c = "Name: c                     (Type: Cont)\n";
  EXPECT_EQ(WriteText(tree.get(), 0, 0), kRule + a + bLine + c);
  EXPECT_EQ(WriteText(tree.get(), 3, 2), kRule + "   " + a + "     " + bLine + "       " + c);
  EXPECT_EQ(WriteText(tree.get(), -3, 2), kRule + a + bLine + " " + c);
  // Sums beyond the range of int must neither wrap into spaces nor trip the
  // sanitizer.
  EXPECT_EQ(WriteText(tree.get(), INT_MIN, INT_MIN), kRule + a + bLine + c);
}

TEST(TextWriter, KeepsTheStreamsFillAndLeavesLeftAdjustment) {
  Tree tree(new GenAttrInt("x", 1));
  std::ostringstream out;
  out.fill('.');
  GenAttrSTSerializer(tree.get(), &out).Write();
  EXPECT_EQ(out.str(), kRule + "Name: x...............    Value: 1  (Type: Int)\n");
  EXPECT_TRUE(out.flags() & std::ios::left);
}

TEST(TextWriter, WritesAMillionLevelChainWithoutRecursion) {
  constexpr std::size_t depth = 1000000;
  Tree tree = writertest::MakeChain(depth);
  writertest::CountingBuf sink;
  std::ostream out(&sink);
  GenAttrSTSerializer writer(tree.get(), &out);
  writer.SetIndentIncrement(0);
  writer.Write();
  EXPECT_EQ(sink.Lines(), depth + 1);
  EXPECT_EQ(sink.Tail().substr(sink.Tail().size() - 41),
            "Name: n                     (Type: Cont)\n");
}

TEST(TextWriter, WritesNothingWithoutRootOrStream) {
  std::ostringstream out;
  EXPECT_EQ(GenAttrSTSerializer(nullptr, &out).Write(), 0);
  EXPECT_EQ(out.str(), "");
  Tree tree(new GenAttrInt("x", 1));
  EXPECT_EQ(GenAttrSTSerializer(tree.get(), nullptr).Write(), 0);
}

} // namespace
