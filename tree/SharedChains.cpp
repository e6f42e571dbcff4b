#include "tree/SharedChains.h"

namespace genattr {
namespace detail {

namespace {

using Access = GenAttrTreeAccess;

// Calls `visit` on `owner` and on every reference sharing its chain.
template <typename Visit> void ForFamily(GenAttrBase& owner, Visit visit) {
  visit(owner);
  const GenAttrNodeRecord* const record = Access::Record(owner);
  for (GenAttrBase* sharer = record != nullptr ? record->mpFirstSharer : nullptr;
       sharer != nullptr;) {
    // The next one first: `visit` may take the sharer off the list.
    GenAttrBase* const next = Access::Record(*sharer)->mpNextSharer;
    visit(*sharer);
    sharer = next;
  }
}

// The link that `node` sees just before the first link that passes `test`,
// or the cursor position before the first child when that is its first link.
template <typename Test> GenAttrChildLink* CursorBefore(GenAttrBase& node, Test test) {
  GenAttrChildLink* prev = nullptr;
  for (GenAttrChildLink* link = Access::First(node); link != nullptr && !test(link);
       link = link->mpNext) {
    prev = link;
  }
  return prev != nullptr ? prev : Access::BeforeFirst();
}

// Makes the chain of `sharer` lead to `to` where it led to `from`: from its
// first-link field or from the next field of its last own link.
void Redirect(GenAttrBase& sharer, GenAttrChildLink* from, GenAttrChildLink* to) {
  GenAttrChildLink*& first = Access::First(sharer);
  if (first == from) {
    first = to;
    return;
  }
  GenAttrChildLink* link = first;
  while (link->mpNext != from) {
    link = link->mpNext;
  }
  link->mpNext = to;
}

bool OwnsLink(const GenAttrBase& node, const GenAttrChildLink* target) {
  const GenAttrChildLink* const end = OwnEnd(node);
  for (const GenAttrChildLink* link = Access::FirstLink(node); link != end; link = link->mpNext) {
    if (link == target) {
      return true;
    }
  }
  return false;
}

void AddSharer(GenAttrBase& owner, GenAttrBase& sharer) {
  GenAttrNodeRecord& ownerRecord = *Access::Record(owner);
  GenAttrNodeRecord& record = *Access::Record(sharer);
  record.mpPrevSharer = nullptr;
  record.mpNextSharer = ownerRecord.mpFirstSharer;
  if (record.mpNextSharer != nullptr) {
    Access::Record(*record.mpNextSharer)->mpPrevSharer = &sharer;
  }
  ownerRecord.mpFirstSharer = &sharer;
}

void RemoveSharer(GenAttrBase& owner, GenAttrNodeRecord& record) {
  if (record.mpPrevSharer != nullptr) {
    Access::Record(*record.mpPrevSharer)->mpNextSharer = record.mpNextSharer;
  } else {
    Access::Record(owner)->mpFirstSharer = record.mpNextSharer;
  }
  if (record.mpNextSharer != nullptr) {
    Access::Record(*record.mpNextSharer)->mpPrevSharer = record.mpPrevSharer;
  }
}

// Ends the sharing of `sharer`: it keeps its own links as a chain of its own.
void StopSharing(GenAttrBase& sharer) {
  GenAttrNodeRecord& record = *Access::Record(sharer);
  GenAttrChildLink* last = nullptr;
  for (GenAttrChildLink* link = Access::First(sharer); link != record.mpEntry;
       link = link->mpNext) {
    last = link;
  }
  GenAttrChildLink*& cursor = Access::Cursor(sharer);
  if (cursor != nullptr && cursor != Access::BeforeFirst() && !OwnsLink(sharer, cursor)) {
    cursor = nullptr;
  }
  if (last != nullptr) {
    last->mpNext = nullptr;
  } else {
    Access::First(sharer) = nullptr;
  }
  Access::SetLast(sharer, last);
  RemoveSharer(*record.mpOwner, record);
  record.mCounted = false;
  record.mpOwner = nullptr;
  record.mpHolder = nullptr;
  record.mpEntry = nullptr;
  record.mpPrevSharer = nullptr;
  record.mpNextSharer = nullptr;
  Access::NoteEdit(sharer);
}

// `dying` shares a chain and owns links that others were made from: they go
// on with what it shared, and no cursor is left on a link of its own.
void HandOnOwnLinks(GenAttrBase& dying, const GenAttrNodeRecord& record) {
  // Every cursor first, while every chain still runs through the own links.
  // References made from those that lose the links see them no more either:
  // no count of the family is kept.
  ForFamily(*record.mpOwner, [&](GenAttrBase& node) {
    Access::ForgetCount(node);
    GenAttrChildLink*& cursor = Access::Cursor(node);
    if (&node != &dying && cursor != nullptr && cursor != Access::BeforeFirst() &&
        OwnsLink(dying, cursor)) {
      cursor =
          CursorBefore(node, [&](const GenAttrChildLink* link) { return OwnsLink(dying, link); });
    }
  });
  ForFamily(*record.mpOwner, [&](GenAttrBase& node) {
    GenAttrNodeRecord* const sharing = SharingRecord(node);
    if (sharing != nullptr && sharing->mpHolder == &dying) {
      Redirect(node, sharing->mpEntry, record.mpEntry);
      sharing->mpEntry = record.mpEntry;
      sharing->mpHolder = record.mpHolder;
      Access::NoteEdit(node);
    }
  });
}

} // namespace

// The position of the first link `node` sees for which `wanted(link)` holds,
// with the link before it; empty when there is none.
template <class Wanted> ChainPosition FirstSeen(GenAttrBase& node, Wanted wanted) {
  ChainPosition position;
  const bool found = ForEachSeen(node, [&](GenAttrChildLink* link, GenAttrBase& holder) {
                       if (wanted(link)) {
                         position.link = link;
                         position.holder = &holder;
                         return true;
                       }
                       position.prev = link;
                       position.prevHolder = &holder;
                       return false;
                     }) != nullptr;
  return found ? position : ChainPosition();
}

ChainPosition FindInChain(GenAttrBase& node, const GenAttrBase* child) {
  return FirstSeen(node, [child](const GenAttrChildLink* link) { return link->mpAttr == child; });
}

ChainPosition PositionAt(GenAttrBase& node, std::uint32_t index) {
  ChainPosition position;
  if (SharingRecord(node) == nullptr) {
    const std::uint32_t count = node.GetNumberChildren();
    if (index >= count) {
      return position;
    }
    if (index > count / 2) {
      GenAttrChildLink* link = Access::Last(node);
      for (std::uint32_t at = count - 1; at > index; --at) {
        link = link->mpPrev;
      }
      position.link = link;
      position.prev = link->mpPrev;
      position.holder = &node;
      position.prevHolder = &node;
      return position;
    }
  }
  std::uint32_t at = 0;
  return FirstSeen(node, [&at, index](const GenAttrChildLink*) { return at++ == index; });
}

void ForgetFamilyCounts(GenAttrBase& owner) {
  ForFamily(owner, [](GenAttrBase& node) { Access::ForgetCount(node); });
}

void ShareChain(GenAttrBase& reference, GenAttrBase& referenced) {
  GenAttrChildLink* const first = Access::First(referenced);
  const GenAttrNodeRecord* const from = SharingRecord(referenced);
  if (from == nullptr && first == nullptr) {
    return; // a chain of its own, like any node
  }
  GenAttrBase* owner = &referenced;
  GenAttrBase* holder = &referenced;
  if (from != nullptr) {
    owner = from->mpOwner;
    // The holder is the node owning the first link seen; with none, the end
    // of the owner's chain is where the reference joins.
    holder = first == nullptr ? owner : first == from->mpEntry ? from->mpHolder : &referenced;
  }
  // Both records exist before anything is linked.
  GenAttrNodeRecord& record = Access::EnsureRecord(reference);
  Access::EnsureRecord(*owner);
  record.mpOwner = owner;
  record.mpHolder = holder;
  record.mpEntry = first;
  AddSharer(*owner, reference);
  Access::First(reference) = first;
}

void JoinAppended(GenAttrBase& owner, GenAttrChildLink* link) {
  const GenAttrNodeRecord* const ownerRecord = Access::Record(owner);
  if (ownerRecord == nullptr || ownerRecord->mpFirstSharer == nullptr) {
    return;
  }
  // Every sharer sees the new link, at the end of what it sees; the owner's
  // count is the caller's.
  ForFamily(owner, [&](GenAttrBase& node) {
    GenAttrNodeRecord* const record = SharingRecord(node);
    if (record != nullptr) {
      ++record->mCount;
    }
    if (record != nullptr && record->mpEntry == nullptr) {
      Redirect(node, nullptr, link);
      record->mpEntry = link;
    }
  });
}

void Unlink(GenAttrBase& holder, GenAttrChildLink* link) {
  GenAttrChildLink* const next = link->mpNext;
  GenAttrChildLink* const end = OwnEnd(holder);
  const GenAttrNodeRecord* const holderRecord = SharingRecord(holder);
  // Sharers that entered at this link enter at the next one; past the last
  // own link of a sharing holder, that is the holder's own entry.
  GenAttrChildLink* const newEntry = next;
  GenAttrBase* const newHolder =
      holderRecord != nullptr && next == end ? holderRecord->mpHolder : &holder;

  // Every cursor first, while every chain still reaches the link. Only the
  // holder sees a link of a chain nobody shares; in a family, which nodes see
  // it would take a walk each, and their counts are forgotten instead.
  GenAttrBase& owner = ChainOwner(holder);
  const GenAttrNodeRecord* const ownerRecord = Access::Record(owner);
  const bool shared = ownerRecord != nullptr && ownerRecord->mpFirstSharer != nullptr;
  ForFamily(owner, [link, shared](GenAttrBase& node) {
    if (shared) {
      Access::ForgetCount(node);
    } else {
      Access::CountRemoved(node);
    }
    GenAttrChildLink*& cursor = Access::Cursor(node);
    if (cursor == link) {
      cursor = CursorBefore(node, [link](const GenAttrChildLink* l) { return l == link; });
    }
  });
  ForFamily(owner, [&](GenAttrBase& node) {
    GenAttrNodeRecord* const record = SharingRecord(node);
    if (record != nullptr && record->mpEntry == link) {
      Redirect(node, link, newEntry);
      record->mpEntry = newEntry;
      record->mpHolder = newHolder;
    }
  });

  GenAttrChildLink*& first = Access::First(holder);
  if (first == link) {
    first = next;
  } else {
    link->mpPrev->mpNext = next;
  }
  if (next != nullptr && next != end) {
    next->mpPrev = link->mpPrev;
  }
  if (holderRecord == nullptr && Access::Last(holder) == link) {
    Access::SetLast(holder, link->mpPrev);
  }
  Access::NoteEdit(holder);
}

void LeaveSharedChains(GenAttrBase& dying) {
  GenAttrNodeRecord* const record = Access::Record(dying);
  if (record == nullptr) {
    return;
  }
  if (record->mpOwner != nullptr) {
    if (Access::First(dying) != record->mpEntry) {
      HandOnOwnLinks(dying, *record);
    }
    StopSharing(dying);
  }
  while (record->mpFirstSharer != nullptr) {
    StopSharing(*record->mpFirstSharer);
  }
}

} // namespace detail
} // namespace genattr
