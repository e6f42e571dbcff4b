#include "tree/InitialParents.h"

#include <map>
#include <set>

#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

namespace {

// For every parent, the nodes whose initial parent it is. Only references
// with an initial parent and SetInitialParent() fill it, so ordinary trees
// pay one test per destruction; a node's entry is found by its parent and
// its address, however many nodes share that parent. Never destroyed, so
// that nodes outliving static destruction stay safe.
using RecordMap = std::map<const GenAttrBase*, std::set<GenAttrBase*>>;

RecordMap& Records() {
  static RecordMap* const records = new RecordMap();
  return *records;
}

// Drops the entry of `node` under `parent`; allocates nothing.
void Unrecord(RecordMap& records, const GenAttrBase* parent, GenAttrBase* node) {
  const auto named = records.find(parent);
  if (named != records.end()) {
    named->second.erase(node);
    if (named->second.empty()) {
      records.erase(named);
    }
  }
}

} // namespace

void RecordInitialParent(GenAttrBase& node, GenAttrBase* parent) {
  RecordMap& records = Records();
  GenAttrBase*& initialParent = GenAttrTreeAccess::InitialParent(node);
  // Record the new entry first: if that throws, the node keeps its record.
  if (parent != nullptr) {
    records[parent].insert(&node);
  }
  if (initialParent != nullptr && initialParent != parent) {
    Unrecord(records, initialParent, &node);
  }
  initialParent = parent;
}

void ForgetInitialParents(GenAttrBase& dying) {
  RecordMap& records = Records();
  if (records.empty()) {
    return;
  }
  if (const GenAttrBase* const parent = GenAttrTreeAccess::InitialParent(dying)) {
    Unrecord(records, parent, &dying);
  }
  const auto named = records.find(&dying);
  if (named != records.end()) {
    for (GenAttrBase* node : named->second) {
      GenAttrTreeAccess::InitialParent(*node) = nullptr;
    }
    records.erase(named);
  }
}

} // namespace detail
} // namespace genattr
