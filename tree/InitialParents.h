// Initial parents that the parent's own links do not vouch for. Internal.
#ifndef GENATTR_TREE_INITIALPARENTS_H
#define GENATTR_TREE_INITIALPARENTS_H

#include "genattr/GenAttrBase.h"
#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

// A parent clears the initial parent of the children its own links hold when
// it is destroyed. Every other node that names an initial parent is listed
// under it (see GenAttrNodeRecord), so that its destruction clears that too.

// Makes `parent` (may be null) the initial parent of `node` and lists `node`
// under it. Strong exception guarantee; with a null `parent` it allocates
// nothing and cannot throw.
void RecordInitialParent(GenAttrBase& node, GenAttrBase* parent);

// Sets a null initial parent, taking `node` off its parent's list.
void ClearInitialParent(GenAttrBase& node);

// Called by every destructor: takes `dying` off its parent's list and clears
// the initial parent of every node listed under it.
void ForgetInitialParents(GenAttrBase& dying);

// The count and initial parent that a new link gives its child, in two steps
// around the making of the link, so that a failed allocation changes nothing:
// the constructor makes whatever records the initial parent will need, Done()
// adds the count and, when the child has no initial parent, makes `parent`
// its initial parent (listed there unless `parent` owns the new link).
class ChildAdoption {
public:
  ChildAdoption(GenAttrBase& parent, GenAttrBase& child, bool parentOwnsLink)
      : mParent(parent), mChild(child), mParentOwnsLink(parentOwnsLink) {
    if (!parentOwnsLink && GenAttrTreeAccess::InitialParent(child) == nullptr) {
      GenAttrTreeAccess::EnsureRecord(child);
      GenAttrTreeAccess::EnsureRecord(parent);
    }
  }
  ChildAdoption(const ChildAdoption&) = delete;
  ChildAdoption& operator=(const ChildAdoption&) = delete;

  void Done() {
    ++GenAttrTreeAccess::RefCount(mChild);
    GenAttrBase*& initialParent = GenAttrTreeAccess::InitialParent(mChild);
    if (initialParent == nullptr) {
      if (mParentOwnsLink) {
        initialParent = &mParent;
      } else {
        RecordInitialParent(mChild, &mParent); // the records exist: cannot throw
      }
    }
  }

private:
  GenAttrBase& mParent;
  GenAttrBase& mChild;
  bool mParentOwnsLink;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_INITIALPARENTS_H
