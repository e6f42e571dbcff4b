// Where the links of child chains live: in the link room of the child when it
// has free room (see AllocateNode()), else in a block of the pool. Internal.
#ifndef GENATTR_TREE_CHILDLINKS_H
#define GENATTR_TREE_CHILDLINKS_H

#include "tree/BlockPool.h"
#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

// The link room in front of `node`; only for a node that has one.
inline GenAttrChildLink* LinkSlot(const GenAttrBase& node) noexcept {
  return reinterpret_cast<GenAttrChildLink*>(
      const_cast<char*>(reinterpret_cast<const char*>(&node)) - kLinkSlotBytes);
}

// A link that is a copy of `link`: in the room of its child (link.mpAttr)
// when the child has room no other link holds, else in a block of the pool.
inline GenAttrChildLink* NewLink(const GenAttrChildLink& link) {
  GenAttrBase* const child = link.mpAttr;
  if (child != nullptr && GenAttrTreeAccess::HasLinkSlot(*child)) {
    GenAttrChildLink* const slot = LinkSlot(*child);
    if (slot->mpAttr == nullptr) {
      *slot = link;
      return slot;
    }
  }
  return new (AllocateBlock(sizeof(GenAttrChildLink))) GenAttrChildLink(link);
}

// Releases a link of NewLink(). Its child, when it has one, must still live:
// every caller releases the link before it gives back the link's count.
inline void DeleteLink(GenAttrChildLink* link) noexcept {
  GenAttrBase* const child = link->mpAttr;
  if (child != nullptr && GenAttrTreeAccess::HasLinkSlot(*child) && LinkSlot(*child) == link) {
    link->mpAttr = nullptr;
    return;
  }
  FreeBlock(link, sizeof(GenAttrChildLink));
}

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_CHILDLINKS_H
