#include <clocale>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Platform.h"
#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"
#include "tests/support/Platform.h"

namespace {

using writertest::Tree;

std::string Masked(GenAttrXMLSerializer& writer, const std::ostringstream& out) {
  EXPECT_EQ(writer.Write(), 0);
  std::string document = out.str();
  EXPECT_TRUE(writertest::MaskTimeStamps(document));
  return document;
}

std::string WriteXml(GenAttrBase* root) {
  std::ostringstream out;
  GenAttrXMLSerializer writer(root, &out);
  return Masked(writer, out);
}

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string kStamp = "<DateAndTime>Sun Dec 06 15:38:51 2026</DateAndTime>\n";
const std::string kModelBody = "  <Material desc=\"surface material\">Steel</Material>\n"
                               "  <Part>\n"
                               "    <Mass>12.5000</Mass>\n"
                               "    <Count>3</Count>\n"
                               "  </Part>\n"
                               "  <Count>3</Count>\n"
                               "  <PartRef>\n"
                               "    <Mass>12.5000</Mass>\n"
                               "    <Count>3</Count>\n"
                               "  </PartRef>\n"
                               "  <Color value=\"red &amp; blue\"\n"
                               ">\n"
                               "    <Alpha>255</Alpha>\n"
                               "  </Color>\n"
                               "</Model>\n";

TEST(XmlWriter, WritesTheModelTreeByteForByte) {
  Tree tree = writertest::MakeModelTree();
  EXPECT_EQ(WriteXml(tree.get()), kDeclaration + "<Model>" + kStamp + "\n" + kModelBody);
}

TEST(XmlWriter, WritesTheLastStylesheetsSetEscaped) {
  Tree tree = writertest::MakeModelTree();
  std::ostringstream out;
  GenAttrXMLSerializer writer(tree.get(), &out);
  writer.SetXSLStylesheet("old.xsl");
  writer.SetXSLStylesheet("view.xsl");
  writer.SetCSSStylesheet("old.css");
  writer.SetCSSStylesheet("tree.css");
  EXPECT_EQ(Masked(writer, out), kDeclaration +
                                     "<?xml-stylesheet type=\"text/xsl\" href=\"view.xsl\"?>\n"
                                     "<Model><CSS_StyleSheet>tree.css</CSS_StyleSheet>\n" +
                                     kStamp + "\n" + kModelBody);

  Tree leaf(new GenAttrString("s", "x"));
  std::ostringstream escaped;
  GenAttrXMLSerializer other(leaf.get(), &escaped);
  other.SetXSLStylesheet("a&b\"<?>.xsl");
  other.SetCSSStylesheet("p>q{content:\"&<\"} \xFF"); // FF is no UTF-8
  other.SetInitialIndent(2);
  EXPECT_EQ(Masked(other, escaped),
            kDeclaration +
                "<?xml-stylesheet type=\"text/xsl\" href=\"a&amp;b&quot;&lt;?&gt;.xsl\"?>\n"
                "  <s>x<CSS_StyleSheet>p&gt;q{content:\"&amp;&lt;\"} \xEF\xBF\xBD"
                "</CSS_StyleSheet>\n" +
                kStamp + "</s>\n");
  other.SetXSLStylesheet(nullptr);
  other.SetCSSStylesheet(nullptr);
  escaped.str("");
  EXPECT_EQ(Masked(other, escaped), kDeclaration + "  <s>x" + kStamp + "</s>\n");
}

TEST(XmlWriter, IndentsTagsOnTheirOwnLines) {
  Tree root(new GenAttrCont("Empty"));
  EXPECT_EQ(WriteXml(root.get()), kDeclaration + "<Empty>" + kStamp + "</Empty>\n");
  root->AddAttr(new GenAttrInt("i", 1));
  std::ostringstream out;
  GenAttrXMLSerializer writer(root.get(), &out);
  writer.SetInitialIndent(2);
  writer.SetIndentIncrement(3);
  EXPECT_EQ(Masked(writer, out),
            kDeclaration + "  <Empty>" + kStamp + "\n     <i>1</i>\n  </Empty>\n");
}

// Predicate of the encoding tables: `node`, written as the only child of a
// container, gives the lines `expected` (without the first indentation).
::testing::AssertionResult WritesAs(GenAttrBase* node, const std::string& expected) {
  Tree root(new GenAttrCont("r"));
  root->AddAttr(node);
  const std::string head = kDeclaration + "<r>" + kStamp + "\n  ";
  const std::string expectedDocument = head + expected + "</r>\n";
  const std::string actual = WriteXml(root.get());
  if (actual == expectedDocument) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "\n  expected: " << ::testing::PrintToString(expected)
         << "\n  actual:   " << ::testing::PrintToString(actual.substr(head.size()));
}

TEST(XmlWriter, EscapesForTheTextsPlace) {
  // Content keeps quotes, TAB and LF; an entity in a value is escaped again.
  EXPECT_TRUE(WritesAs(new GenAttrString("v", "a&b<c>d &amp; \"'\t\n\r"),
                       "<v>a&amp;b&lt;c&gt;d &amp;amp; \"'\t\n&#13;</v>\n"));
  // Attributes would lose them to normalisation: references.
  EXPECT_TRUE(WritesAs(new GenAttrString("v", "\"\t\n\r<&>", ""),
                       "<v desc=\"&quot;&#9;&#10;&#13;&lt;&amp;&gt;\"></v>\n"));
  auto* parent = new GenAttrString("v", "d", "1\n\"2\"");
  parent->AddAttr(new GenAttrCont("c"));
  EXPECT_TRUE(WritesAs(parent, "<v value=\"1&#10;&quot;2&quot;\"\n desc=\"d\">\n"
                               "    <c></c>\n  </v>\n"));
}

TEST(XmlWriter, EncodesWideValuesAsUtf8AndReplacesWhatXmlCannotCarry) {
  const char* const fffd = "\xEF\xBF\xBD";
  // 110000 and FFFFFFFF where wchar_t is 32 bits; FFFF where it is 16.
  const std::wstring beyond =
      genattr_test::kWideIsUtf16
          ? std::wstring(1, 0xFFFF)
          : std::wstring{genattr_test::Unit(0x110000), genattr_test::Unit(0xFFFFFFFF)};
  const struct {
    const wchar_t* value;
    std::string expected;
  } cases[] = {
      {L"A\u00E9\u20AC", "A\xC3\xA9\xE2\x82\xAC"},                   // one, two and three bytes
      {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},                         // U+1F600 as a surrogate pair
      {L"\U0001F600\U0010FFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"}, // one unit each, or pairs
      {L"\xD800"
       L"A\xDC00",
       std::string(fffd) + "A" + fffd},            // unpaired surrogates
      {L"\xDE00\xD83D", std::string(fffd) + fffd}, // pair in the wrong order
      {L"\x01\x1F\xFFFE\xFFFF", std::string(fffd) + fffd + fffd + fffd},
      {beyond.c_str(), genattr_test::kWideIsUtf16 ? fffd : std::string(fffd) + fffd},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(WritesAs(new GenAttrUnicodeString("w", c.value), "<w>" + c.expected + "</w>\n"));
  }
}

TEST(XmlWriter, WidensEightBitTextOrReadsItAsIso88591) {
  // Nothing from 0x80 up converts under "C"; E9 is e-acute in ISO 8859-1.
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  EXPECT_TRUE(WritesAs(new GenAttrString("v", "caf\xE9", "caf\xE9\x01"),
                       "<v desc=\"caf\xC3\xA9\">caf\xC3\xA9\xEF\xBF\xBD</v>\n"));
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) {
    GTEST_SKIP() << "no C.UTF-8 locale";
  }
  const bool utf8 = WritesAs(new GenAttrString("v", "\xE2\x82\xAC"), "<v>\xE2\x82\xAC</v>\n");
  const bool latin1 = WritesAs(new GenAttrString("v", "\xE9"), "<v>\xC3\xA9</v>\n");
  std::setlocale(LC_CTYPE, "C");
  EXPECT_TRUE(utf8);
  EXPECT_TRUE(latin1);
}

