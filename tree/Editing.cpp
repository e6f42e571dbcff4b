// Inserting and removing children, also through references.
#include <utility>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "tree/BlockPool.h"
#include "tree/InitialParents.h"
#include "tree/SharedChains.h"

using namespace genattr::detail;

namespace {

using Access = GenAttrTreeAccess;

// After a link to `child` went from the chain seen by `editor` (the link was
// owned by `holder`): the child's initial parent, when it is one of the two,
// stays while that node still sees the child, and is cleared otherwise. A
// parent that then reaches the child only through a link it does not own
// lists the child, so that its end still clears the initial parent; the
// record this needs was made beforehand by PrepareSettling().
void SettleInitialParent(GenAttrBase& child, const GenAttrBase& editor, const GenAttrBase& holder) {
  GenAttrBase* const parent = child.GetInitialParent();
  if (parent != &editor && parent != &holder) {
    return;
  }
  bool seen = false;
  const bool owned =
      ForEachSeen(*parent, [&](const GenAttrChildLink* link, const GenAttrBase& owner) {
        seen = seen || link->mpAttr == &child;
        return link->mpAttr == &child && &owner == parent;
      }) != nullptr;
  const GenAttrNodeRecord* const record = Access::Record(child);
  if (!seen) {
    ClearInitialParent(child);
  } else if (!owned && (record == nullptr || !record->mListed)) {
    RecordInitialParent(child, parent);
  }
}

// Only a sharing reference can see a child through a link it does not own:
// when one is the child's initial parent, the child's record is made before
// anything changes.
void PrepareSettling(GenAttrBase& child) {
  const GenAttrBase* const parent = child.GetInitialParent();
  if (parent != nullptr && SharingRecord(*parent) != nullptr) {
    Access::EnsureRecord(child);
  }
}

// Whether nothing but `node` itself can see its chain, the case of almost
// every node, where edits need no bookkeeping beyond the chain.
bool Alone(const GenAttrBase& node) {
  const GenAttrNodeRecord* const record = Access::Record(node);
  return record == nullptr || (record->mpOwner == nullptr && record->mpFirstSharer == nullptr);
}

// Takes the link at `position` out of what `editor` sees (see RemoveAttr()).
void RemoveLink(GenAttrBase& editor, const ChainPosition& position) {
  GenAttrBase& child = *position.link->mpAttr;
  PrepareSettling(child);
  Unlink(*position.holder, position.link);
  genattr::detail::DeleteLink(position.link);
  Access::NoteEdit(editor);
  SettleInitialParent(child, editor, *position.holder);
  // Last: the child may end here.
  child.UnRef();
}

} // namespace

int GenAttrBase::InsertAttr(GenAttrBase* child, GenAttrBase* before) {
  if (child == nullptr) {
    return 0;
  }
  if (before == nullptr) {
    AddAttr(child);
    return 1;
  }
  const ChainPosition position = FindInChain(*this, before);
  if (position.link == nullptr) {
    return 0;
  }
  if (position.prev == nullptr) {
    AddAttrAtTop(child);
    return 1;
  }
  // The new link joins the links of the node owning the one before it.
  GenAttrBase& holder = *position.prevHolder;
  ChildAdoption adopt(*this, *child, &holder == this);
  GenAttrChildLink* const link =
      genattr::detail::NewLink(GenAttrChildLink{child, position.link, position.prev});
  position.prev->mpNext = link;
  if (position.holder == &holder) {
    position.link->mpPrev = link;
  }
  if (Alone(*this)) {
    Access::CountAdded(*this);
  } else {
    ForgetFamilyCounts(ChainOwner(*this));
  }
  ++holder.mEdits;
  ++mEdits;
  adopt.Done();
  return 1;
}

int GenAttrBase::RemoveAttr(GenAttrBase* child) {
  if (child == nullptr) {
    return 0;
  }
  const ChainPosition position = FindInChain(*this, child);
  if (position.link == nullptr) {
    return 0;
  }
  RemoveLink(*this, position);
  return 1;
}

int GenAttrBase::RemoveAttrAt(std::uint32_t index) {
  const ChainPosition position = PositionAt(*this, index);
  if (position.link == nullptr) {
    return 0;
  }
  RemoveLink(*this, position);
  return 1;
}

void GenAttrBase::RemoveAllAttr() {
  ++mEdits;
  if (Alone(*this)) {
    GenAttrChildLink* link = mpFirst;
    mpFirst = nullptr;
    Access::SetLast(*this, nullptr);
    if (GenAttrNodeRecord* const record = Access::Record(*this)) {
      record->mCount = 0;
    }
    mpCurrent = nullptr;
    for (GenAttrChildLink* l = link; l != nullptr; l = l->mpNext) {
      if (l->mpAttr->mpInitialParent == this) {
        ClearInitialParent(*l->mpAttr);
      }
    }
    // This node may end with a child that held it: nothing of it is read from
    // here on.
    while (link != nullptr) {
      GenAttrChildLink* const next = link->mpNext;
      GenAttrBase* const child = link->mpAttr;
      genattr::detail::DeleteLink(link);
      child->UnRef();
      link = next;
    }
    return;
  }
  // Through shared chains, link by link; the initial parents are settled once
  // every link is gone, when the nodes concerned see the least.
  std::vector<std::pair<GenAttrBase*, GenAttrBase*>> removed; // child, holder
  removed.reserve(GetNumberChildren());
  for (GenAttrChildLink* link = mpFirst; link != nullptr; link = link->mpNext) {
    PrepareSettling(*link->mpAttr);
  }
  while (mpFirst != nullptr) {
    const ChainPosition position = FindInChain(*this, mpFirst->mpAttr);
    removed.emplace_back(position.link->mpAttr, position.holder);
    Unlink(*position.holder, position.link);
    genattr::detail::DeleteLink(position.link);
  }
  mpCurrent = nullptr;
  for (const auto& [child, holder] : removed) {
    SettleInitialParent(*child, *this, *holder);
  }
  for (const auto& entry : removed) {
    entry.first->UnRef();
  }
}
