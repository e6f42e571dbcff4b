#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "serialize/WriterTestUtil.h"

namespace {

using writertest::MakeModelTree;
using writertest::Tree;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  return std::ifstream(path).good();
}

// A file name of its own for each test, removed afterwards.
class FactoryFile : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path = ::testing::TempDir() + "genattr_" + info->name() + ".out";
    std::remove(path.c_str());
  }
  void TearDown() override { std::remove(path.c_str()); }
  std::string path;
};

TEST_F(FactoryFile, WritesTheTextListingOfTheWriter) {
  Tree tree = MakeModelTree();
  ASSERT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), path.c_str()), 0);
  std::ostringstream expected;
  GenAttrSTSerializer(tree.get(), &expected).Write();
  EXPECT_EQ(ReadFile(path), expected.str());
}

TEST_F(FactoryFile, WritesXmlWithoutStylesheets) {
  Tree tree = MakeModelTree();
  ASSERT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), path.c_str()), 0);
  std::string written = ReadFile(path);
  ASSERT_TRUE(writertest::MaskTimeStamps(written));
  std::ostringstream expected;
  GenAttrXMLSerializer(tree.get(), &expected).Write();
  std::string masked = expected.str();
  ASSERT_TRUE(writertest::MaskTimeStamps(masked));
  EXPECT_EQ(written, masked);
  EXPECT_EQ(written.find("stylesheet"), std::string::npos);
  EXPECT_EQ(written.find("CSS_StyleSheet"), std::string::npos);
}

TEST_F(FactoryFile, TruncatesALongerFile) {
  std::ofstream(path) << std::string(10000, '#');
  Tree tree(new GenAttrInt("i", 1));
  ASSERT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), path.c_str()), 0);
  EXPECT_EQ(ReadFile(path), "-------------------------------------------------\n"
                            "Name: i                   Value: 1  (Type: Int)\n");
  std::ofstream(path) << std::string(10000, '#');
  ASSERT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), path.c_str()), 0);
  EXPECT_EQ(ReadFile(path).find('#'), std::string::npos);
}

TEST_F(FactoryFile, ReturnsOneWhenTheFileCannotBeOpened) {
  Tree tree(new GenAttrInt("i", 1));
  const std::string missing = ::testing::TempDir() + "genattr-no-such-dir/" + "out.txt";
  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), missing.c_str()), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), missing.c_str()), 1);
  EXPECT_FALSE(Exists(missing));
  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), ""), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), ""), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), nullptr), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(nullptr, path.c_str()), 1);
  EXPECT_FALSE(Exists(path));
}

TEST(Factory, ReturnsTwoWhenWritingFails) {
  if (!std::ofstream("/dev/full").good()) {
    GTEST_SKIP() << "no /dev/full";
  }
  Tree tree = MakeModelTree();
  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(tree.get(), "/dev/full"), 2);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(tree.get(), "/dev/full"), 2);
}

} // namespace
