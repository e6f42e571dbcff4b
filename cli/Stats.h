// Figures about a tree: nodes by type, depth, sharing, largest texts. Internal.
#ifndef GENATTR_CLI_STATS_H
#define GENATTR_CLI_STATS_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace cli {

struct LargeText {
  std::size_t bytes;
  const char* what; // "name", "value", "description" or "id"
  std::string path; // NodePath.h path of its node, "(root)" for the root
};

struct TreeStats {
  std::uint64_t nodes = 0;        // distinct nodes: a shared node counts once
  std::uint64_t byType[9] = {};   // by GenAttrType; [8] for codes out of range
  std::size_t depth = 0;          // deepest level, the root being level 0
  std::uint64_t shared = 0;       // nodes held by more than one link
  std::uint64_t sharedLinks = 0;  // the counts held on them (their links)
  std::uint64_t references = 0;   // reference containers
  std::vector<LargeText> largest; // the longest texts, longest first
};

// Gathers the figures of the tree below `root`; `keep` largest texts. A
// reference's children are counted where its container stands, a shared
// node's subtree once.
TreeStats GatherStats(GenAttrBase* root, std::size_t keep);

// Writes the figures as "label: value" lines.
void PrintStats(const TreeStats& stats, std::ostream& out);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_STATS_H
