// The holder through which every Python object of the module owns its node.
#ifndef GENATTR_PYTHON_NODEREF_H
#define GENATTR_PYTHON_NODEREF_H

#include <utility>

#include "genattr/GenAttrBase.h"

namespace genattr_python {

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
  NodeRef(NodeRef&& other) noexcept : mpNode(std::exchange(other.mpNode, nullptr)) {}
  NodeRef& operator=(NodeRef other) noexcept {
    std::swap(mpNode, other.mpNode);
    return *this;
  }
  ~NodeRef() {
    if (mpNode != nullptr) {
      mpNode->UnRef();
    }
  }

  // NOLINTNEXTLINE(readability-identifier-naming): the name pybind11 calls
  T* get() const { return mpNode; }

private:
  T* mpNode = nullptr;
};

} // namespace genattr_python

#endif // GENATTR_PYTHON_NODEREF_H
