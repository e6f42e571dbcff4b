// The optional bookkeeping record of a node. Internal.
#ifndef GENATTR_TREE_NODERECORD_H
#define GENATTR_TREE_NODERECORD_H

#include <cstdint>

#include "genattr/GenAttrBase.h"

// What a node keeps besides the fields of every node, allocated only for nodes
// that take part in sharing a chain or name a recorded initial parent. All
// lists are threaded through the records of their members, so that the
// bookkeeping travels with the nodes: ending a node touches only its own
// record and those of the nodes it is listed with, and no registry is shared
// between unrelated trees.
//
// Chains. A reference that shares a chain (mpOwner set) sees, from its
// mpFirst, first the links it owns (put there through it with AddAttrAtTop()
// or InsertAttr()), then mpEntry and what follows it. mpEntry lies in the own
// links of mpHolder, which is either the owner or a reference whose own links
// this one was made from (whose mpEntry in turn leads on, down to the owner's
// chain). A null mpEntry means the end of the owner's chain: the links
// appended to the owner later become the entry. A reference that does not
// share (every chain field null) owns its whole chain like any node.
//
// Initial parents. A parent clears the initial parent of the children its own
// links hold when it is destroyed. A node that names an initial parent
// without such a link (a reference copies the initial parent of the node it
// refers to, SetInitialParent(), a child linked through a reference into a
// chain the reference does not own) is listed under that parent.
//
// Child count. Once GetNumberChildren() has counted what a node sees, the
// number is kept here (mCounted). An edit that only the editing node sees
// (every edit of a chain no reference shares, AddAttrAtTop() anywhere, an
// append to an owner) updates it; an edit that other nodes of a family may
// see clears mCounted on each of them, and so does any change of what a
// reference shares. A node without a record, or with mCounted false, counts
// by walking.
struct GenAttrNodeRecord {
  // The node's last link, kept here once the node has a record.
  GenAttrChildLink* mpLast = nullptr;

  // --- as a reference sharing a chain
  GenAttrBase* mpOwner = nullptr;
  GenAttrBase* mpHolder = nullptr;
  GenAttrChildLink* mpEntry = nullptr;
  // Neighbours in the owner's list of sharers.
  GenAttrBase* mpPrevSharer = nullptr;
  GenAttrBase* mpNextSharer = nullptr;

  // --- as the owner of a shared chain: every reference sharing it
  GenAttrBase* mpFirstSharer = nullptr;

  // --- as an initial parent: the nodes listed under this one
  GenAttrBase* mpFirstNamed = nullptr;
  // --- as a listed node: neighbours in the initial parent's list
  GenAttrBase* mpPrevNamed = nullptr;
  GenAttrBase* mpNextNamed = nullptr;
  bool mListed = false;

  // --- the number of links the node sees, when mCounted
  bool mCounted = false;
  std::uint32_t mCount = 0;
};

#endif // GENATTR_TREE_NODERECORD_H
