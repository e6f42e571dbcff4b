// The time of writing: on by default in the XML documents and the page, and
// left out entirely, and nothing else, when the writer is told so.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using writertest::Tree;

template <class Writer> std::string Written(Writer& writer, const std::ostringstream& out) {
  EXPECT_EQ(writer.Write(), 0);
  return out.str();
}

std::string Xml(GenAttrBase* root, bool typed, bool stamp, const char* css = nullptr) {
  std::ostringstream out;
  GenAttrXMLSerializer writer(root, &out);
  writer.SetTypedOutput(typed);
  writer.SetCSSStylesheet(css);
  if (!stamp) {
    writer.SetTimeStamp(false);
  }
  return Written(writer, out);
}

std::string Page(GenAttrBase* root, bool stamp) {
  std::ostringstream out;
  GenAttrHTMLSerializer writer(root, &out);
  writer.SetTimeStamp(stamp);
  return Written(writer, out);
}

std::string Listing(GenAttrBase* root, bool stamp) {
  std::ostringstream out;
  GenAttrSTSerializer writer(root, &out);
  writer.SetTimeStamp(stamp);
  return Written(writer, out);
}

// `document` without its first occurrence of `piece`.
std::string Without(std::string document, const std::string& piece) {
  const std::size_t at = document.find(piece);
  EXPECT_NE(at, std::string::npos) << piece << " in " << document;
  if (at != std::string::npos) {
    document.erase(at, piece.size());
  }
  return document;
}

const std::string kStampLine = "<DateAndTime>Sun Dec 06 15:38:51 2026</DateAndTime>\n";

TEST(TimeStamp, XmlDocumentsLoseTheStampLineAndNothingElse) {
  Tree tree = writertest::MakeModelTree();
  for (const bool typed : {false, true}) {
    SCOPED_TRACE(typed ? "typed" : "plain");
    std::string stamped = Xml(tree.get(), typed, true);
    ASSERT_TRUE(writertest::MaskTimeStamps(stamped));
    const std::string bare = Xml(tree.get(), typed, false);
    EXPECT_EQ(bare, Without(stamped, kStampLine));
    EXPECT_EQ(bare.find("DateAndTime"), std::string::npos);
    EXPECT_EQ(Xml(tree.get(), typed, false), bare);
  }
  EXPECT_EQ(Xml(tree.get(), false, false)
                .rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Model>\n  <Material ", 0),
            0u);
}

TEST(TimeStamp, LeafRootKeepsItsValueOnItsLine) {
  Tree leaf(new GenAttrString("s", "x"));
  EXPECT_EQ(Xml(leaf.get(), false, false),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<s>x</s>\n");
  EXPECT_EQ(Xml(leaf.get(), true, false), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          "<s xmlns:ga=\"urn:genattr:typed\" "
                                          "ga:type=\"String\">x</s>\n");
  Tree empty(new GenAttrCont("c"));
  EXPECT_EQ(Xml(empty.get(), false, false),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<c></c>\n");
}

TEST(TimeStamp, CssTextStaysWithoutTheStamp) {
  Tree leaf(new GenAttrString("s", "x"));
  EXPECT_EQ(Xml(leaf.get(), false, false, "p{}"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<s>x<CSS_StyleSheet>p{}</CSS_StyleSheet>\n</s>\n");
}

TEST(TimeStamp, PageLosesTheFieldAndTheLineThatShowsIt) {
  Tree tree = writertest::MakeModelTree();
  std::string stamped = Page(tree.get(), true);
  ASSERT_TRUE(writertest::MaskTimeStamps(stamped, "\"written\":\""));
  const std::string bare = Page(tree.get(), false);
  EXPECT_EQ(bare, Without(Without(stamped, ",\"written\":\"Sun Dec 06 15:38:51 2026\""),
                          "  $('written').textContent = 'written ' + data.written;\n"));
  EXPECT_EQ(bare.find("data.written"), std::string::npos);
  EXPECT_EQ(Page(tree.get(), false), bare);
}

TEST(TimeStamp, ListingHasNoneEitherWay) {
  Tree tree = writertest::MakeModelTree();
  EXPECT_EQ(Listing(tree.get(), false), Listing(tree.get(), true));
}

} // namespace
