// Details of the diff's lines (how texts are quoted, absent against empty)
// and of the sibling alignment on long lists (which keys anchor, what follows
// the last anchor, which of two equal alignments is taken).
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/SiblingAlign.h"
#include "cli/TreeDiff.h"
#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

using genattr::cli::DiffTrees;
using genattr::cli::KeyMatches;
using genattr::cli::MatchKeys;
using writertest::Tree;

std::string Diff(GenAttrBase* a, GenAttrBase* b) {
  std::ostringstream out;
  DiffTrees(a, b, out);
  return out.str();
}

// The diff of two roots "r" that each hold one String "s" with these values.
std::string ValueDiff(const std::string& before, const std::string& after) {
  Tree a(new GenAttrCont("r"));
  Tree b(new GenAttrCont("r"));
  a->AddAttr(new GenAttrString("s", before.c_str()));
  b->AddAttr(new GenAttrString("s", after.c_str()));
  return Diff(a.get(), b.get());
}

// Every byte below 0x20 and DEL is escaped, as are the quote and the
// backslash, so that a line's text reads back unambiguously.
TEST(DiffQuoting, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(ValueDiff("a", "a\\n"), "value changed: s: \"a\" -> \"a\\\\n\"\n");
  EXPECT_EQ(ValueDiff("\"", "\x7F"), "value changed: s: \"\\\"\" -> \"\\x7F\"\n");
  EXPECT_EQ(ValueDiff("\t\r\n", "\x01\x1F "),
            "value changed: s: \"\\t\\r\\n\" -> \"\\x01\\x1F \"\n");
  EXPECT_EQ(ValueDiff("~", "\xC3\xA9"), "value changed: s: \"~\" -> \"\xC3\xA9\"\n");
  // Reading the quoted text back gives the value: every escape is undone
  // by one rule, whatever the ASCII byte.
  for (int byte = 1; byte < 128; ++byte) {
    const std::string value = "x" + std::string(1, static_cast<char>(byte));
    const std::string line = ValueDiff("", value);
    const std::string prefix = "value changed: s: \"\" -> \"";
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    const std::string quoted = line.substr(prefix.size(), line.size() - prefix.size() - 2);
    std::string read;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
      const char c = quoted[i];
      ASSERT_NE(c, '"') << "an unescaped quote in " << line;
      ASSERT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) << line;
      if (c != '\\') {
        read += c;
        continue;
      }
      const char e = quoted[++i];
      if (e == 'x') {
        read += static_cast<char>(std::stoi(quoted.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        read += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
      }
    }
    EXPECT_EQ(read, value) << "byte " << byte;
  }
}

// No description, or no id, differs from an empty one, and says so.
TEST(DiffQuoting, AbsentDiffersFromEmpty) {
  Tree a(new GenAttrCont("r"));
  Tree b(new GenAttrCont("r"));
  a->AddAttr(new GenAttrInt("n", 1));
  b->AddAttr(new GenAttrInt("n", "", 1));
  auto* withoutId = new GenAttrCont("c");
  auto* withEmptyId = new GenAttrCont("c");
  withEmptyId->SetId("");
  a->AddAttr(withoutId);
  b->AddAttr(withEmptyId);
  EXPECT_EQ(Diff(a.get(), b.get()), "description changed: n: (none) -> \"\"\n"
                                    "value changed: c: (none) -> \"\"\n");
  EXPECT_EQ(Diff(b.get(), a.get()), "description changed: n: \"\" -> (none)\n"
                                    "value changed: c: \"\" -> (none)\n");
}

// Two siblings that swap places: the first of them is reported moved (removed
// where it was, added where it is), the other stays paired.
TEST(DiffAlignment, OfTwoEqualAlignmentsTheEarlierNodeMoves) {
  Tree a(new GenAttrCont("r"));
  Tree b(new GenAttrCont("r"));
  for (const char* name : {"p", "q"}) {
    a->AddAttr(new GenAttrInt(name, 1));
  }
  for (const char* name : {"q", "p"}) {
    b->AddAttr(new GenAttrInt(name, 1));
  }
  EXPECT_EQ(Diff(a.get(), b.get()), "removed: p\nadded: p\n");
  EXPECT_EQ(MatchKeys({1, 2}, {2, 1}), (KeyMatches{{1, 0}}));
  EXPECT_EQ(MatchKeys({1, 2, 3}, {3, 2, 1}), (KeyMatches{{2, 0}}));
}

// Lists too long for the table, of `n` keys, each a variation of one list.
// The alignment keeps at least every key the variation did not touch.
constexpr std::uint64_t kLong = 1100; // 1100 * 1100 positions are more than the table takes

std::vector<std::uint64_t> Unique(std::uint64_t from, std::uint64_t n) {
  std::vector<std::uint64_t> keys;
  for (std::uint64_t k = 0; k < n; ++k) {
    keys.push_back(from + k);
  }
  return keys;
}

