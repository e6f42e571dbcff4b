// The figures the command prints: the largest texts of a tree (the k longest,
// ties taken by path and kind, as a plain sort of every text gives them) and
// names shown as UTF-8.
#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "cli/NodePath.h"
#include "cli/Stats.h"
#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using genattr::cli::GatherStats;

TEST(Stats, LargestTextsAreTheFirstOfAPlainSort) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    // Few lengths, so that ties are the rule.
    writertest::Tree root(new GenAttrCont("r"));
    using Text = std::tuple<std::size_t, std::string, std::string>; // bytes, path, kind
    std::vector<Text> all{{1, "(root)", "name"}};
    const int children = 2 + static_cast<int>(random() % 12);
    for (int i = 0; i < children; ++i) {
      const std::string name = "c" + std::to_string(random() % 100) + "_" + std::to_string(i);
      const std::string value(1 + random() % 3, 'v');
      root->AddAttr(new GenAttrString(name.c_str(), value.c_str()));
      all.emplace_back(name.size(), name, "name");
      all.emplace_back(value.size(), name, "value");
    }
    std::sort(all.begin(), all.end(), [](const Text& x, const Text& y) {
      if (std::get<0>(x) != std::get<0>(y)) {
        return std::get<0>(x) > std::get<0>(y);
      }
      return std::tie(std::get<1>(x), std::get<2>(x)) < std::tie(std::get<1>(y), std::get<2>(y));
    });
    const std::size_t keep = 1 + random() % 6;
    const auto largest = GatherStats(root.get(), keep).largest;
    ASSERT_EQ(largest.size(), std::min(keep, all.size()));
    for (std::size_t i = 0; i < largest.size(); ++i) {
      EXPECT_EQ(Text(largest[i].bytes, largest[i].path, largest[i].what), all[i])
          << "round " << round << ", place " << i;
    }
  }
}

// Whether `s` is well-formed UTF-8, by decoding: each character's value must
// need exactly the bytes it took and be a scalar value.
bool WellFormed(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const std::size_t length = lead < 0x80       ? 1
                               : lead >> 5 == 6  ? 2
                               : lead >> 4 == 14 ? 3
                               : lead >> 3 == 30 ? 4
                                                 : 0;
    if (length == 0 || i + length > s.size()) {
      return false;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(s[i + k]);
      if (next >> 6 != 2) {
        return false;
      }
      c = (c << 6) | (next & 0x3F);
    }
    const std::size_t shortest = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (shortest != length || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// A name is shown as itself exactly when it is well-formed UTF-8: every pair
// and triple of bytes around the edges of the encoding's ranges.
TEST(NodePath, NamesAreShownAsThemselvesExactlyWhenTheyAreUtf8) {
  const unsigned char edges[] = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                 0xDF, 0xE0, 0xE1, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF};
  for (const unsigned char a : edges) {
    for (const unsigned char b : edges) {
      for (const unsigned char c : edges) {
        for (const std::string& name :
             {std::string{char(a), char(b)}, std::string{char(a), char(b), char(c)},
              std::string{char(a), char(b), char(c), '\x80'}}) {
          EXPECT_EQ(genattr::cli::ShownName(name.c_str()) == name, WellFormed(name))
              << std::hex << int(a) << " " << int(b) << " " << int(c);
        }
      }
    }
  }
}

} // namespace
