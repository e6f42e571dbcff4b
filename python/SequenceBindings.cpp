// The children of a node as a Python sequence: indexing and slicing,
// extend(), index(), pop(), del, and copies of nodes.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "python/Bindings.h"
#include "python/NodeCast.h"
#include "tree/TreeAccess.h"

namespace genattr_python {

namespace {

using Access = GenAttrTreeAccess;

// Closer than this to either end, a child is reached by walking the chain
// from that end rather than by making an index of every child.
constexpr std::uint32_t kWalkedDistance = 64;

// Whether every change of what `node` sees changes its edit count: true
// unless it shares the chain of another node, where an append through that
// node changes what it sees without counting an edit of it.
bool EditsCounted(const GenAttrBase& node) {
  const GenAttrNodeRecord* const record = Access::Record(node);
  return record == nullptr || record->mpOwner == nullptr;
}

void Note(ChildIndex& index, const GenAttrBase& node) {
  index.mEdits = Access::Edits(node);
  index.mpFirst = Access::FirstLink(node);
  index.mBuilt = true;
}

// The index of `holder` when it shows the node's children as they are now,
// else null.
ChildIndex* CurrentIndex(const NodeHolder& holder) {
  ChildIndex* const index = holder.ExistingIndex();
  const GenAttrBase& node = *holder.Node();
  const bool current = index != nullptr && index->mBuilt && EditsCounted(node) &&
                       index->mEdits == Access::Edits(node) &&
                       index->mpFirst == Access::FirstLink(node);
  return current ? index : nullptr;
}

// The children as they are now: the index of `holder`, made again when it is
// out of date, or, for a node whose edits are not all counted, `scratch`.
const std::vector<GenAttrBase*>& Children(NodeHolder& holder, std::vector<GenAttrBase*>& scratch) {
  if (const ChildIndex* const index = CurrentIndex(holder)) {
    return index->mChildren;
  }
  const GenAttrBase& node = *holder.Node();
  ChildIndex* const index = EditsCounted(node) ? &holder.Index() : nullptr;
  std::vector<GenAttrBase*>& children = index != nullptr ? index->mChildren : scratch;
  if (index != nullptr) {
    index->mBuilt = false;
  }
  children.clear();
  children.reserve(node.GetNumberChildren());
  for (GenAttrBase* child : node.GetChildren()) {
    children.push_back(child);
  }
  if (index != nullptr) {
    Note(*index, node);
  }
  return children;
}

// The child at `at` of the `count` the node of `holder` has, borrowed.
GenAttrBase* ChildAt(NodeHolder& holder, std::uint32_t at, std::uint32_t count) {
  if (const ChildIndex* const index = CurrentIndex(holder)) {
    return index->mChildren[at];
  }
  const GenAttrBase& node = *holder.Node();
  if (std::min(at, count - 1 - at) < kWalkedDistance || !EditsCounted(node)) {
    return node.GetAttrAt(at);
  }
  std::vector<GenAttrBase*> unused;
  return Children(holder, unused)[at];
}

// `key` (an int, or an object with __index__) as a position among `count`
// children, negative ones from the end; IndexError (`message`) outside.
std::uint32_t Position(py::handle key, std::uint32_t count, const char* message) {
  Py_ssize_t at = PyNumber_AsSsize_t(key.ptr(), PyExc_IndexError);
  if (at == -1 && PyErr_Occurred() != nullptr) {
    throw py::error_already_set();
  }
  if (at < 0) {
    at += count;
  }
  if (at < 0 || at >= static_cast<Py_ssize_t>(count)) {
    throw py::index_error(message);
  }
  return static_cast<std::uint32_t>(at);
}

// An edit through `holder` that its index, when current before it, follows
// with `change` (the same edit of the array) instead of being made again.
template <typename Edit, typename Change>
void EditFollowed(NodeHolder& holder, Edit edit, Change change) {
  ChildIndex* const index = CurrentIndex(holder);
  TakeRestOfLoops();
  edit(*holder.Node());
  if (index != nullptr) {
    change(index->mChildren);
    Note(*index, *holder.Node());
  }
}

void RemoveAt(NodeHolder& holder, std::uint32_t at) {
  EditFollowed(
      holder, [at](GenAttrBase& node) { node.RemoveAttrAt(at); },
      [at](std::vector<GenAttrBase*>& children) { children.erase(children.begin() + at); });
}

py::list Slice(NodeHolder& holder, py::handle key) {
  Py_ssize_t start = 0;
  Py_ssize_t stop = 0;
  Py_ssize_t step = 0;
  if (PySlice_Unpack(key.ptr(), &start, &stop, &step) < 0) {
    throw py::error_already_set();
  }
  const Py_ssize_t length =
      PySlice_AdjustIndices(holder.Node()->GetNumberChildren(), &start, &stop, step);
  CountedNodes taken;
  if (length > 0) {
    std::vector<GenAttrBase*> scratch;
    const std::vector<GenAttrBase*>& children = Children(holder, scratch);
    taken.Reserve(static_cast<std::size_t>(length));
    for (Py_ssize_t i = 0, at = start; i < length; ++i, at += step) {
      taken.Add(children[static_cast<std::size_t>(at)]);
    }
  }
  return taken.List();
}

void DeleteSlice(NodeHolder& holder, py::handle key) {
  Py_ssize_t start = 0;
  Py_ssize_t stop = 0;
  Py_ssize_t step = 0;
  if (PySlice_Unpack(key.ptr(), &start, &stop, &step) < 0) {
    throw py::error_already_set();
  }
  GenAttrBase& node = *holder.Node();
  const std::uint32_t count = node.GetNumberChildren();
  const Py_ssize_t length = PySlice_AdjustIndices(count, &start, &stop, step);
  if (length <= 0) {
    return;
  }
  if (length == count) {
    TakeRestOfLoops();
    node.RemoveAllAttr();
    return;
  }
  if (step < 0) {
    start += (length - 1) * step;
    step = -step;
  }
  // A run is removed at its start, over and over, so that each removal
  // walks as little as the first; spaced children from the last one on, so
  // that the positions of those still to go stay as they were.
  for (Py_ssize_t i = length - 1; i >= 0; --i) {
    RemoveAt(holder, static_cast<std::uint32_t>(step == 1 ? start : start + i * step));
  }
}

void DelItem(py::handle self, py::handle key) {
  NodeHolder& holder = HolderOf(self);
  if (PySlice_Check(key.ptr())) {
    DeleteSlice(holder, key);
    return;
  }
  const std::uint32_t count = holder.Node()->GetNumberChildren();
  RemoveAt(holder, Position(key, count, "child index out of range"));
}

py::object Pop(py::handle self, py::handle index) {
  NodeHolder& holder = HolderOf(self);
  const std::uint32_t count = holder.Node()->GetNumberChildren();
  if (count == 0) {
    throw py::index_error("pop from a node without children");
  }
  const std::uint32_t at = Position(index, count, "pop index out of range");
  // The object holds a count first: the child outlives its link.
  py::object child = NodeObject(ChildAt(holder, at, count));
  RemoveAt(holder, at);
  return child;
}

void Extend(py::handle self, py::handle items) {
  HolderOf(self);
  // Every item is checked and counted before the first is linked: a wrong
  // one changes nothing, and the code that produces them never sees a half
  // done extension.
  std::vector<NodeRef<GenAttrBase>> children;
  for (py::handle item : py::iter(items)) {
    if (!py::isinstance<GenAttrBase>(item)) {
      throw py::type_error(std::string("extend() takes nodes, not ") +
                           Py_TYPE(item.ptr())->tp_name);
    }
    children.emplace_back(item.cast<GenAttrBase*>());
  }
  // Taken after the items: producing them may have edited the node.
  NodeHolder& holder = HolderOf(self);
  for (const NodeRef<GenAttrBase>& child : children) {
    EditFollowed(
        holder, [&child](GenAttrBase& node) { node.AddAttr(child.get()); },
        [&child](std::vector<GenAttrBase*>& seen) { seen.push_back(child.get()); });
  }
}

// A start or stop argument of index() as a position among `count`, clipped
// as list.index() clips it.
Py_ssize_t Clipped(py::handle bound, std::uint32_t count) {
  Py_ssize_t at = PyNumber_AsSsize_t(bound.ptr(), nullptr);
  if (at == -1 && PyErr_Occurred() != nullptr) {
    throw py::error_already_set();
  }
  if (at < 0) {
    at = std::max<Py_ssize_t>(at + count, 0);
  }
  return std::min<Py_ssize_t>(at, count);
}

Py_ssize_t Index(py::handle self, py::handle child, py::handle start, py::handle stop) {
  NodeHolder& holder = HolderOf(self);
  const std::uint32_t count = holder.Node()->GetNumberChildren();
  const Py_ssize_t from = Clipped(start, count);
  const Py_ssize_t to = Clipped(stop, count);
  if (py::isinstance<GenAttrBase>(child)) {
    const auto* const wanted = child.cast<GenAttrBase*>();
    Py_ssize_t at = 0;
    for (GenAttrBase* seen : holder.Node()->GetChildren()) {
      if (at >= to) {
        break;
      }
      if (at >= from && seen == wanted) {
        return at;
      }
      ++at;
    }
  }
  throw py::value_error("index(): the node is not a child of this node");
}

} // namespace

namespace {

// Sets the Python error of the exception being handled, as pybind11 does for
// a bound call.
void SetPythonError() noexcept {
  try {
    throw;
  } catch (py::error_already_set& error) {
    error.restore();
  } catch (const py::builtin_exception& error) {
    error.set_error();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "unknown C++ error");
  }
}

Py_ssize_t LengthSlot(PyObject* self) noexcept {
  try {
    return static_cast<Py_ssize_t>(HolderOf(self).Node()->GetNumberChildren());
  } catch (...) {
    SetPythonError();
    return -1;
  }
}

PyObject* SubscriptSlot(PyObject* self, PyObject* key) noexcept {
  try {
    return GetNodeItem(self, key).release().ptr();
  } catch (...) {
    SetPythonError();
    return nullptr;
  }
}

} // namespace

