#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

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
  EXPECT_EQ(ReadFile(path), text.str());

  std::ofstream(path) << std::string(10000, '#');
  ASSERT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), path.c_str()), 0);
  std::ostringstream xml;
  GenAttrXMLSerializer(tree.get(), &xml).Write(); // no stylesheets
  std::string written = ReadFile(path);
  std::string expected = xml.str();
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