TEST(XmlWriter, NamesElementsAfterNodesAndShowsNoIds) {
  EXPECT_TRUE(WritesAs(new GenAttrCont("a b"), "<a_b></a_b>\n"));
  EXPECT_TRUE(WritesAs(new GenAttrCont("1st"), "<_st></_st>\n"));
  EXPECT_TRUE(WritesAs(new GenAttrCont("Gr\xF6n"), "<Gr__n></Gr__n>\n")); // F6: two bytes
  auto* withId = new GenAttrCont("c");
  withId->SetId("ID1");
  EXPECT_TRUE(WritesAs(withId, "<c></c>\n"));
}

// End tags repeat the names their start tags were given, around children of
// other names: nested containers whose names grow from 0 to 40 bytes (E9
// becomes two bytes of name, so lengths around 16 and 32 come out of both
// widths), each also holding a leaf named like itself.
TEST(XmlWriter, EndTagsRepeatTheirStartTagsAtEveryNameLength) {
  Tree root(new GenAttrCont("r"));
  GenAttrBase* parent = root.get();
  std::string expectedEnds;
  for (std::size_t length = 0; length <= 40; ++length) {
    std::string name(length, 'a');
    for (std::size_t i = 1; i < length; i += 3) {
      name[i] = '\xE9';
    }
    auto* inner = new GenAttrCont(name.c_str());
    inner->AddAttr(new GenAttrInt(name.c_str(), static_cast<int>(length)));
    parent->AddAttr(inner);
    parent = inner;
  }
  std::istringstream lines(WriteXml(root.get()));
  std::vector<std::string> open;
  for (std::string line; std::getline(lines, line);) {
    line = line.substr(0, line.find("<DateAndTime>")); // after the root's start tag
    const std::size_t tag = line.find('<');
    if (tag == std::string::npos || line.compare(tag, 2, "<?") == 0) {
      continue;
    }
    if (line.compare(tag, 2, "</") == 0) {
      ASSERT_FALSE(open.empty()) << line;
      EXPECT_EQ(line.substr(tag), "</" + open.back() + ">");
      open.pop_back();
      continue;
    }
    const std::string name = line.substr(tag + 1, line.find('>', tag) - tag - 1);
    const std::size_t end = line.find("</", tag);
    if (end != std::string::npos) { // a leaf: start and end tag on one line
      EXPECT_EQ(line.substr(end), "</" + name + ">");
    } else {
      open.push_back(name);
    }
  }
  EXPECT_TRUE(open.empty());
}

