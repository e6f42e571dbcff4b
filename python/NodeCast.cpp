// Making node objects the way pybind11 does for a borrowed pointer with a
// holder that is always constructed, with the class looked up once per type
// code instead of through RTTI and two hash tables per node.
#include "python/NodeCast.h"

#include <new>

#include "tree/TreeAccess.h"

namespace genattr_python {

namespace {

namespace detail = py::detail;

// Constructs and destroys the holder of an object of the class of `Node`.
using PlaceHolder = void (*)(detail::value_and_holder&, GenAttrBase*, bool taken);
using DropHolder = void (*)(detail::value_and_holder&);

template <class Node>
void PlaceNodeRef(detail::value_and_holder& slot, GenAttrBase* node, bool taken) {
  auto* const typed = static_cast<Node*>(node);
  void* const storage = &slot.holder<NodeRef<Node>>();
  if (taken) {
    new (storage) NodeRef<Node>(typed, TakeCount());
  } else {
    new (storage) NodeRef<Node>(typed);
  }
}

template <class Node> void DropNodeRef(detail::value_and_holder& slot) {
  slot.holder<NodeRef<Node>>().~NodeRef<Node>();
}

struct NodeClass {
  const detail::type_info* mpInfo = nullptr;
  PlaceHolder mPlace = nullptr;
  DropHolder mDrop = nullptr;
  // Whether its objects keep the node and holder in the object itself
  // (pybind11's simple layout): one C++ class, a holder of at most two
  // pointers.
  bool mSimple = false;
};

// Indexed by type code; a code out of range is a Base node's, as in the
// polymorphic type hook.
NodeClass gNodeClasses[Ptr + 1];

// pybind11's table of the objects that stand for C++ objects, and its
// deallocation of objects, for those the short one below leaves to it.
decltype(detail::internals::registered_instances)* gRegistered = nullptr;
destructor gPybindDealloc = nullptr;

const NodeClass& ClassOf(const GenAttrBase& node) {
  const GenAttrType code = GenAttrTreeAccess::Type(node);
  return gNodeClasses[code >= Base && code <= Ptr ? code : Base];
}

// The object that stands for `node` already, as a new reference, or null.
PyObject* Existing(GenAttrBase* node, PyTypeObject* type) {
  auto range = gRegistered->equal_range(node);
  for (auto it = range.first; it != range.second; ++it) {
    auto* const object = reinterpret_cast<PyObject*>(it->second);
    if (PyObject_TypeCheck(object, type)) {
      Py_INCREF(object);
      return object;
    }
  }
  return nullptr;
}

// pybind11's deallocation of an object of one of the node classes themselves
// (not of a Python subclass) made with the simple layout, nothing kept alive
// by it, without looking its class up: the object leaves the registry, the
// holder gives back its count, weak references are cleared. Anything else
// goes to pybind11.
void NodeDealloc(PyObject* self) {
  PyTypeObject* const type = Py_TYPE(self);
  auto* const inst = reinterpret_cast<detail::instance*>(self);
  const NodeClass* cls = nullptr;
  if (inst->simple_layout && inst->simple_holder_constructed && inst->simple_instance_registered &&
      !inst->has_patients) {
    const NodeClass& candidate = ClassOf(*static_cast<GenAttrBase*>(inst->simple_value_holder[0]));
    cls = candidate.mpInfo->type == type ? &candidate : nullptr;
  }
  if (cls == nullptr) {
    gPybindDealloc(self);
    return;
  }
  void* const node = inst->simple_value_holder[0];
  auto range = gRegistered->equal_range(node);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == inst) {
      gRegistered->erase(it);
      break;
    }
  }
  inst->simple_instance_registered = false;
  detail::value_and_holder slot(inst, cls->mpInfo, 0, 0);
  // Giving back the count may end nodes, which runs no Python code.
  cls->mDrop(slot);
  inst->simple_holder_constructed = false;
  inst->simple_value_holder[0] = nullptr;
  if (inst->weakrefs != nullptr) {
    PyObject_ClearWeakRefs(self);
  }
  type->tp_free(self);
  Py_DECREF(type);
}

template <class Node> void Remember(GenAttrType code) {
  const detail::type_info* const info = detail::get_type_info(typeid(Node));
  const bool simple = detail::all_type_info(info->type).size() == 1 &&
                      info->holder_size_in_ptrs <= detail::instance_simple_holder_in_ptrs();
  gNodeClasses[code] = NodeClass{info, &PlaceNodeRef<Node>, &DropNodeRef<Node>, simple};
#if PY_VERSION_HEX >= 0x03080000
  // From Python 3.8 on, pybind11's deallocation gives back the count of the
  // type in every case, as the short one does.
  if (simple) {
    gPybindDealloc = info->type->tp_dealloc;
    info->type->tp_dealloc = &NodeDealloc;
  }
#endif
}

