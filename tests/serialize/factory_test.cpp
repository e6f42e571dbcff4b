#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"
#include "tests/support/Platform.h"

namespace {

using writertest::Tree;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Factory, WritesWhatTheWritersWriteAndTruncates) {
  const std::string path = ::testing::TempDir() + "genattr_factory_test.out";
  Tree tree = writertest::MakeModelTree();
  std::ofstream(path) << std::string(10000, '#');
  ASSERT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), path.c_str()), 0);
  std::ostringstream text;
  GenAttrSTSerializer(tree.get(), &text).Write();
  // Text mode: CR LF line ends on Windows.
  EXPECT_EQ(ReadFile(path), genattr_test::AsTextFile(text.str()));

  std::ofstream(path) << std::string(10000, '#');
  ASSERT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), path.c_str()), 0);
  std::ostringstream xml;
  GenAttrXMLSerializer(tree.get(), &xml).Write(); // no stylesheets
  std::string written = ReadFile(path);
  std::string expected = genattr_test::AsTextFile(xml.str());
  ASSERT_TRUE(writertest::MaskTimeStamps(written) && writertest::MaskTimeStamps(expected));
  EXPECT_EQ(written, expected);

  std::ofstream(path) << std::string(100000, '#');
  ASSERT_EQ(GenAttrSerializerFactory::WriteToHtmlFile(tree.get(), path.c_str()), 0);
  std::ostringstream html;
  GenAttrHTMLSerializer(tree.get(), &html).Write();
  written = ReadFile(path);
  expected = html.str();
  const std::string stamp = "\"written\":\"";
  ASSERT_TRUE(writertest::MaskTimeStamps(written, stamp) &&
              writertest::MaskTimeStamps(expected, stamp));
  EXPECT_EQ(written, expected);
  std::remove(path.c_str());
}

// Line ends inside values, attributes and wide text survive text mode (each
// stored LF becomes CR LF on Windows, which an XML reader reads back as LF).
// A run with GENATTR_KEEP_XML set keeps the document under that name, for
// xmllint to check it (tests/serialize/CMakeLists.txt).
TEST(Factory, WritesTextModeXmlThatStaysWellFormed) {
  Tree tree(new GenAttrCont("root"));
  tree->AddAttr(new GenAttrString("lines", "first\r\nsecond\nthird\r"));
  tree->AddAttr(new GenAttrString("described", "line\r\nbreak\n", "v"));
  auto* parent = new GenAttrString("parent", "1\r\n2\n");
  parent->AddAttr(new GenAttrInt("child", 1));
  tree->AddAttr(parent);
  // U+1F600, CR LF, U+00E9, a lone high surrogate, U+20AC
  std::wstring wide = genattr_test::Wide(U"\U0001F600\r\n\u00E9");
  wide += genattr_test::Unit(0xD800);
  wide += L"\u20AC";
  tree->AddAttr(new GenAttrUnicodeString("wide", wide.c_str()));

  const char* const keep = std::getenv("GENATTR_KEEP_XML");
  const std::string path = keep != nullptr ? keep : ::testing::TempDir() + "genattr_text_mode.xml";
  ASSERT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), path.c_str()), 0);
  std::ostringstream xml;
  GenAttrXMLSerializer(tree.get(), &xml).Write();
  std::string written = ReadFile(path);
  std::string expected = genattr_test::AsTextFile(xml.str());
  ASSERT_TRUE(writertest::MaskTimeStamps(written) && writertest::MaskTimeStamps(expected));
  EXPECT_EQ(written, expected);
  if (keep == nullptr) {
    std::remove(path.c_str());
  }
}

TEST(Factory, ReturnsOneWhenTheFileCannotBeOpened) {
  Tree tree(new GenAttrInt("i", 1));
  const std::string missing = ::testing::TempDir() + "genattr-no-such-dir/out.txt";
  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), missing.c_str()), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), missing.c_str()), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToHtmlFile(tree.get(), missing.c_str()), 1);
  EXPECT_FALSE(std::ifstream(missing).good());
  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), ""), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), ""), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), nullptr), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(nullptr, "unused.xml"), 1);
  EXPECT_FALSE(std::ifstream("unused.xml").good());
}

TEST(Factory, ReturnsTwoWhenWritingFails) {
  if (!std::ofstream("/dev/full").good()) {
    GTEST_SKIP() << "no /dev/full";
  }
  Tree tree = writertest::MakeModelTree();
  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), "/dev/full"), 2);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), "/dev/full"), 2);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToHtmlFile(tree.get(), "/dev/full"), 2);
}

} // namespace
