// The holder through which every Python object of the module owns its node.
#ifndef GENATTR_PYTHON_NODEREF_H
#define GENATTR_PYTHON_NODEREF_H

#include <cstdint>
#include <utility>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "tree/TreeAccess.h"

namespace genattr_python {

// Every loop over nodes that still reads the links of its tree as it goes
// takes the nodes it has still to give, each counted (see NodeIterator.cpp).
// Called before anything from Python changes links: an edit of a chain
// (linking, unlinking, sharing one), and the end of a node that has links or
// a record, since the end of a node may reroute the chains references share.
void TakeRestOfLoops() noexcept;

// AddRef() and UnRef() without a call into the library where no node ends:
// the module counts a node for every object and every step of a walk.
inline void CountNode(GenAttrBase* node) {
  ++GenAttrTreeAccess::RefCount(*node);
}
inline void GiveBackNode(GenAttrBase* node) {
  int& count = GenAttrTreeAccess::RefCount(*node);
  if (count > 1) {
    --count;
    return;
  }
  // The node's end.
  if (!GenAttrTreeAccess::Bare(*node)) {
    TakeRestOfLoops();
  }
  node->UnRef();
}

// The children of a node in an array, so that node[i] takes constant time.
// The pointers are borrowed: they are valid while the node's edit count and
// first link are still the ones noted, since no child can end without an edit
// of the chain first.
struct ChildIndex {
  std::vector<GenAttrBase*> mChildren;
  bool mBuilt = false;
  std::uint32_t mEdits = 0;
  const GenAttrChildLink* mpFirst = nullptr;
};

// Asks a holder to take over a count its maker already holds.
struct TakeCount {};

// What every holder has, whatever the class of its node, so that code given
// any node object reaches it (see HolderOf()).
class NodeHolder {
public:
  NodeHolder(const NodeHolder&) = delete;
  NodeHolder& operator=(const NodeHolder&) = delete;

  GenAttrBase* Node() const { return mpNode; }
  // The object's index of the children, made on first use.
  ChildIndex& Index() {
    if (mpIndex == nullptr) {
      mpIndex = new ChildIndex();
    }
    return *mpIndex;
  }
  // The index when one was made, else null.
  ChildIndex* ExistingIndex() const { return mpIndex; }
  // Holds `node` from now on, of the same class as the node held until now,
  // taking over a count its caller holds on it; the count of the node held
  // until now is given back (which may end it) and the index is dropped.
  void Retarget(GenAttrBase* node) noexcept {
    delete std::exchange(mpIndex, nullptr);
    GenAttrBase* const old = std::exchange(mpNode, node);
    if (old != nullptr) {
      GiveBackNode(old);
    }
  }

protected:
  NodeHolder() = default;
  // Takes over the count `node` comes with.
  explicit NodeHolder(GenAttrBase* node) : mpNode(node) {}
  NodeHolder(NodeHolder&& other) noexcept
      : mpNode(std::exchange(other.mpNode, nullptr)),
        mpIndex(std::exchange(other.mpIndex, nullptr)) {}
  ~NodeHolder() {
    delete mpIndex;
    if (mpNode != nullptr) {
      GiveBackNode(mpNode);
    }
  }
  void Swap(NodeHolder& other) noexcept {
    std::swap(mpNode, other.mpNode);
    std::swap(mpIndex, other.mpIndex);
  }

private:
  GenAttrBase* mpNode = nullptr;
  ChildIndex* mpIndex = nullptr;
};

// Holds one count of a node for as long as it lives: AddRef() when made from a
// pointer, UnRef() when destroyed. The holder type of every node class of the
// module, so each Python object wrapping a node owns exactly one count of it.
// A copy holds a count of its own and no index.
template <typename T> class NodeRef : public NodeHolder {
public:
  NodeRef() = default;
  explicit NodeRef(T* node) : NodeHolder(Counted(node)) {}
  NodeRef(T* node, TakeCount) : NodeHolder(node) {}
  NodeRef(const NodeRef& other) : NodeRef(other.get()) {}
  NodeRef(NodeRef&& other) noexcept : NodeHolder(std::move(other)) {}
  NodeRef& operator=(NodeRef other) noexcept {
    Swap(other);
    return *this;
  }
  ~NodeRef() = default;

  // NOLINTNEXTLINE(readability-identifier-naming): the name pybind11 calls
  T* get() const { return static_cast<T*>(Node()); }

private:
  static T* Counted(T* node) {
    if (node != nullptr) {
      CountNode(node);
    }
    return node;
  }
};

} // namespace genattr_python

#endif // GENATTR_PYTHON_NODEREF_H
