#include "tree/SharedChains.h"

#include <map>

#include "tree/InitialParents.h"
#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

namespace {

using Access = GenAttrTreeAccess;

// Only references fill it, so a tree without them pays one test per
// destruction. Never destroyed, so that nodes outliving static destruction
// stay safe.
SharerMap& Sharers() {
  static SharerMap* const sharers = new SharerMap();
  return *sharers;
}

// Ends the sharing of a reference that was listed: it stops seeing the
// shared chain and keeps the links it owns as a chain of its own.
void StopSharing(GenAttrBase& reference) {
  GenAttrRefInfo& info = *Access::RefInfo(reference);
  Sharers().erase(info.mOwnerEntry);
  if (info.mpHolder != info.mpOwner) {
    Sharers().erase(info.mHolderEntry);
  }

  // The children appended through the reference stay with the owner; they
  // must not go on naming as initial parent a node that no longer reaches
  // them (and may be destroyed first).
  for (GenAttrChildLink* link = info.mpFirstAppended; link != nullptr; link = link->mpNext) {
    if (link->mpAttr->GetInitialParent() == &reference) {
      RecordInitialParent(*link->mpAttr, nullptr);
    }
  }

  // The own links are those in front of the first shared one.
  GenAttrChildLink*& cursor = Access::Cursor(reference);
  bool cursorOnOwnLink = false;
  GenAttrChildLink* last = nullptr;
  for (GenAttrChildLink* link = Access::First(reference); link != info.mpFirstShared;
       link = link->mpNext) {
    cursorOnOwnLink = cursorOnOwnLink || link == cursor;
    last = link;
  }
  if (last != nullptr) {
    last->mpNext = nullptr;
  } else {
    Access::First(reference) = nullptr;
  }
  if (!cursorOnOwnLink) {
    cursor = nullptr;
  }
  Access::Last(reference) = last;
  info = GenAttrRefInfo();
}

// Stops the sharing of every reference listed under `node`, then of those
// listed under the references just stopped (they shared the front links of
// the stopped ones), and so on. The worklist is threaded through the records,
// so nothing is allocated in a destructor.
void StopSharersOf(const GenAttrBase& node) {
  SharerMap& sharers = Sharers();
  GenAttrBase* worklist = nullptr;
  const GenAttrBase* key = &node;
  while (key != nullptr) {
    for (auto it = sharers.find(key); it != sharers.end(); it = sharers.find(key)) {
      GenAttrBase* const reference = it->second;
      StopSharing(*reference);
      Access::RefInfo(*reference)->mpNextDetached = worklist;
      worklist = reference;
    }
    key = worklist;
    if (worklist != nullptr) {
      GenAttrRefInfo* const info = Access::RefInfo(*worklist);
      worklist = info->mpNextDetached;
      info->mpNextDetached = nullptr;
    }
  }
}

} // namespace

void ShareChain(GenAttrBase& reference, GenAttrBase& referenced) {
  GenAttrChildLink* const first = Access::First(referenced);
  if (first == nullptr) {
    return;
  }
  GenAttrBase* owner = &referenced;
  GenAttrBase* holder = &referenced;
  const GenAttrRefInfo* const from = Access::RefInfo(referenced);
  if (from != nullptr && from->mpOwner != nullptr) {
    // A reference to a sharing reference shares the same chain. Its first
    // link is one of the front links of the referenced reference, or else a
    // link that one shares too.
    owner = from->mpOwner;
    holder = first == from->mpFirstShared ? from->mpHolder : &referenced;
  }
  SharerMap& sharers = Sharers();
  const auto underOwner = sharers.emplace(owner, &reference);
  auto underHolder = underOwner;
  if (holder != owner) {
    try {
      underHolder = sharers.emplace(holder, &reference);
    } catch (...) {
      sharers.erase(underOwner);
      throw;
    }
  }
  GenAttrRefInfo& info = *Access::RefInfo(reference);
  info.mOwnerEntry = underOwner;
  info.mHolderEntry = underHolder;
  info.mpOwner = owner;
  info.mpHolder = holder;
  info.mpFirstShared = first;
  Access::First(reference) = first;
}

void LeaveSharedChains(GenAttrBase& dying) {
  const GenAttrRefInfo* const info = Access::RefInfo(dying);
  if (info != nullptr && info->mpOwner != nullptr) {
    StopSharing(dying);
  }
  if (!Sharers().empty()) {
    StopSharersOf(dying);
  }
}

} // namespace detail
} // namespace genattr
