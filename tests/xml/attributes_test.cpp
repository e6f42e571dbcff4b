// Attributes and runs of text of untyped elements, kept as "@" and "#text"
// children: a few cases to read beside the model test (an SVG drawing, time
// stamps), and what it cannot show: untyped elements beside typed ones, links
// and the copies under references.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/hostile/HostileUtil.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Tree;

const char* const kRule = "-------------------------------------------------\n";

// Whether `document` reads with `keep` to the tree whose listing, after the
// rule line, is `listing`.
::testing::AssertionResult ReadsAs(const std::string& document, const std::string& listing,
                                   bool keep = true) {
  GenAttrReadOptions options;
  options.mKeepAttributes = keep;
  GenAttrReadError error;
  Tree tree(GenAttrXMLReader::ReadBuffer(document.data(), document.size(), options, &error));
  if (tree.root == nullptr) {
    return ::testing::AssertionFailure() << "status " << error.mStatus << " at " << error.mLine
                                         << ":" << error.mColumn << ": " << error.mMessage;
  }
  const std::string actual = hostile::TextOf(tree.root);
  if (actual != kRule + listing) {
    return ::testing::AssertionFailure() << "expected:\n" << listing << "actual:\n" << actual;
  }
  return ::testing::AssertionSuccess();
}

const char* const kSvg = "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                         "xmlns:xlink=\"http://www.w3.org/1999/xlink\">"
                         "<path d=\"M0 0L10 10\" xlink:href=\"#a\"/></svg>";

TEST(ReaderAttributes, SvgPathData) {
  EXPECT_TRUE(ReadsAs(
      kSvg, "Name: svg                   (Type: Cont)\n"
            "  Name: @xmlns              Value: http://www.w3.org/2000/svg  (Type: String)\n"
            "  Name: @xmlns:xlink        Value: http://www.w3.org/1999/xlink  (Type: String)\n"
            "  Name: path                Value:   (Type: String)\n"
            "    Name: @d                  Value: M0 0L10 10  (Type: String)\n"
            "    Name: @xlink:href         Value: #a  (Type: String)\n"));
  GenAttrReadError error;
  Tree tree(GenAttrXMLReader::ReadBuffer(kSvg, std::strlen(kSvg), &error));
  ASSERT_NE(tree.root, nullptr);
  GenAttrBase* d = tree.root->GetAttrByPath("path/@d");
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(static_cast<GenAttrString*>(d)->GetValue(), "M0 0L10 10");
}

TEST(ReaderAttributes, LeftOutOnRequest) {
  EXPECT_TRUE(ReadsAs(kSvg,
                      "Name: svg                   (Type: Cont)\n"
                      "  Name: path                Value:   (Type: String)\n",
                      false));
  EXPECT_TRUE(ReadsAs("<r>a<b/>c</r>",
                      "Name: r                     (Type: Cont)\n"
                      "  Name: b                   Value:   (Type: String)\n",
                      false));
}

TEST(ReaderAttributes, Rules) {
  struct Case {
    const char* document;
    const char* listing;
  };
  const Case cases[] = {
      // Document order, not sorted; prefixes and namespace declarations kept
      // as written; an element without children stays an (empty) String.
      {"<r b=\"2\" a=\"1\" svg:c=\"3\" xmlns:svg=\"u\"/>",
       "Name: r                   Value:   (Type: String)\n"
       "  Name: @b                  Value: 2  (Type: String)\n"
       "  Name: @a                  Value: 1  (Type: String)\n"
       "  Name: @svg:c              Value: 3  (Type: String)\n"
       "  Name: @xmlns:svg          Value: u  (Type: String)\n"},
      // The root's leading time stamps are boundaries of runs, and nothing else.
      {"<r>a<DateAndTime>t</DateAndTime>b<CSS_StyleSheet>c</CSS_StyleSheet>\n<c/>d</r>",
       "Name: r                     (Type: Cont)\n"
       "  Name: #text               Value: a  (Type: String)\n"
       "  Name: #text               Value: b  (Type: String)\n"
       "  Name: c                   Value:   (Type: String)\n"
       "  Name: #text               Value: d  (Type: String)\n"},
      // A root without other child elements: its text ends at the stamp.
      {"<r x=\"1\">a<DateAndTime>t</DateAndTime>b</r>",
       "Name: r                   Value: a  (Type: String)\n"
       "  Name: @x                  Value: 1  (Type: String)\n"},
      // A String with children: value, then the attributes, then the content.
      {"<a value=\"v\" k=\"1\" desc=\"d\">t<b/>u</a>",
       "Name: a                   Value: v (Description: d)  (Type: String)\n"
       "  Name: @k                  Value: 1  (Type: String)\n"
       "  Name: #text               Value: t  (Type: String)\n"
       "  Name: b                   Value:   (Type: String)\n"
       "  Name: #text               Value: u  (Type: String)\n"},
      // Typed elements keep no attributes and no text beside elements; an
      // untyped one keeps its ga attributes, which mean nothing there.
      {"<r xmlns:ga=\"urn:genattr:typed\" ga:type=\"Cont\" ga:id=\"x\">text<a ga:type=\"Int\" "
       "extra=\"1\">2</a><b q=\"1\" ga:name=\"n\" ga:node=\"3\">t</b>text</r>",
       "Name: r                   Id: x  (Type: Cont)\n"
       "  Name: a                   Value: 2  (Type: Int)\n"
       "  Name: b                   Value: t  (Type: String)\n"
       "    Name: @q                  Value: 1  (Type: String)\n"
       "    Name: @ga:name            Value: n  (Type: String)\n"
       "    Name: @ga:node            Value: 3  (Type: String)\n"},
      // A link is an element boundary; the copy it carries is no text.
      {"<r xmlns:ga=\"urn:genattr:typed\" ga:type=\"Cont\"><s ga:type=\"String\" "
       "ga:node=\"1\">v</s><u>x<l ga:link=\"1\">copy</l>y</u></r>",
       "Name: r                     (Type: Cont)\n"
       "  Name: s                   Value: v  (Type: String)  (RefCount: 2)\n"
       "  Name: u                     (Type: Cont)\n"
       "    Name: #text               Value: x  (Type: String)\n"
       "    Name: s                   Value: v  (Type: String)  (RefCount: 2)\n"
       "    Name: #text               Value: y  (Type: String)\n"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(ReadsAs(c.document, c.listing)) << c.document;
  }
}

// The copies of shared children under a reference are skipped whole: their
// attributes and text make nothing, neither under the reference nor under
// the target.
TEST(ReaderAttributes, CopiesUnderReferencesMakeNothing) {
  const std::string document = "<r xmlns:ga=\"urn:genattr:typed\" ga:type=\"Cont\">"
                               "<p ga:type=\"Cont\" ga:node=\"1\"><m ga:type=\"Int\">1</m></p>"
                               "<q ga:type=\"Cont\" ga:ref=\"1\"><m k=\"1\">x<i/>y</m>z</q></r>";
  GenAttrReadError error;
  Tree tree(readertest::Read(document, error));
  ASSERT_NE(tree.root, nullptr) << error.mMessage;
  GenAttrBase* reference = tree.root->GetAttr("q");
  ASSERT_NE(reference, nullptr);
  EXPECT_TRUE(reference->IsReference());
  EXPECT_EQ(reference->GetNumberChildren(), 1u);
  GenAttrBase* shared = tree.root->GetAttrByPath("p/m");
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->GetType(), Int);
  EXPECT_EQ(shared->HasChildren(), 0);
  EXPECT_EQ(tree.root->GetAttr("p")->GetNumberChildren(), 1u);
}

} // namespace
