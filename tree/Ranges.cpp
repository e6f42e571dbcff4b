// The side-effect-free ranges over children and descendants.
#include <cassert>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrRanges.h"
#include "tree/TreeWalk.h"

using genattr::detail::TreeWalk;

// The state of one walk over descendants: the path, and for each node on it
// the edit count it had when the walk reached it, so that a debug build can
// tell when a node on the path was edited under the walk.
struct GenAttrDescendantWalk {
  explicit GenAttrDescendantWalk(const GenAttrBase* root)
      : walk(const_cast<GenAttrBase*>(root), TreeWalk::Links), edits{GenAttrTreeAccess::Edits(
                                                                   *root)} {}

  // The next node in pre-order, or null at the end.
  GenAttrBase* Next() {
    while (walk.Depth() > 0) {
      assert(edits.back() == GenAttrTreeAccess::Edits(*walk.Current()) &&
             "a node on the path was edited while its descendants were being walked");
      GenAttrBase* const child = walk.NextChild();
      if (child == nullptr) {
        walk.Ascend();
        edits.pop_back();
        continue;
      }
      depth = static_cast<std::uint32_t>(walk.Depth());
      // Only a node with children needs a place on the path.
      descended = GenAttrTreeAccess::FirstLink(*child) != nullptr && walk.Descend(child);
      if (descended) {
        edits.push_back(GenAttrTreeAccess::Edits(*child));
      }
      return child;
    }
    return nullptr;
  }

  // Takes the node Next() returned off the path again, so that its children
  // are never reached.
  void SkipChildren() {
    if (descended) {
      walk.Ascend();
      edits.pop_back();
      descended = false;
    }
  }

  TreeWalk walk;
  std::vector<std::uint32_t> edits;
  std::uint32_t depth = 0;
  // Whether the node Next() returned last is on the path.
  bool descended = false;
};

GenAttrChildRange GenAttrBase::GetChildren() const {
  return GenAttrChildRange(mpFirst, &mEdits);
}

GenAttrDescendantRange GenAttrBase::GetDescendants() const {
  return GenAttrDescendantRange(this);
}

GenAttrDescendantRange::~GenAttrDescendantRange() {
  delete mpWalk;
}

GenAttrDescendantIterator GenAttrDescendantRange::begin() {
  delete mpWalk;
  mpWalk = nullptr;
  mpWalk = new GenAttrDescendantWalk(mpRoot);
  return GenAttrDescendantIterator(mpWalk);
}

GenAttrDescendantIterator::GenAttrDescendantIterator(GenAttrDescendantWalk* walk) : mpWalk(walk) {
  ++*this;
}

GenAttrDescendantIterator& GenAttrDescendantIterator::operator++() {
  GenAttrBase* const node = mpWalk->Next();
  if (node == nullptr) {
    mpWalk = nullptr;
    mCurrent = GenAttrDescendant{nullptr, 0};
  } else {
    mCurrent = GenAttrDescendant{node, mpWalk->depth};
  }
  return *this;
}

void GenAttrDescendantIterator::SkipChildren() {
  if (mpWalk != nullptr) {
    mpWalk->SkipChildren();
  }
}
