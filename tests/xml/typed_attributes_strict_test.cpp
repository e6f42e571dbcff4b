// The typed attributes read exactly as written: the bits of a number are its
// hexadecimal digits and nothing more, a number has its bits or its text,
// only the one value of ga:utf sets the flag, and a UnicodeString's text is
// its characters, whatever their length in UTF-8.
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Read;
using readertest::Tree;

// Whether `document` reads with `status` (0 with a tree, any other without).
::testing::AssertionResult ReadsWith(const std::string& document, int status) {
  GenAttrReadError error;
  error.mStatus = -1;
  Tree tree(Read(document, error));
  if (error.mStatus != status || (tree.root != nullptr) != (status == 0)) {
    return ::testing::AssertionFailure() << "status " << error.mStatus << " (" << error.mMessage
                                         << "), expected " << status << ", for: " << document;
  }
  return ::testing::AssertionSuccess();
}

std::string Hex(std::uint64_t bits, unsigned digits) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(digits, '0');
  for (unsigned i = digits; i-- > 0; bits >>= 4) {
    text[i] = kDigits[bits & 15];
  }
  return text;
}

// Random bit patterns read back bit for bit; the same digits with anything
// after them, or one digit fewer, are refused.
TEST(ReaderTypedStrict, BitsAreExactlyTheirHexadecimalDigits) {
  std::mt19937_64 random(11);
  for (int round = 0; round < 200; ++round) {
    const std::uint64_t raw = random();
    const bool isDouble = round % 2 == 0;
    const unsigned digits = isDouble ? 16 : 8;
    const std::uint64_t bits = isDouble ? raw : raw & 0xFFFFFFFFu;
    const std::string open =
        std::string("<a ga:type=\"") + (isDouble ? "Double" : "Float") + "\" ga:bits=\"";
    // The text disagrees on purpose: the bits decide.
    const std::string document = open + Hex(bits, digits) + "\">1</a>";
    GenAttrReadError error;
    Tree tree(Read(document, error));
    ASSERT_NE(tree.root, nullptr) << error.mMessage << " for: " << document;
    std::uint64_t read = 0;
    if (isDouble) {
      const double value = static_cast<GenAttrDouble*>(tree.root)->GetValue();
      std::memcpy(&read, &value, sizeof value);
    } else {
      const float value = static_cast<GenAttrFloat*>(tree.root)->GetValue();
      std::uint32_t narrow = 0;
      std::memcpy(&narrow, &value, sizeof value);
      read = narrow;
    }
    // A NaN's payload may be quietened on the way; everything else is exact.
    const bool nan = isDouble ? ((bits >> 52) & 0x7FF) == 0x7FF && (bits & ((1ull << 52) - 1)) != 0
                              : ((bits >> 23) & 0xFF) == 0xFF && (bits & 0x7FFFFF) != 0;
    if (!nan) {
      EXPECT_EQ(Hex(read, digits), Hex(bits, digits)) << document;
    }
    for (const char* tail : {"0", "g", " ", "x", "\xC3\xA9"}) {
      EXPECT_TRUE(ReadsWith(open + Hex(bits, digits) + tail + "\">1</a>", 3));
    }
    EXPECT_TRUE(ReadsWith(open + Hex(bits, digits).substr(1) + "\">1</a>", 3));
  }
}

// Without ga:bits a Float or Double is its text; with neither there is no
// number.
TEST(ReaderTypedStrict, ANumberHasItsBitsOrItsText) {
  for (const char* type : {"Float", "Double"}) {
    const std::string open = std::string("<a ga:type=\"") + type + "\"";
    EXPECT_TRUE(ReadsWith(open + "/>", 3));
    EXPECT_TRUE(ReadsWith(open + "></a>", 3));
    EXPECT_TRUE(ReadsWith(open + " value=\"\">2.5</a>", 3)); // the value attribute wins
    EXPECT_TRUE(ReadsWith(open + ">2.5x</a>", 3));
    EXPECT_TRUE(ReadsWith(open + ">2.5</a>", 0));
    EXPECT_TRUE(ReadsWith(open + " value=\"2.5\"/>", 0));
    EXPECT_TRUE(ReadsWith(
        open + " ga:bits=\"" + (type[0] == 'F' ? "40200000" : "4004000000000000") + "\"/>", 0));
  }
}

// The flag of a String or UnicodeString is set by "1" and by nothing else.
TEST(ReaderTypedStrict, OnlyOneSetsTheUtfFlag) {
  const struct {
    const char* attribute;
    bool set;
  } cases[] = {
      {" ga:utf=\"1\"", true},   {"", false},
      {" ga:utf=\"\"", false},   {" ga:utf=\"0\"", false},
      {" ga:utf=\"11\"", false}, {" ga:utf=\"true\"", false},
      {" ga:utf=\" 1\"", false},
  };
  for (const auto& c : cases) {
    for (const bool wide : {false, true}) {
      const std::string document = std::string("<a ga:type=\"") +
                                   (wide ? "UnicodeString" : "String") + "\"" + c.attribute +
                                   ">x</a>";
      GenAttrReadError error;
      Tree tree(Read(document, error));
      ASSERT_NE(tree.root, nullptr) << error.mMessage << " for: " << document;
      const bool flag = wide ? static_cast<GenAttrUnicodeString*>(tree.root)->isUtfEncoded()
                             : static_cast<GenAttrString*>(tree.root)->isUtfEncoded();
      EXPECT_EQ(flag, c.set) << document;
    }
  }
}

// UTF-8 of `c`, by the table of lengths: the oracle for the reader's decoding.
std::string Utf8(char32_t c) {
  if (c < 0x80) {
    return std::string(1, static_cast<char>(c));
  }
  const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  std::string out(1, static_cast<char>(((0xFF00u >> (extra + 1)) & 0xFF) | (c >> (6 * extra))));
  for (int i = extra; i-- > 0;) {
    out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
  }
  return out;
}

// The wide text of `c`: one unit, or a surrogate pair where wchar_t has 16 bits.
std::wstring Wide(char32_t c) {
  if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
    return {static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)),
            static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF))};
  }
  return std::wstring(1, static_cast<wchar_t>(c));
}

// The text of a UnicodeString (no ga:xvalue) comes back character for
// character: the edges of each length of UTF-8 and random characters.
TEST(ReaderTypedStrict, UnicodeStringTextIsItsCharacters) {
  std::vector<char32_t> chars = {0x41,    0x7F,    0x80,    0x7FF,   0x800,   0xFFFD,   0xFFFC,
                                 0x10000, 0x1F600, 0x3FFFF, 0x40000, 0xFFFFF, 0x100000, 0x10FFFF};
  std::mt19937 random(3);
  for (int i = 0; i < 200; ++i) {
    char32_t c = random() % 0x10FFFF + 1;
    if ((c >= 0xD800 && c <= 0xDFFF) || (c & 0xFFFE) == 0xFFFE || c < 0x20) {
      c = 0x4E2D;
    }
    chars.push_back(c);
  }
  for (const char32_t c : chars) {
    const std::string document = "<a ga:type=\"UnicodeString\">" + Utf8(c) + "x" + Utf8(c) + "</a>";
    GenAttrReadError error;
    Tree tree(Read(document, error));
    ASSERT_NE(tree.root, nullptr) << error.mMessage << " for U+" << std::hex << c;
    EXPECT_EQ(std::wstring(static_cast<GenAttrUnicodeString*>(tree.root)->GetValue()),
              Wide(c) + L"x" + Wide(c))
        << "U+" << std::hex << static_cast<unsigned long>(c);
  }
}

} // namespace
