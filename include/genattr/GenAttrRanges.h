// Ranges over the children and the descendants of a node, for range-for.
#ifndef GENATTR_GENATTRRANGES_H
#define GENATTR_GENATTRRANGES_H

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "genattr/Export.h"
#include "genattr/GenAttrChildLink.h"

class GenAttrBase;
struct GenAttrDescendantWalk;

// Iterator of GenAttrBase::GetChildren(). It reads the links directly and
// never moves a node's cursor. Any edit of the node being walked (AddAttr,
// AddAttrAtTop, InsertAttr, RemoveAttr, RemoveAllAttr on it) invalidates every
// iterator over its children; a build without NDEBUG stops at the next
// increment of such an iterator. Destroying the node invalidates them too.
class GenAttrChildIterator {
public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = GenAttrBase*;
  using difference_type = std::ptrdiff_t;
  using pointer = GenAttrBase* const*;
  using reference = GenAttrBase*;

  GenAttrChildIterator() = default;
  GenAttrChildIterator(const GenAttrChildLink* link, const std::uint32_t* edits)
      : mpLink(link), mpEdits(edits), mEdits(edits != nullptr ? *edits : 0) {}

  // The child, borrowed: no count is added.
  GenAttrBase* operator*() const { return mpLink->mpAttr; }
  GenAttrChildIterator& operator++() {
    assert((mpEdits == nullptr || *mpEdits == mEdits) &&
           "the node was edited while its children were being walked");
    mpLink = mpLink->mpNext;
    return *this;
  }
  GenAttrChildIterator operator++(int) {
    GenAttrChildIterator before = *this;
    ++*this;
    return before;
  }
  friend bool operator==(const GenAttrChildIterator& a, const GenAttrChildIterator& b) {
    return a.mpLink == b.mpLink;
  }
  friend bool operator!=(const GenAttrChildIterator& a, const GenAttrChildIterator& b) {
    return a.mpLink != b.mpLink;
  }

private:
  const GenAttrChildLink* mpLink = nullptr;
  // The edit count of the node walked, and its value when the walk began.
  [[maybe_unused]] const std::uint32_t* mpEdits = nullptr;
  [[maybe_unused]] std::uint32_t mEdits = 0;
};

// The children a node sees, in chain order (see GenAttrBase::GetChildren()).
class GenAttrChildRange {
public:
  GenAttrChildRange(const GenAttrChildLink* first, const std::uint32_t* edits)
      : mpFirst(first), mpEdits(edits) {}
  GenAttrChildIterator begin() const { return GenAttrChildIterator(mpFirst, mpEdits); }
  GenAttrChildIterator end() const { return GenAttrChildIterator(); }

private:
  const GenAttrChildLink* mpFirst;
  const std::uint32_t* mpEdits;
};

// One node of a walk over descendants: the node (borrowed, no count added) and
// its depth, 1 for a child of the node the walk started from.
struct GenAttrDescendant {
  GenAttrBase* mpNode;
  std::uint32_t mDepth;
};

// Input iterator of GenAttrBase::GetDescendants(); it advances the walk of its
// range, so all copies of it move together.
class GENATTR_API GenAttrDescendantIterator {
public:
  using iterator_category = std::input_iterator_tag;
  using value_type = GenAttrDescendant;
  using difference_type = std::ptrdiff_t;
  using pointer = const GenAttrDescendant*;
  using reference = const GenAttrDescendant&;

  GenAttrDescendantIterator() = default;
  explicit GenAttrDescendantIterator(GenAttrDescendantWalk* walk);

  const GenAttrDescendant& operator*() const { return mCurrent; }
  const GenAttrDescendant* operator->() const { return &mCurrent; }
  GenAttrDescendantIterator& operator++();
  // Leaves out the subtree below the node the iterator is on: the next
  // increment goes on with its next sibling, or further up. A walk that does
  // not go into references calls it on each one. Does nothing at the end or
  // for a node listed without children anyway.
  void SkipChildren();
  friend bool operator==(const GenAttrDescendantIterator& a, const GenAttrDescendantIterator& b) {
    return a.mpWalk == b.mpWalk;
  }
  friend bool operator!=(const GenAttrDescendantIterator& a, const GenAttrDescendantIterator& b) {
    return a.mpWalk != b.mpWalk;
  }

private:
  // Null once the walk is over: the iterator then equals end().
  GenAttrDescendantWalk* mpWalk = nullptr;
  GenAttrDescendant mCurrent = {nullptr, 0};
};

// The descendants of a node in pre-order (see GenAttrBase::GetDescendants()).
// The range owns the state of its walk, a stack on the heap, so it can be
// moved but not copied; begin() starts the walk afresh, which invalidates the
// iterators of an earlier pass.
class GENATTR_API GenAttrDescendantRange {
public:
  explicit GenAttrDescendantRange(const GenAttrBase* root) : mpRoot(root) {}
  GenAttrDescendantRange(GenAttrDescendantRange&& other) noexcept
      : mpRoot(other.mpRoot), mpWalk(other.mpWalk) {
    other.mpWalk = nullptr;
  }
  GenAttrDescendantRange(const GenAttrDescendantRange&) = delete;
  GenAttrDescendantRange& operator=(const GenAttrDescendantRange&) = delete;
  GenAttrDescendantRange& operator=(GenAttrDescendantRange&&) = delete;
  ~GenAttrDescendantRange();

  GenAttrDescendantIterator begin();
  GenAttrDescendantIterator end() const { return GenAttrDescendantIterator(); }

private:
  const GenAttrBase* mpRoot;
  GenAttrDescendantWalk* mpWalk = nullptr;
};

#endif // GENATTR_GENATTRRANGES_H
