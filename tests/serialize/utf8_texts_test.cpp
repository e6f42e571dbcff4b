// Writers told that a tree's 8-bit texts are UTF-8 write the characters those
// texts encode, under any locale; the default keeps the locale's reading.
#include <clocale>
#include <sstream>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using writertest::Tree;

// U+00E9 U+5F71 (2 and 3 bytes), U+1D11E (4 bytes); "\xFF" and a lone
// continuation byte "\x80" are no UTF-8 at all.
const char kName[] = "b\xC3\xA9";
const char kValue[] = "GIF \xE5\xBD\xB1 \xF0\x9D\x84\x9E";
const char kBroken[] = "x\xFFy\x80z";
const char kReplaced[] = "x\xEF\xBF\xBDy\xEF\xBF\xBDz";

Tree MakeTree() {
  Tree tree(new GenAttrCont("root", kValue));
  tree->AddAttr(new GenAttrString(kName, kName, kValue));
  tree->AddAttr(new GenAttrString("broken", kBroken, kBroken));
  tree->AddAttr(new GenAttrUnicodeString("wide", L"\u00E9\u5F71\U0001D11E"));
  return tree;
}

template <class Writer> std::string Written(GenAttrBase* root, bool utf8, bool typed = false) {
  std::ostringstream out;
  Writer writer(root, &out);
  writer.SetUtf8Texts(utf8);
  if constexpr (std::is_same_v<Writer, GenAttrXMLSerializer>) {
    writer.SetTypedOutput(typed);
  }
  writer.Write();
  return out.str();
}

class Utf8Texts : public ::testing::Test {
protected:
  // The "C" locale reads no byte from 80 up: what a command or a script runs
  // under when nothing is set.
  void SetUp() override { std::setlocale(LC_ALL, "C"); }
  Tree mTree = MakeTree();
};

TEST_F(Utf8Texts, ListingShowsTheCharacters) {
  const std::string listing = Written<GenAttrSTSerializer>(mTree.get(), true);
  EXPECT_NE(listing.find(std::string("Name: ") + kName + "                 Value: " + kValue +
                         " (Description: " + kName + ")"),
            std::string::npos)
      << listing;
  EXPECT_NE(listing.find(std::string("Value: ") + kReplaced + " (Description: " + kReplaced),
            std::string::npos)
      << listing;
  // Wide values as their characters, whatever their UTF flag.
  EXPECT_NE(listing.find("Value: \xC3\xA9\xE5\xBD\xB1\xF0\x9D\x84\x9E  (Type: UnicodeString)"),
            std::string::npos)
      << listing;
  // Without the setting, names are read a character per byte, as always.
  EXPECT_NE(Written<GenAttrSTSerializer>(mTree.get(), false).find("Name: b\xC3\x83\xC2\xA9"),
            std::string::npos);
}

TEST_F(Utf8Texts, DocumentsCarryTheCharacters) {
  const std::string plain = Written<GenAttrXMLSerializer>(mTree.get(), true);
  EXPECT_NE(plain.find(std::string("<b____ desc=\"") + kName + "\">" + kValue + "</b____>"),
            std::string::npos)
      << plain;
  EXPECT_NE(plain.find(std::string("desc=\"") + kReplaced + "\">" + kReplaced), std::string::npos)
      << plain;
  const std::string page = Written<GenAttrHTMLSerializer>(mTree.get(), true);
  EXPECT_NE(page.find(std::string("\"") + kName + "\""), std::string::npos);
  EXPECT_NE(page.find(kValue), std::string::npos);
  EXPECT_EQ(page.find("\xC3\x83"), std::string::npos) << "a character per byte somewhere";
}

TEST_F(Utf8Texts, TypedDocumentKeepsEveryTextExactly) {
  const std::string typed = Written<GenAttrXMLSerializer>(mTree.get(), true, true);
  // Well-formed texts as their characters, the others escaped byte for byte
  // beside what a viewer shows.
  EXPECT_NE(typed.find(std::string("ga:name=\"") + kName + "\">" + kValue + "<"), std::string::npos)
      << typed;
  EXPECT_NE(typed.find("ga:xdesc=\"x%FFy%80z\" ga:xvalue=\"x%FFy%80z\""), std::string::npos)
      << typed;
}

} // namespace
