#include "tree/InitialParents.h"

#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

namespace {

using Access = GenAttrTreeAccess;

// Takes `node` off the list of its initial parent, if it is listed there.
void Unlist(GenAttrBase& node) {
  GenAttrNodeRecord* const record = Access::Record(node);
  if (record == nullptr || !record->mListed) {
    return;
  }
  if (record->mpPrevNamed != nullptr) {
    Access::Record(*record->mpPrevNamed)->mpNextNamed = record->mpNextNamed;
  } else {
    Access::Record(*Access::InitialParent(node))->mpFirstNamed = record->mpNextNamed;
  }
  if (record->mpNextNamed != nullptr) {
    Access::Record(*record->mpNextNamed)->mpPrevNamed = record->mpPrevNamed;
  }
  record->mpPrevNamed = nullptr;
  record->mpNextNamed = nullptr;
  record->mListed = false;
}

} // namespace

void RecordInitialParent(GenAttrBase& node, GenAttrBase* parent) {
  if (parent == nullptr) {
    ClearInitialParent(node);
    return;
  }
  // Both records first: if one cannot be made, nothing has changed.
  GenAttrNodeRecord& record = Access::EnsureRecord(node);
  GenAttrNodeRecord& parentRecord = Access::EnsureRecord(*parent);
  Unlist(node);
  Access::InitialParent(node) = parent;
  record.mpNextNamed = parentRecord.mpFirstNamed;
  if (record.mpNextNamed != nullptr) {
    Access::Record(*record.mpNextNamed)->mpPrevNamed = &node;
  }
  parentRecord.mpFirstNamed = &node;
  record.mListed = true;
}

void ClearInitialParent(GenAttrBase& node) {
  Unlist(node);
  Access::InitialParent(node) = nullptr;
}

void ForgetInitialParents(GenAttrBase& dying) {
  GenAttrNodeRecord* const record = Access::Record(dying);
  if (record == nullptr) {
    return;
  }
  Unlist(dying);
  for (GenAttrBase* named = record->mpFirstNamed; named != nullptr;) {
    GenAttrNodeRecord* const namedRecord = Access::Record(*named);
    GenAttrBase* const next = namedRecord->mpNextNamed;
    namedRecord->mpPrevNamed = nullptr;
    namedRecord->mpNextNamed = nullptr;
    namedRecord->mListed = false;
    Access::InitialParent(*named) = nullptr;
    named = next;
  }
  record->mpFirstNamed = nullptr;
}

} // namespace detail
} // namespace genattr
