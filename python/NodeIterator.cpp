// The iterator is a plain CPython type rather than a pybind11 class: its
// __next__ ends with a null result and no exception, as the interpreter's
// own iterators do, instead of a C++ exception turned into StopIteration, and
// each step makes the node's object directly, without a bound call.
#include "python/NodeIterator.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "python/NodeCast.h"

namespace genattr_python {

namespace {

// The nodes of an iteration, taken all at once when it starts and each
// counted, then handed out one by one: edits of the tree meanwhile are safe,
// and the iteration shows the tree as it was when it began. Taking them runs
// no Python code, so nothing can change the tree while they are taken.
class HeldNodes {
public:
  // Counts `node` and keeps it; `depth` 0 for an iteration without depths.
  void Take(GenAttrBase* node, std::uint32_t depth) {
    if (depth != 0) {
      mDepths.push_back(depth);
    }
    mNodes.Add(node);
  }
  void Reserve(std::size_t count) { mNodes.Reserve(count); }
  std::size_t Left() const { return mNodes.Left(); }

  // The next node object (a tuple (depth, node) for a walk) as a new
  // reference; null without an error past the end, with one on failure.
  PyObject* Next() noexcept {
    if (mNodes.Left() == 0) {
      // Memory given back as soon as the iteration is over.
      mNodes.Release();
      mDepths = {};
      return nullptr;
    }
    // A walk has a depth per node: the position of this one.
    const std::size_t at = mDepths.size() - mNodes.Left();
    PyObject* const node = mNodes.Next();
    if (node == nullptr || mDepths.empty()) {
      return node;
    }
    PyObject* const depth = PyLong_FromUnsignedLong(mDepths[at]);
    PyObject* const pair = depth != nullptr ? PyTuple_New(2) : nullptr;
    if (pair == nullptr) {
      Py_XDECREF(depth);
      Py_DECREF(node);
      return nullptr;
    }
    PyTuple_SET_ITEM(pair, 0, depth);
    PyTuple_SET_ITEM(pair, 1, node);
    return pair;
  }

private:
  CountedNodes mNodes;
  std::vector<std::uint32_t> mDepths;
};

struct IteratorObject {
  PyObject ob_base; // what PyObject_HEAD declares
  HeldNodes* mpHeld;
};

PyTypeObject* gIteratorType = nullptr;

void IteratorDealloc(PyObject* self) {
  PyTypeObject* const type = Py_TYPE(self);
  delete reinterpret_cast<IteratorObject*>(self)->mpHeld;
  type->tp_free(self);
  Py_DECREF(type);
}

// An iterator made by the class itself (where the interpreter cannot be told
// to refuse that) holds nothing and is over.
PyObject* IteratorNext(PyObject* self) {
  HeldNodes* const held = reinterpret_cast<IteratorObject*>(self)->mpHeld;
  return held != nullptr ? held->Next() : nullptr;
}

PyObject* IteratorLengthHint(PyObject* self, PyObject* /*unused*/) {
  const HeldNodes* const held = reinterpret_cast<IteratorObject*>(self)->mpHeld;
  return PyLong_FromSize_t(held != nullptr ? held->Left() : 0);
}

PyMethodDef gIteratorMethods[] = {
    {"__length_hint__", &IteratorLengthHint, METH_NOARGS, "The number of nodes still to come."},
    {nullptr, nullptr, 0, nullptr}};

PyType_Slot gIteratorSlots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(&IteratorDealloc)},
    {Py_tp_iter, reinterpret_cast<void*>(&PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void*>(&IteratorNext)},
    {Py_tp_methods, static_cast<void*>(gIteratorMethods)},
    {Py_tp_doc, const_cast<char*>("Iterator over the nodes taken when an iteration started.")},
    {0, nullptr}};

#ifdef Py_TPFLAGS_DISALLOW_INSTANTIATION
constexpr unsigned int kIteratorFlags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION;
#else
constexpr unsigned int kIteratorFlags = Py_TPFLAGS_DEFAULT;
#endif

PyType_Spec gIteratorSpec = {"genattr._genattr._NodeIterator", sizeof(IteratorObject), 0,
                             kIteratorFlags, gIteratorSlots};

// A new iterator over `held`, which it owns from then on.
py::object MakeIterator(std::unique_ptr<HeldNodes> held) {
  PyObject* const self = PyType_GenericAlloc(gIteratorType, 0);
  if (self == nullptr) {
    throw py::error_already_set();
  }
  reinterpret_cast<IteratorObject*>(self)->mpHeld = held.release();
  return py::reinterpret_steal<py::object>(self);
}

} // namespace

void BindNodeIterator(py::module_& module) {
  PyObject* const type = PyType_FromSpec(&gIteratorSpec);
  if (type == nullptr) {
    throw py::error_already_set();
  }
  // Iterators are made without a call to the class, so that none is needed.
  gIteratorType = reinterpret_cast<PyTypeObject*>(type);
  module.add_object("_NodeIterator", type);
}

py::object IterateChildren(const GenAttrBase& node) {
  auto held = std::make_unique<HeldNodes>();
  held->Reserve(node.GetNumberChildren());
  for (GenAttrBase* child : node.GetChildren()) {
    held->Take(child, 0);
  }
  return MakeIterator(std::move(held));
}

py::object IterateDescendants(const GenAttrBase& node) {
  auto held = std::make_unique<HeldNodes>();
  for (const GenAttrDescendant& descendant : node.GetDescendants()) {
    held->Take(descendant.mpNode, descendant.mDepth);
  }
  return MakeIterator(std::move(held));
}

} // namespace genattr_python