PyObject* Make(GenAttrBase* node, bool taken) noexcept {
  if (node == nullptr) {
    Py_RETURN_NONE;
  }
  const NodeClass& cls = ClassOf(*node);
  if (PyObject* const existing = Existing(node, cls.mpInfo->type)) {
    if (taken) {
      GiveBackNode(node); // the object holds a count: the node lives on
    }
    return existing;
  }
  PyObject* const self = cls.mpInfo->type->tp_alloc(cls.mpInfo->type, 0);
  if (self == nullptr) {
    if (taken) {
      node->UnRef();
    }
    return nullptr;
  }
  auto* const inst = reinterpret_cast<detail::instance*>(self);
  try {
    if (cls.mSimple) {
      // What allocate_layout() does for these classes, on memory that
      // tp_alloc gave zeroed.
      inst->simple_layout = true;
    } else {
      inst->allocate_layout();
    }
    inst->owned = false;
    detail::value_and_holder slot(inst, cls.mpInfo, 0, 0);
    slot.value_ptr() = node;
    if (cls.mpInfo->simple_ancestors) {
      // No base of the node's class sits elsewhere in it: the node alone
      // is registered.
      gRegistered->emplace(node, inst);
    } else {
      detail::register_instance(inst, node, cls.mpInfo);
    }
    slot.set_instance_registered();
    cls.mPlace(slot, node, taken);
    slot.set_holder_constructed();
  } catch (...) {
    // Only allocations can fail here, before the holder takes the count; the
    // object's end undoes what was done.
    Py_DECREF(self);
    if (taken) {
      node->UnRef();
    }
    PyErr_NoMemory();
    return nullptr;
  }
  return self;
}

} // namespace

void RememberNodeClasses() {
  gRegistered = &detail::get_internals().registered_instances;
  Remember<GenAttrBase>(Base);
  Remember<GenAttrString>(String);
  Remember<GenAttrFloat>(Float);
  Remember<GenAttrDouble>(Double);
  Remember<GenAttrInt>(Int);
  Remember<GenAttrCont>(Cont);
  Remember<GenAttrUnicodeString>(UnicodeString);
  Remember<GenAttrPtr>(Ptr);
}

PyObject* NodeToPython(GenAttrBase* node) noexcept {
  return Make(node, false);
}

PyObject* NodeToPythonTaking(GenAttrBase* node) noexcept {
  return Make(node, true);
}

py::object NodeObject(GenAttrBase* node) {
  PyObject* const object = NodeToPython(node);
  if (object == nullptr) {
    throw py::error_already_set();
  }
  return py::reinterpret_steal<py::object>(object);
}

PyObject* CountedNodes::Next() noexcept {
  GenAttrBase* const node = mNodes[mNext];
  mNodes[mNext++] = nullptr;
  return NodeToPythonTaking(node);
}

py::list CountedNodes::List() {
  py::list result(Left());
  for (std::size_t i = 0; Left() > 0; ++i) {
    PyObject* const object = Next();
    if (object == nullptr) {
      throw py::error_already_set();
    }
    PyList_SET_ITEM(result.ptr(), static_cast<Py_ssize_t>(i), object);
  }
  return result;
}

void CountedNodes::Release() noexcept {
  // Giving back a count may end a node, which runs no Python code.
  for (std::size_t i = mNext; i < mNodes.size(); ++i) {
    GiveBackNode(mNodes[i]);
  }
  mNodes = {};
  mNext = 0;
}

NodeHolder& HolderOf(py::handle self) {
  if (PyObject_TypeCheck(self.ptr(), gNodeClasses[Base].mpInfo->type) == 0) {
    throw py::type_error("a genattr node is needed");
  }
  // Every node class has exactly one C++ class, so the object's first value
  // and holder are its node's. Only __init__ makes the holder: an object
  // without one is refused, as pybind11's calls refuse it (see
  // RefuseUnmadeNodes()).
  detail::value_and_holder slot =
      reinterpret_cast<detail::instance*>(self.ptr())->get_value_and_holder();
  if (!slot.holder_constructed()) {
    throw py::type_error("the node is not made yet: its __init__ has not run");
  }
  // The holder of every node class is a NodeRef<T>, whose first and only base
  // is NodeHolder.
  return *std::launder(reinterpret_cast<NodeHolder*>(&slot.holder<NodeRef<GenAttrBase>>()));
}

} // namespace genattr_python
