// The bookkeeping of reference nodes and the chains they share. Internal.
#ifndef GENATTR_TREE_SHAREDCHAINS_H
#define GENATTR_TREE_SHAREDCHAINS_H

#include <map>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace detail {
// Every sharing reference listed under its owner and, when different, under
// its holder: the nodes whose destruction ends its sharing.
using SharerMap = std::multimap<const GenAttrBase*, GenAttrBase*>;
} // namespace detail
} // namespace genattr

// What a reference node keeps besides the fields of every node. A reference
// either shares a chain (mpOwner set) or has a chain of its own, like any node
// (every field null).
//
// A sharing reference reaches, from its mpFirst, first the links it put there
// itself with AddAttrAtTop() (which it owns), then mpFirstShared and the rest
// of the shared chain, which it never releases. It shares the chain only while
// mpOwner and mpHolder live and share: when either goes, it is left with a
// chain of its own made of the links it owns.
struct GenAttrRefInfo {
  // The node that owns the end of the shared chain; AddAttr() through the
  // reference appends after the owner's last link.
  GenAttrBase* mpOwner = nullptr;
  // The node that owns mpFirstShared: the owner, or the reference whose own
  // front links this reference was made from.
  GenAttrBase* mpHolder = nullptr;
  // The first link that the reference does not own.
  GenAttrChildLink* mpFirstShared = nullptr;
  // The first link appended to the owner's chain through this reference; the
  // children it appended lie from there to the end of the chain.
  GenAttrChildLink* mpFirstAppended = nullptr;
  // Next entry of a list of references whose own sharers are to be detached.
  GenAttrBase* mpNextDetached = nullptr;
  // Where the reference is listed under mpOwner and, when it differs, under
  // mpHolder, so that ending its sharing costs the same however many others
  // share the chain.
  genattr::detail::SharerMap::iterator mOwnerEntry{};
  genattr::detail::SharerMap::iterator mHolderEntry{};
};

namespace genattr {
namespace detail {

// Makes `reference`, a reference under construction that has its record,
// share the chain that `referenced` reaches, when that chain is not empty.
void ShareChain(GenAttrBase& reference, GenAttrBase& referenced);

// Called by every destructor before it releases a link: a dying sharing
// reference leaves its chain, and every reference that shares a chain through
// `dying` is first given a chain of its own.
void LeaveSharedChains(GenAttrBase& dying);

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_SHAREDCHAINS_H
