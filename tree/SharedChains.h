// The chains that references share with the node they refer to. Internal.
#ifndef GENATTR_TREE_SHAREDCHAINS_H
#define GENATTR_TREE_SHAREDCHAINS_H

#include <cstdint>

#include "genattr/GenAttrBase.h"
#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

// The record of `node` when it is a reference sharing a chain, else null.
inline GenAttrNodeRecord* SharingRecord(const GenAttrBase& node) {
  GenAttrNodeRecord* const record = GenAttrTreeAccess::Record(node);
  return record != nullptr && record->mpOwner != nullptr ? record : nullptr;
}

// The link where the links `node` owns end: its entry into the shared chain
// when it shares (null for the end of the owner's chain), else null. The own
// links of a node run from its first link up to, not including, this one.
inline GenAttrChildLink* OwnEnd(const GenAttrBase& node) {
  const GenAttrNodeRecord* const record = SharingRecord(node);
  return record != nullptr ? record->mpEntry : nullptr;
}

// The node whose chain AddAttr() through `node` appends to: the owner of the
// chain it shares, or itself.
inline GenAttrBase& ChainOwner(GenAttrBase& node) {
  const GenAttrNodeRecord* const record = SharingRecord(node);
  return record != nullptr ? *record->mpOwner : node;
}

// Calls `visit(link, holder)` on every link `node` sees, in order, with the
// node owning the link, until `visit` returns true; returns that link or null.
template <typename Visit> GenAttrChildLink* ForEachSeen(GenAttrBase& node, Visit visit) {
  GenAttrBase* holder = &node;
  GenAttrChildLink* end = OwnEnd(node);
  for (GenAttrChildLink* link = GenAttrTreeAccess::First(node); link != nullptr;
       link = link->mpNext) {
    // Passing the entry of a sharing node leads into the links of its holder.
    while (link == end) {
      holder = GenAttrTreeAccess::Record(*holder)->mpHolder;
      end = OwnEnd(*holder);
    }
    if (visit(link, *holder)) {
      return link;
    }
  }
  return nullptr;
}

// A link as `node` sees it: the link, the one before it there (null for the
// first), and the nodes owning each of the two.
struct ChainPosition {
  GenAttrChildLink* link = nullptr;
  GenAttrChildLink* prev = nullptr;
  GenAttrBase* holder = nullptr;
  GenAttrBase* prevHolder = nullptr;
};

// The first link to `child` that `node` sees; `link` is null when there is none.
ChainPosition FindInChain(GenAttrBase& node, const GenAttrBase* child);

// The link at `index` (0 for the first) among those `node` sees, with its
// neighbour and holders as FindInChain() gives them; `link` is null past the
// end. A node that shares nothing sees only its own links, linked both ways,
// and is walked from the nearer end.
ChainPosition PositionAt(GenAttrBase& node, std::uint32_t index);

// Forgets the kept child counts of `owner` and of every reference sharing its
// chain.
void ForgetFamilyCounts(GenAttrBase& owner);

// Makes `reference`, a reference under construction, share the chain that
// `referenced` sees: always when `referenced` shares one itself, otherwise when
// its chain is not empty.
void ShareChain(GenAttrBase& reference, GenAttrBase& referenced);

// To be called after `link` was appended to the chain of `owner`: the sharers
// whose shared part had run out see it.
void JoinAppended(GenAttrBase& owner, GenAttrChildLink* link);

// Takes `link`, one of the own links of `holder`, out of every chain that
// reaches it, moving the entries of sharers and every cursor on it so that
// they go on with the link after it. The caller releases the link.
void Unlink(GenAttrBase& holder, GenAttrChildLink* link);

// Called by every destructor before it releases its own links: references
// that others were made from hand their place on to those, a dying sharing
// reference leaves its chain, and the sharers of a dying owner keep only
// their own links.
void LeaveSharedChains(GenAttrBase& dying);

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_SHAREDCHAINS_H
