#include "cli/Stats.h"
#include "cli/Output.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "cli/NodePath.h"
#include "cli/Walk.h"
#include "genattr/GenAttrCont.h"
#include "tree/Vocabulary.h"

namespace genattr {
namespace cli {

namespace {

// Keeps the `keep` longest texts seen, as a heap with the shortest on top.
class Longest {
public:
  explicit Longest(std::size_t keep) : mKeep(keep) {}

  void Offer(const char* text, const char* what, const std::string& path) {
    const std::size_t bytes = text == nullptr ? 0 : std::strlen(text);
    if (mKeep == 0 || bytes == 0 || (mHeap.size() == mKeep && bytes < mHeap.front().bytes)) {
      return;
    }
    LargeText candidate{bytes, what, path.empty() ? "(root)" : path};
    if (mHeap.size() == mKeep && !Longer(candidate, mHeap.front())) {
      return;
    }
    if (mHeap.size() == mKeep) {
      std::pop_heap(mHeap.begin(), mHeap.end(), Longer);
      mHeap.pop_back();
    }
    mHeap.push_back(std::move(candidate));
    std::push_heap(mHeap.begin(), mHeap.end(), Longer);
  }

  std::vector<LargeText> Take() {
    std::sort_heap(mHeap.begin(), mHeap.end(), Longer);
    return std::move(mHeap);
  }

private:
  // Ties go by path and kind, so that every platform lists the same texts.
  static bool Longer(const LargeText& x, const LargeText& y) {
    if (x.bytes != y.bytes) {
      return x.bytes > y.bytes;
    }
    const int byPath = x.path.compare(y.path);
    return byPath != 0 ? byPath < 0 : std::strcmp(x.what, y.what) < 0;
  }

  std::size_t mKeep;
  std::vector<LargeText> mHeap;
};

} // namespace

TreeStats GatherStats(GenAttrBase* root, std::size_t keep) {
  TreeStats stats;
  Longest longest(keep);
  PathTracker paths;
  std::unordered_set<const GenAttrBase*> sharedSeen;
  PreorderWalk walk(root, false);
  while (walk.Next()) {
    GenAttrBase* node = walk.Node();
    if (node->GetRefCount() > 1) {
      if (!sharedSeen.insert(node).second) {
        walk.SkipChildren();
        continue;
      }
      ++stats.shared;
      stats.sharedLinks += static_cast<std::uint64_t>(node->GetRefCount());
    }
    ++stats.nodes;
    const auto type = static_cast<std::uint32_t>(node->GetType());
    ++stats.byType[type < 8 ? type : 8];
    stats.depth = std::max(stats.depth, walk.Depth());
    stats.references += node->IsReference() != 0 ? 1 : 0;
    const std::string& path = paths.Visit(walk.Depth(), node->GetName(), walk.Occurrence());
    longest.Offer(node->GetName(), "name", path);
    longest.Offer(node->GetDescription(), "description", path);
    if (node->GetType() == Cont) {
      longest.Offer(static_cast<GenAttrCont*>(node)->GetId(), "id", path);
    } else {
      longest.Offer(ValueText(node), "value", path);
    }
  }
  stats.largest = longest.Take();
  return stats;
}

void PrintStats(const TreeStats& stats, std::ostream& out) {
  out << "nodes: " << stats.nodes << '\n';
  for (std::size_t type = 0; type < 9; ++type) {
    if (stats.byType[type] != 0) {
      out << "  " << detail::vocab::TypeNameOf(static_cast<GenAttrType>(type)) << ": "
          << stats.byType[type] << '\n';
    }
  }
  out << "depth: " << stats.depth << '\n'
      << "shared nodes: " << stats.shared << " (held by " << stats.sharedLinks << " links)\n"
      << "references: " << stats.references << '\n'
      << "largest texts:\n";
  for (const LargeText& text : stats.largest) {
    out << "  " << text.bytes << " bytes: " << text.what << " of " << text.path << '\n';
  }
}

} // namespace cli
} // namespace genattr
