#include "InitialParents.h"

#include <iterator>
#include <map>

#include "TreeAccess.h"

namespace genattr {
namespace detail {

namespace {

// Entries (parent, node) with node's initial parent equal to parent. Only
// references with an initial parent and SetInitialParent() fill it, so
// ordinary trees pay one test per destruction. Never destroyed, so that nodes
// outliving static destruction stay safe.
using RecordMap = std::multimap<const GenAttrBase*, GenAttrBase*>;

RecordMap& Records() {
  static RecordMap* const records = new RecordMap();
  return *records;
}

} // namespace

void RecordInitialParent(GenAttrBase& node, GenAttrBase* parent) {
  RecordMap& records = Records();
  GenAttrBase*& initialParent = GenAttrTreeAccess::InitialParent(node);
  // Record the new entry first: if that throws, nothing has changed.
  const auto added = parent != nullptr ? records.emplace(parent, &node) : records.end();
  if (initialParent != nullptr) {
    const auto range = records.equal_range(initialParent);
    for (auto it = range.first; it != range.second;) {
      it = it->second == &node && it != added ? records.erase(it) : std::next(it);
    }
  }
  initialParent = parent;
}

void ForgetInitialParents(GenAttrBase& dying) {
  RecordMap& records = Records();
  if (records.empty()) {
    return;
  }
  if (const GenAttrBase* const parent = GenAttrTreeAccess::InitialParent(dying)) {
    const auto range = records.equal_range(parent);
    for (auto it = range.first; it != range.second;) {
      it = it->second == &dying ? records.erase(it) : std::next(it);
    }
  }
  const auto named = records.equal_range(&dying);
  for (auto it = named.first; it != named.second; ++it) {
    GenAttrTreeAccess::InitialParent(*it->second) = nullptr;
  }
  records.erase(named.first, named.second);
}

} // namespace detail
} // namespace genattr