std::vector<std::uint64_t> Join(std::initializer_list<std::vector<std::uint64_t>> parts) {
  std::vector<std::uint64_t> joined;
  for (const auto& part : parts) {
    joined.insert(joined.end(), part.begin(), part.end());
  }
  return joined;
}

// Whether `matches` pair equal keys at rising indices, at least `least` of them.
::testing::AssertionResult KeepsAtLeast(const std::vector<std::uint64_t>& a,
                                        const std::vector<std::uint64_t>& b, std::size_t least) {
  const KeyMatches matches = MatchKeys(a, b);
  for (std::size_t k = 0; k < matches.size(); ++k) {
    const auto [i, j] = matches[k];
    if (i >= a.size() || j >= b.size() || a[i] != b[j] ||
        (k > 0 && (i <= matches[k - 1].first || j <= matches[k - 1].second))) {
      return ::testing::AssertionFailure()
             << "pair " << k << " (" << i << ", " << j << ") is wrong";
    }
  }
  if (matches.size() < least) {
    return ::testing::AssertionFailure()
           << matches.size() << " pairs, fewer than the " << least << " kept keys";
  }
  return ::testing::AssertionSuccess();
}

TEST(DiffAlignment, LongListsKeepWhatFollowsTheLastAnchor) {
  // Unique keys anchor; after them come repeated keys and a changed end.
  const auto a = Join({{90000}, Unique(100000, kLong), {7, 7, 8, 7, 90001}});
  const auto b = Join({{90002}, Unique(100000, kLong), {7, 7, 8, 7, 90003}});
  EXPECT_TRUE(KeepsAtLeast(a, b, kLong + 4));
  // ... and before the first one.
  const auto c = Join({{90000, 7, 8, 7, 7}, Unique(100000, kLong), {90001}});
  const auto d = Join({{90002, 7, 8, 7, 7}, Unique(100000, kLong), {90003}});
  EXPECT_TRUE(KeepsAtLeast(c, d, kLong + 4));
}

TEST(DiffAlignment, AKeyTwiceOnOneSideAnchorsNothing) {
  // 5 is once on the left and twice on the right: taken as an anchor with its
  // last place on the right it would cost every filler key between.
  const std::vector<std::uint64_t> filler(kLong, 7);
  const auto a = Join({{90000, 5}, filler, {90001}});
  const auto b = Join({{90002, 5}, filler, {5, 90003}});
  EXPECT_TRUE(KeepsAtLeast(a, b, kLong + 1));
  EXPECT_TRUE(KeepsAtLeast(b, a, kLong + 1));
}

// Lists too long for the table in which no key is once on each side: no
// anchor, so the walk pairs them greedily. Every key of `Twice` is twice on
// each side.
std::vector<std::uint64_t> Twice(std::uint64_t from, std::uint64_t n) {
  std::vector<std::uint64_t> keys;
  for (std::uint64_t k = 0; k < n / 2; ++k) {
    keys.push_back(from + k);
    keys.push_back(from + k);
  }
  return keys;
}

TEST(DiffAlignment, WithoutAnchorsAKeyFarAheadDoesNotSkipWhatLiesBetween) {
  // 5 comes again on the right only after the whole list: jumping there at
  // the first mismatch would leave every key between unpaired. The ends are
  // on one side only, so that neither is paired before the walk.
  const auto a = Join({{90000, 5}, Twice(100000, kLong), {5, 90001}});
  const auto b = Join({{90002}, Twice(100000, kLong), {5, 5, 90003}});
  EXPECT_TRUE(KeepsAtLeast(a, b, kLong + 1));
  EXPECT_TRUE(KeepsAtLeast(b, a, kLong + 1));
}

// Two neighbours that swap places in lists without anchors: the walk keeps
// the left list's first of them paired and reports the other moved. (The
// table, for short lists, moves the first one instead.)
TEST(DiffAlignment, WithoutAnchorsOfTwoSwappedNeighboursTheFirstStaysPaired) {
  std::vector<std::uint64_t> cycle;
  for (std::uint64_t k = 0; k < kLong; ++k) {
    cycle.push_back(k % 7);
  }
  const auto a = Join({{90000}, cycle, {90001}});
  auto b = Join({{90002}, cycle, {90003}});
  const std::size_t first = 501;
  std::swap(b[first], b[first + 1]);
  const KeyMatches matches = MatchKeys(a, b);
  EXPECT_TRUE(KeepsAtLeast(a, b, kLong - 1));
  const auto paired = [&](std::size_t i) {
    return std::find_if(matches.begin(), matches.end(),
                        [i](const std::pair<std::size_t, std::size_t>& m) { return m.first == i; });
  };
  ASSERT_NE(paired(first), matches.end());
  EXPECT_EQ(paired(first)->second, first + 1);
  EXPECT_EQ(paired(first + 1), matches.end());
}

} // namespace
