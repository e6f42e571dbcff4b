#include <climits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"
#include "tests/support/ModelListing.h"

namespace {

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

TEST(TextWriter, WritesTheModelTreeByteForByteAgainAndAgain) {
  Tree tree = writertest::MakeModelTree();
  const std::string expected = kModelListing;
  EXPECT_EQ(WriteText(tree.get()), expected);
  EXPECT_EQ(WriteText(tree.get()), expected);
  EXPECT_EQ(tree->GetNextAttr(), nullptr); // the cursor was moved past the end
}

TEST(TextWriter, PadsNamesToSixteenBytesOfUtf8WithTheStreamsFill) {
  const struct {
    const char* name;
    const char* column;
  } cases[] = {
      {"", "................"},
      {"exactly16bytes!!", "exactly16bytes!!"},
      {"longer than sixteen", "longer than sixteen"},
      // F6 and DF (o-umlaut, sharp s in ISO 8859-1) take two UTF-8 bytes each.
      {"Gr\xF6\xDF", "Gr\xC3\xB6\xC3\x9F.........."},
  };
  for (const auto& c : cases) {
    Tree tree(new GenAttrInt(c.name, 1));
    std::ostringstream out;
    out.fill('.');
    GenAttrSTSerializer(tree.get(), &out).Write();
    EXPECT_EQ(out.str(), kRule + "Name: " + c.column + "    Value: 1  (Type: Int)\n");
    EXPECT_TRUE(out.flags() & std::ios::left); // left set, as the format always did
  }
}

TEST(TextWriter, ConvertsDescriptionsButWritesValuesAndIdsRaw) {
  Tree tree(new GenAttrString("s", "caf\xE9", "caf\xE9")); // E9: e-acute
  EXPECT_EQ(WriteText(tree.get()), kRule + "Name: s                   Value: caf\xE9 "
                                           "(Description: caf\xC3\xA9)  (Type: String)\n");
  Tree noId(new GenAttrCont("c", "d"));
  EXPECT_EQ(WriteText(noId.get()),
            kRule + "Name: c                    (Description: d)  (Type: Cont)\n");
  Tree part(new GenAttrCont("Part"));
  part->AddAttr(new GenAttrInt("Count", 3));
  static_cast<GenAttrCont*>(part.get())->SetId("\xE9");
  Tree ref(new GenAttrCont("Ref", static_cast<GenAttrCont*>(part.get())));
  EXPECT_EQ(WriteText(ref.get()), kRule + "Name: Ref                 RefId: \xE9  (Type: Cont)\n");
}

TEST(TextWriter, IndentsByTheSettingsWithoutOverflow) {
  Tree tree = writertest::MakeChain(3);
  const std::string line = "Name: n                     (Type: Cont)\n";
  EXPECT_EQ(WriteText(tree.get(), 0, 0), kRule + line + line + line);
  EXPECT_EQ(WriteText(tree.get(), 3, 2), kRule + "   " + line + "     " + line + "       " + line);
  EXPECT_EQ(WriteText(tree.get(), -3, 2), kRule + line + line + " " + line);
  // Sums beyond int must not wrap into spaces (nor trip the sanitizer).
  EXPECT_EQ(WriteText(tree.get(), INT_MIN, INT_MIN), kRule + line + line + line);
}

TEST(TextWriter, WritesAMillionLevelChainWithoutRecursion) {
  constexpr std::size_t depth = 1000000;
  Tree tree = writertest::MakeChain(depth);
  writertest::CountingBuf sink;
  std::ostream out(&sink);
  GenAttrSTSerializer writer(tree.get(), &out);
  writer.SetIndentIncrement(0);
  writer.Write();
  EXPECT_EQ(sink.lines, depth + 1);
  EXPECT_EQ(sink.bytes, 50 + 41 * depth);
}

} // namespace
