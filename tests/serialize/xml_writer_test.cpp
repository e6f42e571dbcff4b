#include <clocale>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "serialize/WriterTestUtil.h"

namespace {

using writertest::MakeModelTree;
using writertest::MaskTimeStamps;
using writertest::Tree;

std::string WriteXml(GenAttrXMLSerializer& writer, const std::ostringstream& out) {
  EXPECT_EQ(writer.Write(), 0);
  std::string document = out.str();
  EXPECT_TRUE(MaskTimeStamps(document));
  return document;
}

std::string WriteXml(GenAttrBase* root, int initialIndent = 0) {
  std::ostringstream out;
  GenAttrXMLSerializer writer(root, &out);
  writer.SetInitialIndent(initialIndent);
  return WriteXml(writer, out);
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
  Tree tree = MakeModelTree();
  EXPECT_EQ(WriteXml(tree.get()), kDeclaration + "<Model>" + kStamp + "\n" + kModelBody);
}

TEST(XmlWriter, WritesStylesheetsAndKeepsOnlyTheLastOfEach) {
  Tree tree = MakeModelTree();
  std::ostringstream out;
  GenAttrXMLSerializer writer(tree.get(), &out);
  writer.SetXSLStylesheet("old.xsl");
  writer.SetXSLStylesheet("view.xsl");
  writer.SetCSSStylesheet("old.css");
  writer.SetCSSStylesheet("tree.css");
  EXPECT_EQ(WriteXml(writer, out),
            kDeclaration + "<?xml-stylesheet type=\"text/xsl\" href=\"view.xsl\"?>\n" +
                "<Model><CSS_StyleSheet>tree.css</CSS_StyleSheet>\n" + kStamp + "\n" + kModelBody);
}

TEST(XmlWriter, EscapesStylesheetsAndRemovesThemOnNull) {
  Tree tree(new GenAttrCont("r"));
  std::ostringstream out;
  GenAttrXMLSerializer writer(tree.get(), &out);
  writer.SetXSLStylesheet("a&b\"<?>.xsl");
  writer.SetCSSStylesheet("p>q { content: \"&<\" }");
  EXPECT_EQ(WriteXml(writer, out),
            kDeclaration +
                "<?xml-stylesheet type=\"text/xsl\" href=\"a&amp;b&quot;&lt;?&gt;.xsl\"?>\n" +
                "<r><CSS_StyleSheet>p&gt;q { content: \"&amp;&lt;\" }</CSS_StyleSheet>\n" + kStamp +
                "</r>\n");
  std::ostringstream again;
  GenAttrXMLSerializer second(tree.get(), &again);
  second.SetXSLStylesheet("x.xsl");
  second.SetXSLStylesheet(nullptr);
  second.SetCSSStylesheet("x.css");
  second.SetCSSStylesheet(nullptr);
  EXPECT_EQ(WriteXml(second, again), kDeclaration + "<r>" + kStamp + "</r>\n");
}

TEST(XmlWriter, WritesRootsWithoutChildren) {
  Tree cont(new GenAttrCont("Empty"));
  EXPECT_EQ(WriteXml(cont.get()), kDeclaration + "<Empty>" + kStamp + "</Empty>\n");
  Tree leaf(new GenAttrString("s", "x"));
  EXPECT_EQ(WriteXml(leaf.get()), kDeclaration + "<s>x" + kStamp + "</s>\n");
}

TEST(XmlWriter, IndentsStartAndEndTagsAndLeavesLinesAfterCssAtColumnZero) {
  Tree tree(new GenAttrCont("r"));
  tree->AddAttr(new GenAttrInt("i", 1));
  std::ostringstream out;
  GenAttrXMLSerializer writer(tree.get(), &out);
  writer.SetInitialIndent(2);
  writer.SetIndentIncrement(3);
  writer.SetCSSStylesheet("c");
  EXPECT_EQ(WriteXml(writer, out), kDeclaration + "  <r><CSS_StyleSheet>c</CSS_StyleSheet>\n" +
                                       kStamp + "\n     <i>1</i>\n  </r>\n");
}

// Writes `node` as the only child of a container and returns the child's
// lines, without the indentation of the first.
std::string ChildElement(GenAttrBase* node) {
  Tree root(new GenAttrCont("r"));
  root->AddAttr(node);
  const std::string document = WriteXml(root.get());
  const std::string head = kDeclaration + "<r>" + kStamp + "\n  ";
  const std::string tail = "</r>\n";
  if (document.compare(0, head.size(), head) != 0 || document.size() < head.size() + tail.size()) {
    return "unexpected document: " + document;
  }
  return document.substr(head.size(), document.size() - head.size() - tail.size());
}

std::string Hex(const std::string& bytes) {
  std::ostringstream out;
  for (unsigned char c : bytes) {
    out << std::hex << std::setw(2) << std::setfill('0') << unsigned{c} << ' ';
  }
  return out.str();
}

// Predicate for the encoding tables: `node` written as a child gives `expected`.
::testing::AssertionResult WritesAs(GenAttrBase* node, const std::string& expected) {
  const std::string actual = ChildElement(node);
  if (actual == expected) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "\n  expected: " << expected << "\n            " << Hex(expected)
         << "\n  actual:   " << actual << "\n            " << Hex(actual);
}

TEST(XmlWriter, EscapesContentAndAttributesForTheirPlace) {
  // Content: &, <, > and CR become references; quotes, TAB and LF stay.
  EXPECT_TRUE(WritesAs(new GenAttrString("v", "a&b<c>d &amp; \"q\" 'a'\t\n\r"),
                       "<v>a&amp;b&lt;c&gt;d &amp;amp; \"q\" 'a'\t\n&#13;</v>\n"));
  // Attribute: quotes, TAB, LF and CR become references too.
  EXPECT_TRUE(WritesAs(new GenAttrString("v", "\"q\"\t\n\r<&>", ""),
                       "<v desc=\"&quot;q&quot;&#9;&#10;&#13;&lt;&amp;&gt;\"></v>\n"));
  // A value with children sits in an attribute.
  auto* parent = new GenAttrString("v", "d\"", "1\n\"2\"");
  parent->AddAttr(new GenAttrCont("c"));
  EXPECT_TRUE(WritesAs(parent, "<v value=\"1&#10;&quot;2&quot;\"\n desc=\"d&quot;\">\n"
                               "    <c></c>\n  </v>\n"));
  auto* bare = new GenAttrInt("v", 7);
  bare->AddAttr(new GenAttrCont("c"));
  EXPECT_TRUE(WritesAs(bare, "<v value=\"7\"\n>\n    <c></c>\n  </v>\n"));
}

TEST(XmlWriter, EncodesWideValuesAsUtf8AndReplacesWhatXmlCannotCarry) {
  const struct {
    const wchar_t* value;
    const char* expected;
  } cases[] = {
      {L"A", "A"},
      {L"\u00E9", "\xC3\xA9"},               // U+00E9: two bytes
      {L"\u20AC", "\xE2\x82\xAC"},           // U+20AC: three bytes
      {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"}, // U+1F600 as a surrogate pair
      {L"\U0001F600", "\xF0\x9F\x98\x80"},   // U+1F600 in one unit
      {L"\U0010FFFF", "\xF4\x8F\xBF\xBF"},   // the last code point
      {L"\xD800"
       L"A",
       "\xEF\xBF\xBD"
       "A"},                                         // unpaired high surrogate
      {L"A\xDC00", "A\xEF\xBF\xBD"},                 // unpaired low surrogate
      {L"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"}, // pair in the wrong order
      {L"\x01\x08\x0B\x0C\x1F", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {L"\xFFFE\xFFFF", "\xEF\xBF\xBD\xEF\xBF\xBD"}, // noncharacters
      {L"\xFFFD", "\xEF\xBF\xBD"},                   // U+FFFD itself stays
      {L"<&>", "&lt;&amp;&gt;"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(WritesAs(new GenAttrUnicodeString("w", c.value),
                         std::string("<w>") + c.expected + "</w>\n"));
  }
  const wchar_t beyond[] = {static_cast<wchar_t>(0x110000), static_cast<wchar_t>(-1), 0};
  EXPECT_TRUE(WritesAs(new GenAttrUnicodeString("w", beyond), "<w>\xEF\xBF\xBD\xEF\xBF\xBD</w>\n"));
}

TEST(XmlWriter, ReadsUnconvertibleEightBitTextAsIso88591) {
  // Under the "C" locale no byte from 0x80 up converts; E9 is e-acute there.
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  EXPECT_TRUE(WritesAs(new GenAttrString("v", "caf\xE9", "caf\xE9"),
                       "<v desc=\"caf\xC3\xA9\">caf\xC3\xA9</v>\n"));
  EXPECT_TRUE(WritesAs(new GenAttrString("v", "\x01"), "<v>\xEF\xBF\xBD</v>\n"));
}

TEST(XmlWriter, WidensEightBitTextUnderAUtf8Locale) {
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) {
    GTEST_SKIP() << "no C.UTF-8 locale";
  }
  const bool utf8 = WritesAs(new GenAttrString("v", "\xE2\x82\xAC"), "<v>\xE2\x82\xAC</v>\n");
  // Not UTF-8 at all: taken byte by byte.
  const bool latin1 = WritesAs(new GenAttrString("v", "\xE9"), "<v>\xC3\xA9</v>\n");
  std::setlocale(LC_CTYPE, "C");
  EXPECT_TRUE(utf8);
  EXPECT_TRUE(latin1);
}

TEST(XmlWriter, MakesElementNamesFromNodeNames) {
  EXPECT_TRUE(WritesAs(new GenAttrCont("a b"), "<a_b></a_b>\n"));
  EXPECT_TRUE(WritesAs(new GenAttrCont("1st"), "<_st></_st>\n"));
  // F6 in ISO 8859-1 is two bytes of UTF-8, each replaced.
  EXPECT_TRUE(WritesAs(new GenAttrCont("Gr\xF6n"), "<Gr__n></Gr__n>\n"));
  // A container shows neither its id nor a value.
  auto* withId = new GenAttrCont("c");
  withId->SetId("ID1");
  EXPECT_TRUE(WritesAs(withId, "<c></c>\n"));
}

TEST(XmlWriter, EscapesLongValuesInLinearTime) {
  // A quadratic search-and-replace takes seconds here.
  const std::string value(400000, '&');
  std::string expected;
  for (std::size_t i = 0; i < value.size(); ++i) {
    expected += "&amp;";
  }
  EXPECT_EQ(ChildElement(new GenAttrString("v", value.c_str())), "<v>" + expected + "</v>\n");
}

TEST(XmlWriter, WritesACycleThroughAReferenceOnce) {
  // The reference shares the chain of the container it is placed in, so it
  // would hold itself forever.
  auto* part = new GenAttrCont("P");
  Tree tree(part);
  part->AddAttr(new GenAttrInt("x", 1));
  part->AddAttr(new GenAttrCont("R", part));
  EXPECT_EQ(WriteXml(tree.get()), kDeclaration + "<P>" + kStamp +
                                      "\n  <x>1</x>\n  <R>\n    <x>1</x>\n    <R>\n    </R>\n"
                                      "  </R>\n</P>\n");
}

TEST(XmlWriter, WritesAMillionLevelChainWithoutRecursion) {
  constexpr std::size_t depth = 1000000;
  Tree tree = writertest::MakeChain(depth);
  writertest::CountingBuf sink;
  std::ostream out(&sink);
  GenAttrXMLSerializer writer(tree.get(), &out);
  writer.SetIndentIncrement(0);
  writer.Write();
  // The declaration, the root's start tag with the time stamp and an empty
  // line, a start tag per inner node, the leaf, and an end tag per inner node.
  EXPECT_EQ(sink.Lines(), 2 * depth + 1);
  EXPECT_EQ(sink.Bytes(),
            kDeclaration.size() + 3 + kStamp.size() + 1 + 4 * (depth - 2) + 8 + 5 * (depth - 1));
}

// Opens the protected helpers.
class XmlProbe : public GenAttrXMLSerializer {
public:
  using GenAttrXMLSerializer::GenAttrXMLSerializer;
  using GenAttrXMLSerializer::GetDateAndTime;
  using GenAttrXMLSerializer::MakeXMLConform;
  using GenAttrXMLSerializer::WriteAsUTF8;
};

TEST(XmlWriter, OffersEscapingSafeInAnyPlaceToSubclasses) {
  std::ostringstream out;
  XmlProbe probe(nullptr, &out);
  probe.WriteAsUTF8(L"\"\t\xD83D\xDE00");
  probe.WriteAsUTF8("&\n");
  EXPECT_EQ(out.str(), "&quot;&#9;\xF0\x9F\x98\x80&amp;&#10;");
  EXPECT_STREQ(probe.MakeXMLConform("a b"), "a_b");
}

TEST(SerializerBase, StampsTheLocalTimeWithALeadingZeroDay) {
  XmlProbe probe(nullptr, nullptr);
  std::tm before{};
  std::tm after{};
  const char* stamp = nullptr;
  // Retry when the second changes under the call.
  do {
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &before);
    stamp = probe.GetDateAndTime();
    const std::time_t later = std::time(nullptr);
    localtime_r(&later, &after);
  } while (before.tm_sec != after.tm_sec);
  char expected[32];
  std::strftime(expected, sizeof expected, "%a %b %d %H:%M:%S %Y", &before);
  EXPECT_STREQ(stamp, expected);
  EXPECT_EQ(std::strlen(stamp), 24u);
  EXPECT_EQ(probe.GetDateAndTime(), stamp);
}

} // namespace
