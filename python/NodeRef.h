// The holder through which every Python object of the module owns its node.
#ifndef GENATTR_PYTHON_NODEREF_H
#define GENATTR_PYTHON_NODEREF_H

#include <cstdint>
#include <utility>

#include "genattr/GenAttrBase.h"

namespace genattr_python {

// A number that changes whenever the module edits the structure of a tree (a
// link added or removed). Lazy iterators over children and descendants
// remember it and refuse to go on once it changed, because the links they
// stand on may be gone. Only the thread holding the GIL touches it.
std::uint64_t& EditGeneration();

inline void NoteEdit() {
  ++EditGeneration();
}

// Gives back one count of `node` (ignored when null). While a lazy iterator
// is live, a last count of a node that has children or is a reference is kept
// until the last iterator ends, since ending such a node changes links that
// others see; every other release happens at once.
void Release(GenAttrBase* node);

// Marks a lazy iterator as live from construction until End() or destruction,
// whichever comes first.
class IterationScope {
public:
  IterationScope();
  IterationScope(const IterationScope&) = delete;
  IterationScope& operator=(const IterationScope&) = delete;
  ~IterationScope() { End(); }
  void End();

private:
  bool mLive = true;
};

// Holds one count of a node for as long as it lives: AddRef() when made from a
// pointer, UnRef() when destroyed. The holder type of every node class of the
// module, so each Python object wrapping a node owns exactly one count of it.
template <typename T> class NodeRef {
public:
  NodeRef() = default;
  explicit NodeRef(T* node) : mpNode(node) {
    if (mpNode != nullptr) {
      mpNode->AddRef();
    }
  }
  NodeRef(const NodeRef& other) : NodeRef(other.mpNode) {}
  NodeRef& operator=(const NodeRef& other) {
    NodeRef copy(other);
    std::swap(mpNode, copy.mpNode);
    return *this;
  }
  ~NodeRef() { Release(mpNode); }

  T* get() const { return mpNode; }

private:
  T* mpNode = nullptr;
};

} // namespace genattr_python

#endif // GENATTR_PYTHON_NODEREF_H
