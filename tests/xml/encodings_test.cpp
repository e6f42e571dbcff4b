// Documents in the encodings other programs write: every one iconv knows, by
// the name declared; UTF-16 and UTF-32 by their first bytes. Each read back
// from memory and from a file holds the very text it was made from.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/xml/ForeignDocuments.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Tree;

// Reads `bytes` from an exactly-sized heap copy (a read past the end shows
// under ASan) and from a file; both must end with `status`, and then either
// hold `leaves` (status 0) or say `message`.
::testing::AssertionResult ReadsAs(const std::string& bytes, int status,
                                   const std::string& expected, const std::string& what) {
  const std::unique_ptr<char[]> copy(new char[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), copy.get());
  // One file per test: CTest may run the tests of this file side by side.
  const std::string file = std::string("reader_encoding_") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".xml";
  {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  for (const bool fromFile : {false, true}) {
    GenAttrReadError error;
    Tree tree(fromFile ? GenAttrXMLReader::ReadFile(file.c_str(), &error)
                       : GenAttrXMLReader::ReadBuffer(copy.get(), bytes.size(), &error));
    const std::string got = tree.root != nullptr ? foreign::Leaves(tree.root) : error.mMessage;
    if (error.mStatus != status || got != expected) {
      std::remove(file.c_str());
      return ::testing::AssertionFailure()
             << what << (fromFile ? " (file)" : " (memory)") << ": status " << error.mStatus
             << " at " << error.mLine << ":" << error.mColumn << ", expected " << status
             << "\n  got:      " << got << "\n  expected: " << expected;
    }
  }
  std::remove(file.c_str());
  return ::testing::AssertionSuccess();
}

std::string LeavesOf(const std::string& text) {
  return "v=" + text + ";w[" + text + "]=x;";
}

TEST(ReaderEncodings, EveryScriptComesBackAsItsUtf8) {
  for (const foreign::Script& script : foreign::Scripts()) {
    const std::string bytes =
        foreign::Encode(foreign::DocumentOf(script.declared, script.text), script.icu);
    ASSERT_FALSE(bytes.empty()) << "ICU cannot write " << script.icu;
    EXPECT_TRUE(ReadsAs(bytes, 0, LeavesOf(script.text), script.declared));
  }
}

TEST(ReaderEncodings, Utf16AndUtf32ByTheirFirstBytes) {
  const std::string text = foreign::Scripts()[1].text; // Polish, CJK and an emoji
  const struct {
    const char* declared;
    const char* icu;
    bool mark;
  } cases[] = {
      {"UTF-16", "UTF-16LE", true},
      {"UTF-16", "UTF-16BE", true},
      {"UTF-32", "UTF-32LE", true},
      {"UTF-32", "UTF-32BE", true},
      {"UTF-32", "UTF-32LE", false}, // "<" as 3C 00 00 00
      {"UTF-32", "UTF-32BE", false}, // "<" as 00 00 00 3C
      // UCS-2 by XML's names, which iconv does not know: the first bytes tell.
      {"ISO-10646-UCS-2", "UTF-16LE", false},
      {"UCS-2", "UTF-16BE", true},
  };
  for (const auto& c : cases) {
    const std::string document = foreign::DocumentOf(c.declared, text);
    const std::string bytes =
        c.mark ? foreign::WithMark(document, c.icu) : foreign::Encode(document, c.icu);
    EXPECT_TRUE(ReadsAs(bytes, 0, LeavesOf(text), std::string(c.icu) + (c.mark ? " BOM" : "")));
  }
}

// A UTF-8 mark before a declaration of another encoding is a mark, not text.
TEST(ReaderEncodings, Utf8MarkBeforeAnotherEncoding) {
  const foreign::Script& script = foreign::Scripts()[4]; // windows-1252
  EXPECT_TRUE(
      ReadsAs("\xEF\xBB\xBF" +
                  foreign::Encode(foreign::DocumentOf(script.declared, script.text), script.icu),
              0, LeavesOf(script.text), "windows-1252 after a UTF-8 mark"));
}

// A document longer than a piece, with every alignment of its characters to
// the 64 KiB pieces the input is converted in: a character cut by the end of
// a piece is completed from the next.
TEST(ReaderEncodings, CharactersAcrossPieces) {
  std::string text;
  for (int i = 0; i < 40000; ++i) {
    text += "\xE4\xB8\xAD\xE6\x96\x87"; // 中文, in every one of these
  }
  for (const char* encoding : {"Shift_JIS", "EUC-JP", "EUC-KR", "Big5", "GB2312"}) {
    for (const std::string pad : {"", " ", "  "}) {
      const std::string document = "<?xml version=\"1.0\" encoding=\"" + std::string(encoding) +
                                   "\"?>" + pad + "<r><v>" + text + "</v></r>";
      const std::string bytes = foreign::Encode(document, encoding);
      ASSERT_GT(bytes.size(), 2u * 65536u);
      EXPECT_TRUE(ReadsAs(bytes, 0, "v=" + text + ";", encoding + (" pad " + pad)));
    }
  }
  // Single bytes that grow to two in UTF-8: the output fills before the input
  // is used.
  std::string cyrillic;
  for (int i = 0; i < 100000; ++i) {
    cyrillic += "\xD0\xB6"; // ж
  }
  EXPECT_TRUE(ReadsAs(
      foreign::Encode("<?xml version='1.0' encoding='KOI8-R'?><r><v>" + cyrillic + "</v></r>",
                      "KOI8-R"),
      0, "v=" + cyrillic + ";", "KOI8-R"));
}

TEST(ReaderEncodings, Refusals) {
  const struct {
    std::string bytes;
    const char* message;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"x-no-such-encoding\"?><r/>",
       "unknown encoding: x-no-such-encoding"},
      // iconv's options after a slash are not a name; expat refuses them too.
      {"<?xml version=\"1.0\" encoding=\"UTF-8//IGNORE\"?><r/>", "XML declaration not well-formed"},
      // 81 20: a Shift_JIS lead byte before a space.
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<r>\n<v>\x81\x20</v></r>",
       "invalid byte sequence for encoding Shift_JIS"},
      // A4: an EUC-JP lead byte, the last of the file.
      {"<?xml version=\"1.0\" encoding=\"EUC-JP\"?><r>\xA4",
       "the input ends inside a character of EUC-JP"},
      // U+110000 is beyond Unicode.
      {foreign::Encode("<r>", "UTF-32LE") + std::string("\x00\x00\x11\x00", 4) +
           foreign::Encode("</r>", "UTF-32LE"),
       "invalid byte sequence for encoding UTF-32LE"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(ReadsAs(c.bytes, 2, c.message, c.bytes.substr(0, 60)));
  }
}

// The line of a fault in a converted document is the line in the document.
TEST(ReaderEncodings, WhereAConvertedDocumentIsWrong) {
  const std::string document = foreign::Encode(
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<r>\n<v>\xD0\xB6</v>\n<v></w>\n</r>",
      "windows-1251");
  GenAttrReadError error;
  Tree tree(GenAttrXMLReader::ReadBuffer(document.data(), document.size(), &error));
  EXPECT_EQ(error.mStatus, 2);
  EXPECT_EQ(error.mLine, 4u);
  EXPECT_EQ(error.mColumn, 6u);
  EXPECT_STREQ(error.mMessage, "mismatched tag");
}

} // namespace
