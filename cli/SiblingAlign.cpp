#include "cli/SiblingAlign.h"

#include <algorithm>
#include <unordered_map>

namespace genattr {
namespace cli {

namespace {

constexpr std::size_t kMaxTableCells = std::size_t{1} << 20;

struct Range {
  std::size_t a0, a1, b0, b1;
};

// Longest common subsequence of a small range by the classic table, from the
// back so that the walk through it goes forward.
void TableMatch(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b,
                const Range& r, KeyMatches& out) {
  const std::size_t n = r.a1 - r.a0;
  const std::size_t m = r.b1 - r.b0;
  std::vector<std::uint32_t> table((n + 1) * (m + 1), 0);
  auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return table[i * (m + 1) + j]; };
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      at(i, j) =
          a[r.a0 + i] == b[r.b0 + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }
  }
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < n && j < m) {
    if (a[r.a0 + i] == b[r.b0 + j]) {
      out.emplace_back(r.a0 + i++, r.b0 + j++);
    } else if (at(i + 1, j) >= at(i, j + 1)) {
      ++i;
    } else {
      ++j;
    }
  }
}

// Pairs of keys that occur exactly once on each side, thinned to the longest
// run rising on both sides (patience sorting).
KeyMatches UniqueAnchors(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b,
                         const Range& r) {
  struct Seen {
    std::size_t countA = 0, countB = 0, posA = 0, posB = 0;
  };
  std::unordered_map<std::uint64_t, Seen> seen;
  seen.reserve(r.a1 - r.a0);
  for (std::size_t i = r.a0; i < r.a1; ++i) {
    Seen& s = seen[a[i]];
    ++s.countA;
    s.posA = i;
  }
  for (std::size_t j = r.b0; j < r.b1; ++j) {
    auto found = seen.find(b[j]);
    if (found != seen.end()) {
      ++found->second.countB;
      found->second.posB = j;
    }
  }
  KeyMatches candidates;
  for (std::size_t i = r.a0; i < r.a1; ++i) {
    const Seen& s = seen[a[i]];
    if (s.countA == 1 && s.countB == 1) {
      candidates.emplace_back(i, s.posB);
    }
  }
  // Longest subsequence of candidates rising in b: tails[k] is the index of
  // the candidate ending the best run of length k + 1.
  std::vector<std::size_t> tails;
  std::vector<std::size_t> before(candidates.size());
  for (std::size_t c = 0; c < candidates.size(); ++c) {
    auto place =
        std::lower_bound(tails.begin(), tails.end(), candidates[c].second,
                         [&](std::size_t t, std::size_t j) { return candidates[t].second < j; });
    before[c] = place == tails.begin() ? c : *(place - 1);
    if (place == tails.end()) {
      tails.push_back(c);
    } else {
      *place = c;
    }
  }
  KeyMatches anchors(tails.size());
  if (!tails.empty()) {
    std::size_t c = tails.back();
    for (std::size_t k = tails.size(); k-- > 0;) {
      anchors[k] = candidates[c];
      c = before[c];
    }
  }
  return anchors;
}

// Positions of each key in one range, the next one at the back.
class NextPositions {
public:
  NextPositions(const std::vector<std::uint64_t>& keys, std::size_t begin, std::size_t end) {
    for (std::size_t k = end; k-- > begin;) {
      mPositions[keys[k]].push_back(k);
    }
  }
  // The first position of `key` at or after `from`; `none` when there is none.
  // Positions before `from` are dropped, so a run of calls costs linear time
  // as long as `from` never goes back.
  std::size_t Next(std::uint64_t key, std::size_t from, std::size_t none) {
    auto found = mPositions.find(key);
    if (found == mPositions.end()) {
      return none;
    }
    std::vector<std::size_t>& left = found->second;
    while (!left.empty() && left.back() < from) {
      left.pop_back();
    }
    return left.empty() ? none : left.back();
  }

private:
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> mPositions;
};

// Walks both sides at once, pairing equal keys; at a mismatch it skips on the
// side where the other side's key comes again sooner, so one inserted or
// removed key costs one pair, not a shifted run.
void GreedyMatch(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b,
                 const Range& r, KeyMatches& out) {
  NextPositions inA(a, r.a0, r.a1);
  NextPositions inB(b, r.b0, r.b1);
  std::size_t i = r.a0;
  std::size_t j = r.b0;
  while (i < r.a1 && j < r.b1) {
    if (a[i] == b[j]) {
      out.emplace_back(i++, j++);
      continue;
    }
    const std::size_t nextB = inB.Next(a[i], j, r.b1);
    const std::size_t nextA = inA.Next(b[j], i, r.a1);
    if (nextB == r.b1 && nextA == r.a1) {
      ++i;
      ++j;
    } else if (nextB - j <= nextA - i) {
      j = nextB;
    } else {
      i = nextA;
    }
  }
}

} // namespace

KeyMatches MatchKeys(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) {
  KeyMatches out;
  std::vector<Range> work{{0, a.size(), 0, b.size()}};
  while (!work.empty()) {
    Range r = work.back();
    work.pop_back();
    while (r.a0 < r.a1 && r.b0 < r.b1 && a[r.a0] == b[r.b0]) {
      out.emplace_back(r.a0++, r.b0++);
    }
    while (r.a0 < r.a1 && r.b0 < r.b1 && a[r.a1 - 1] == b[r.b1 - 1]) {
      out.emplace_back(--r.a1, --r.b1);
    }
    if (r.a0 == r.a1 || r.b0 == r.b1) {
      continue;
    }
    if ((r.a1 - r.a0) <= kMaxTableCells / (r.b1 - r.b0)) {
      TableMatch(a, b, r, out);
      continue;
    }
    const KeyMatches anchors = UniqueAnchors(a, b, r);
    if (anchors.empty()) {
      GreedyMatch(a, b, r, out);
      continue;
    }
    std::size_t a0 = r.a0;
    std::size_t b0 = r.b0;
    for (const auto& anchor : anchors) {
      out.push_back(anchor);
      work.push_back({a0, anchor.first, b0, anchor.second});
      a0 = anchor.first + 1;
      b0 = anchor.second + 1;
    }
    work.push_back({a0, r.a1, b0, r.b1});
  }
  std::sort(out.begin(), out.end());
  return out;
}

} // namespace cli
} // namespace genattr
