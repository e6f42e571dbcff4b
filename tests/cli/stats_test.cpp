// The largest texts of a tree: the k longest, ties taken by path and kind, as
// a plain sort of every text gives them.
#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

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

} // namespace