bool IsSequenceKey(py::handle key) {
  return PyIndex_Check(key.ptr()) != 0 || PySlice_Check(key.ptr());
}

py::object SequenceItem(py::handle self, py::handle key) {
  NodeHolder& holder = HolderOf(self);
  if (PySlice_Check(key.ptr())) {
    return Slice(holder, key);
  }
  const std::uint32_t count = holder.Node()->GetNumberChildren();
  const std::uint32_t at = Position(key, count, "child index out of range");
  return NodeObject(ChildAt(holder, at, count));
}

void FastSequenceSlots() {
  // The methods __len__ and __getitem__ stay as bound (their signatures and
  // documentation); the interpreter's len() and [] call the slots, which
  // Python subclasses made later take over unless they define their own.
  for (const std::type_info* type :
       {&typeid(GenAttrBase), &typeid(GenAttrCont), &typeid(GenAttrString),
        &typeid(GenAttrUnicodeString), &typeid(GenAttrInt), &typeid(GenAttrFloat),
        &typeid(GenAttrDouble), &typeid(GenAttrPtr)}) {
    PyTypeObject* const cls = py::detail::get_type_info(*type)->type;
    cls->tp_as_sequence->sq_length = &LengthSlot;
    cls->tp_as_mapping->mp_length = &LengthSlot;
    cls->tp_as_mapping->mp_subscript = &SubscriptSlot;
  }
}

void BindSequence(BaseClass& base) {
  base.def("__delitem__", &DelItem, py::arg("key"),
           "del node[i] unlinks the i-th child, negative from the end (IndexError);\n"
           "del node[i:j:k] every child of the slice. An unlinked child lives on while\n"
           "anything else, a Python object included, holds it.")
      .def("pop", &Pop, py::arg("index") = -1,
           "Unlinks the child at `index` (the last by default) and returns it; IndexError\n"
           "for a node without children or an index out of range.")
      .def("extend", &Extend, py::arg("children"),
           "Appends every node of the iterable `children` in order; TypeError, and nothing\n"
           "appended, when one of them is not a node.")
      .def("index", &Index, py::arg("child"), py::arg("start") = 0,
           py::arg("stop") = PY_SSIZE_T_MAX,
           "The position of the first link to `child` from `start` up to `stop`, which\n"
           "count as in list.index(); ValueError when there is none there.");
}

} // namespace genattr_python
