// What the parts of the Python module share: the holder declaration, the
// mapping of a node to its Python class, and the functions that bind each part.
#ifndef GENATTR_PYTHON_BINDINGS_H
#define GENATTR_PYTHON_BINDINGS_H

#include <typeinfo>

#include <pybind11/pybind11.h>

#include "genattr/GenAttr.h"
#include "python/NodeRef.h"

PYBIND11_DECLARE_HOLDER_TYPE(T, genattr_python::NodeRef<T>, true)

namespace pybind11 {

// A node handed to Python gets the class its type code names; the code, not
// RTTI, decides, so the choice does not depend on how the library exports its
// type information.
template <> struct polymorphic_type_hook<GenAttrBase> {
  // NOLINTNEXTLINE(readability-identifier-naming): the name pybind11 calls
  static const void* get(const GenAttrBase* src, const std::type_info*& type) {
    type = nullptr;
    if (src == nullptr) {
      return src;
    }
    switch (src->GetType()) {
    case String:
      type = &typeid(GenAttrString);
      break;
    case Float:
      type = &typeid(GenAttrFloat);
      break;
    case Double:
      type = &typeid(GenAttrDouble);
      break;
    case Int:
      type = &typeid(GenAttrInt);
      break;
    case Cont:
      type = &typeid(GenAttrCont);
      break;
    case UnicodeString:
      type = &typeid(GenAttrUnicodeString);
      break;
    case Ptr:
      type = &typeid(GenAttrPtr);
      break;
    default:
      type = &typeid(GenAttrBase);
      break;
    }
    // Single inheritance: every typed node starts where its GenAttrBase does.
    return src;
  }
};

} // namespace pybind11

namespace genattr_python {

// See NodeCast.h.
PyObject* NodeToPython(GenAttrBase* node) noexcept;

} // namespace genattr_python

namespace pybind11 {
namespace detail {

// A node returned by pointer from a bound function (find(), initial_parent,
// the reference constructors, read(), ...) becomes its Python object through
// the module's table of node objects (NodeToPython()): the object that stands
// for the node already, else a new one that holds a count. pybind11's own
// table of instances is not used for nodes (see NodeCast.cpp). Loading
// arguments stays pybind11's.
template <typename Node> class GenAttrNodeCaster : public type_caster_base<Node> {
public:
  using type_caster_base<Node>::cast;
  // NOLINTNEXTLINE(readability-identifier-naming): the name pybind11 calls
  static handle cast(const Node* src, return_value_policy /*policy*/, handle /*parent*/) {
    return genattr_python::NodeToPython(const_cast<Node*>(src));
  }
  // A reference returned as a reference stands for the node itself; as a
  // copy (the default for references), pybind11 copies as for any class.
  // NOLINTNEXTLINE(readability-identifier-naming): the name pybind11 calls
  static handle cast(const Node& src, return_value_policy policy, handle parent) {
    if (policy == return_value_policy::reference ||
        policy == return_value_policy::reference_internal) {
      return genattr_python::NodeToPython(const_cast<Node*>(&src));
    }
    return type_caster_base<Node>::cast(src, policy, parent);
  }
};

template <> class type_caster<GenAttrBase> : public GenAttrNodeCaster<GenAttrBase> {};
template <> class type_caster<GenAttrCont> : public GenAttrNodeCaster<GenAttrCont> {};
template <> class type_caster<GenAttrString> : public GenAttrNodeCaster<GenAttrString> {};
template <>
class type_caster<GenAttrUnicodeString> : public GenAttrNodeCaster<GenAttrUnicodeString> {};
template <> class type_caster<GenAttrInt> : public GenAttrNodeCaster<GenAttrInt> {};
template <> class type_caster<GenAttrFloat> : public GenAttrNodeCaster<GenAttrFloat> {};
template <> class type_caster<GenAttrDouble> : public GenAttrNodeCaster<GenAttrDouble> {};
template <> class type_caster<GenAttrPtr> : public GenAttrNodeCaster<GenAttrPtr> {};

} // namespace detail
} // namespace pybind11

namespace genattr_python {

namespace py = pybind11;

using BaseClass = py::class_<GenAttrBase, NodeRef<GenAttrBase>>;

// The node classes with their properties, constructors and editing calls.
BaseClass BindNodes(py::module_& module);
// Iteration over children, walk(), find() and find_all() on `base`.
void BindWalks(py::module_& module, BaseClass& base);
// Whether `key` of node[key] is the sequence's (an int or a slice), not a path.
bool IsSequenceKey(py::handle key);
// node[i] and node[i:j:k] of the node object `self`.
py::object SequenceItem(py::handle self, py::handle key);
// node[key], a child or a slice (SequenceItem()) or the node at a path.
py::object GetNodeItem(py::handle self, py::handle key);
// pop(), extend(), index() and del on `base`.
void BindSequence(BaseClass& base);
// len(node) and node[key] straight from the node classes' slots, without a
// bound call; once every class is bound.
void FastSequenceSlots();
// copy.copy() and copy.deepcopy() of nodes.
void BindCopies(BaseClass& base);
// read(), parse(), ReadError and write() on `base`.
void BindFiles(py::module_& module, BaseClass& base);

} // namespace genattr_python

#endif // GENATTR_PYTHON_BINDINGS_H