TEST(XmlWriter, EscapesLongValuesInLinearTime) {
  std::string expected;
  for (int i = 0; i < 400000; ++i) {
    expected += "&amp;";
  }
  EXPECT_TRUE(WritesAs(new GenAttrString("v", std::string(400000, '&').c_str()),
                       "<v>" + expected + "</v>\n"));
}

TEST(XmlWriter, WritesACycleThroughAReferenceOnce) {
  // The reference shares the chain it is placed in, so it holds itself.
  auto* part = new GenAttrCont("P");
  Tree tree(part);
  part->AddAttr(new GenAttrInt("x", 1));
  part->AddAttr(new GenAttrCont("R", part));
  EXPECT_EQ(WriteXml(tree.get()),
            kDeclaration + "<P>" + kStamp +
                "\n  <x>1</x>\n  <R>\n    <x>1</x>\n    <R>\n    </R>\n  </R>\n</P>\n");
}

TEST(XmlWriter, WritesAMillionLevelChainWithoutRecursion) {
  constexpr std::size_t depth = 1000000;
  Tree tree = writertest::MakeChain(depth);
  writertest::CountingBuf sink;
  std::ostream out(&sink);
  GenAttrXMLSerializer writer(tree.get(), &out);
  writer.SetIndentIncrement(0);
  writer.Write();
  // Declaration; root start tag, stamp, empty line; a start tag per inner
  // node; the leaf; an end tag per inner node.
  EXPECT_EQ(sink.lines, 2 * depth + 1);
  EXPECT_EQ(sink.bytes,
            kDeclaration.size() + 3 + kStamp.size() + 1 + 4 * (depth - 2) + 8 + 5 * (depth - 1));
}

class StampProbe : public GenAttrXMLSerializer {
public:
  StampProbe() : GenAttrXMLSerializer(nullptr, nullptr) {}
  using GenAttrXMLSerializer::GetDateAndTime;
};

TEST(SerializerBase, StampsTheLocalTimeWithALeadingZeroDay) {
  StampProbe probe;
  std::tm before{};
  std::tm after{};
  const char* stamp = nullptr;
  do { // again when the second changes under the call
    const std::time_t now = std::time(nullptr);
    ASSERT_TRUE(genattr::detail::LocalTime(now, &before));
    stamp = probe.GetDateAndTime();
    const std::time_t later = std::time(nullptr);
    ASSERT_TRUE(genattr::detail::LocalTime(later, &after));
  } while (before.tm_sec != after.tm_sec);
  char expected[32];
  std::strftime(expected, sizeof expected, "%a %b %d %H:%M:%S %Y", &before); // "C" names
  EXPECT_STREQ(stamp, expected);
  EXPECT_EQ(probe.GetDateAndTime(), stamp);
}

} // namespace
