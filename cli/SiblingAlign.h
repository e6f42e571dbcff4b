// Lining up two sequences of keys, as the diff lines up two lists of children. Internal.
#ifndef GENATTR_CLI_SIBLINGALIGN_H
#define GENATTR_CLI_SIBLINGALIGN_H

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace genattr {
namespace cli {

using KeyMatches = std::vector<std::pair<std::size_t, std::size_t>>;

// Pairs equal keys of `a` and `b` so that both indices rise: a common
// subsequence. Equal heads and tails are paired first (so one inserted or
// removed key leaves every other one paired); what lies between is a longest
// common subsequence while it is small (up to about a million pairs of
// positions), otherwise keys that occur once on each side anchor it (patience
// matching) and runs without such anchors are paired greedily in order. The
// cost on long sequences is O(n log n), never quadratic. Indices are into the
// whole vectors, in rising order.
KeyMatches MatchKeys(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_SIBLINGALIGN_H
