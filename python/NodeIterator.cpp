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

#include "genattr/GenAttrChildLink.h"
#include "python/NodeCast.h"
#include "tree/TreeAccess.h"

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

  // Whether it is a walk's, with a depth per node.
  bool HasDepths() const { return !mDepths.empty(); }
  // The depth of the node Next() gives next. Only while Left() is not 0.
  std::uint32_t NextDepth() const { return mDepths[mNodes.Position()]; }
  // The object of the next node as a new reference; null with an error on
  // failure. Only while Left() is not 0. With `spare`, as
  // CountedNodes::Next(spare, roams).
  PyObject* Next() noexcept { return mNodes.Next(); }
  PyObject* Next(PyObject* spare, bool& roams) noexcept { return mNodes.Next(spare, roams); }
  // Gives back the nodes left and the memory, as soon as the iteration is
  // over.
  void Release() noexcept {
    mNodes.Release();
    mDepths = {};
  }

private:
  CountedNodes mNodes;
  std::vector<std::uint32_t> mDepths;
};

struct IteratorObject {
  PyObject ob_base; // what PyObject_HEAD declares
  HeldNodes* mpHeld;
  // The last two objects given out, older first: node objects, or the
  // (depth, node) pairs of a walk. One that nothing else holds any more is
  // filled anew with the next node (as enumerate() and zip() do with their
  // tuple), so that a loop whose variable lets go of each object when it
  // takes the next makes two objects, not one per node: a pair gets new
  // items, a node object a new node (see CountedNodes::Next()).
  PyObject* mpKept[2];
  // Whether each kept node object (a pair's node object) roams: it is then
  // settled before the iterator lets go of it.
  bool mRoams[2];
};

PyTypeObject* gIteratorType = nullptr;

// The iterator takes part in the garbage collection for the objects it keeps,
// which (of a Python subclass) may refer back to it.
int IteratorTraverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(reinterpret_cast<IteratorObject*>(self)->mpKept[0]);
  Py_VISIT(reinterpret_cast<IteratorObject*>(self)->mpKept[1]);
  return 0;
}

// The node object of `kept`, an object the iterator keeps: a node object, or
// a pair (depth, node).
PyObject* KeptNode(PyObject* kept) {
  return PyTuple_CheckExact(kept) != 0 ? PyTuple_GET_ITEM(kept, 1) : kept;
}

// Settles the kept object at `at` (see Settle()) when it roams.
void SettleKept(IteratorObject* iterator, int at) {
  if (iterator->mRoams[at]) {
    iterator->mRoams[at] = false;
    Settle(KeptNode(iterator->mpKept[at]));
  }
}

int IteratorClear(PyObject* self) {
  auto* const iterator = reinterpret_cast<IteratorObject*>(self);
  // Both settled before either is let go, which may run Python code.
  SettleKept(iterator, 0);
  SettleKept(iterator, 1);
  Py_CLEAR(iterator->mpKept[0]);
  Py_CLEAR(iterator->mpKept[1]);
  return 0;
}

void IteratorDealloc(PyObject* self) {
  PyTypeObject* const type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  auto* const iterator = reinterpret_cast<IteratorObject*>(self);
  delete iterator->mpHeld;
  iterator->mpHeld = nullptr;
  IteratorClear(self);
  type->tp_free(self);
  Py_DECREF(type);
}

// Whether only the iterator holds `object`.
bool Spare(const PyObject* object) {
  return object != nullptr && Py_REFCNT(object) == 1;
}

// Keeps `object` (a new reference of the caller's) as the newest of the two.
// The older one is let go last, as letting go may run Python code (the end of
// an object of a Python subclass), which then finds the iterator in order.
void Keep(IteratorObject* iterator, PyObject* object) {
  SettleKept(iterator, 0);
  PyObject* const older = iterator->mpKept[0];
  iterator->mpKept[0] = iterator->mpKept[1];
  iterator->mRoams[0] = iterator->mRoams[1];
  iterator->mpKept[1] = object;
  iterator->mRoams[1] = false;
  Py_XDECREF(older);
}

// Makes the kept object at 0 the newest, as it is filled anew.
void Renew(IteratorObject* iterator) {
  std::swap(iterator->mpKept[0], iterator->mpKept[1]);
  std::swap(iterator->mRoams[0], iterator->mRoams[1]);
}

// The object of the next child as a new reference; null with an error on
// failure.
PyObject* NextChild(IteratorObject* iterator, HeldNodes& held) noexcept {
  PyObject** const kept = iterator->mpKept;
  const int at = Spare(kept[0]) ? 0 : Spare(kept[1]) ? 1 : -1;
  PyObject* const spare = at >= 0 ? kept[at] : nullptr;
  bool none = false;
  PyObject* const object = held.Next(spare, at >= 0 ? iterator->mRoams[at] : none);
  if (object == nullptr) {
    return nullptr;
  }
  if (object == spare) {
    // Filled anew: now the newest.
    if (at == 0) {
      Renew(iterator);
    }
    return object;
  }
  Py_INCREF(object);
  Keep(iterator, object);
  return object;
}

// The int objects of the first depths, made once.
constexpr std::uint32_t kKeptDepths = 64;
PyObject* gDepths[kKeptDepths];

// `depth` as an int object, a new reference; null with an error on failure.
PyObject* Depth(std::uint32_t depth) noexcept {
  if (depth < kKeptDepths) {
    Py_INCREF(gDepths[depth]);
    return gDepths[depth];
  }
  return PyLong_FromUnsignedLong(depth);
}

// The next (depth, node) as a new reference; null with an error on failure.
PyObject* NextPair(IteratorObject* iterator, HeldNodes& held) noexcept {
  PyObject* const number = Depth(held.NextDepth());
  if (number == nullptr) {
    return nullptr;
  }
#if PY_VERSION_HEX >= 0x03090000
  // Two pairs take turns once there are two: a loop that unpacks each pair
  // holds the node of the last one still, not that of the one before.
  PyObject** const kept = iterator->mpKept;
  const int at = kept[0] == nullptr ? -1 : Spare(kept[0]) ? 0 : Spare(kept[1]) ? 1 : -1;
  if (at >= 0) {
    // Only the iterator holds this pair: it is filled anew, its node object
    // too when only the pair holds that.
    PyObject* const pair = kept[at];
    PyObject* const oldNode = PyTuple_GET_ITEM(pair, 1);
    PyObject* const node = held.Next(oldNode, iterator->mRoams[at]);
    if (node == nullptr) {
      Py_DECREF(number);
      return nullptr;
    }
    if (node != oldNode) {
      SettleKept(iterator, at); // the pair lets go of it below
    }
    Py_INCREF(pair);
    PyObject* const oldDepth = PyTuple_GET_ITEM(pair, 0);
    PyTuple_SET_ITEM(pair, 0, number);
    PyTuple_SET_ITEM(pair, 1, node);
    if (at == 0) {
      Renew(iterator);
    }
    // Let go last (see Keep()); the node object filled anew is the pair's
    // once more.
    Py_DECREF(oldDepth);
    Py_DECREF(oldNode);
    // The collector may have stopped tracking a tuple of untracked items: an
    // item of a class it tracks (a Python subclass) makes it track the tuple
    // again.
    if (PyType_IS_GC(Py_TYPE(node)) != 0 && PyObject_GC_IsTracked(pair) == 0) {
      PyObject_GC_Track(pair);
    }
    return pair;
  }
#endif
  PyObject* const node = held.Next();
  if (node == nullptr) {
    Py_DECREF(number);
    return nullptr;
  }
  PyObject* const pair = PyTuple_New(2);
  if (pair == nullptr) {
    Py_DECREF(number);
    Py_DECREF(node);
    return nullptr;
  }
  PyTuple_SET_ITEM(pair, 0, number);
  PyTuple_SET_ITEM(pair, 1, node);
#if PY_VERSION_HEX >= 0x03090000
  Py_INCREF(pair);
  Keep(iterator, pair);
#endif
  return pair;
}

// The next node object (a tuple (depth, node) for a walk) as a new reference;
// null without an error past the end, with one on failure. An iterator made
// by the class itself (where the interpreter cannot be told to refuse that)
// holds nothing and is over.
PyObject* IteratorNext(PyObject* self) {
  auto* const iterator = reinterpret_cast<IteratorObject*>(self);
  HeldNodes* const held = iterator->mpHeld;
  if (held == nullptr) {
    return nullptr;
  }
  if (held->Left() == 0) {
    // Nodes, memory and kept objects given back as soon as it is over.
    held->Release();
    IteratorClear(self);
    return nullptr;
  }
  return held->HasDepths() ? NextPair(iterator, *held) : NextChild(iterator, *held);
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
    {Py_tp_traverse, reinterpret_cast<void*>(&IteratorTraverse)},
    {Py_tp_clear, reinterpret_cast<void*>(&IteratorClear)},
    {Py_tp_iter, reinterpret_cast<void*>(&PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void*>(&IteratorNext)},
    {Py_tp_methods, static_cast<void*>(gIteratorMethods)},
    {Py_tp_doc, const_cast<char*>("Iterator over the nodes taken when an iteration started.")},
    {0, nullptr}};

#ifdef Py_TPFLAGS_DISALLOW_INSTANTIATION
constexpr unsigned int kIteratorFlags =
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION;
#else
constexpr unsigned int kIteratorFlags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC;
#endif

PyType_Spec gIteratorSpec = {"genattr._genattr._NodeIterator", sizeof(IteratorObject), 0,
                             kIteratorFlags, gIteratorSlots};

// Whether the walk may go on at `node`, met through a link. Taking a node
// counts it, so a node met again through a second link (shared, or linked
// into its own subtree) has at least three counts by then, and the library's
// walk takes over. Below that, one count besides the link is allowed: the
// object of a node that a program keeps.
bool MayTake(GenAttrBase& node) noexcept {
  return GenAttrTreeAccess::RefCount(node) <= 2;
}

// Takes the descendants of `root` in pre-order with their depths, as the
// library's walk (GetDescendants()) gives them, where that walk would never
// look for a node on its path: no node is a reference and every node below
// the root is met through one link only (see genattr::detail::TreeWalk).
// Then each link is followed once, as the walk follows them, without the
// walk's bookkeeping. Returns false, with every count given back, at the first
// node where that is not so: the library's walk takes over.
bool TakePlainDescendants(const GenAttrBase& root, HeldNodes& held) {
  using Access = GenAttrTreeAccess;
  if (Access::IsReference(root) != 0) {
    return false;
  }
  // The link whose child comes next, for each node on the path.
  std::vector<const GenAttrChildLink*> path{Access::FirstLink(root)};
  while (!path.empty()) {
    const GenAttrChildLink* const link = path.back();
    if (link == nullptr) {
      path.pop_back();
      continue;
    }
    path.back() = link->mpNext;
#if defined(__GNUC__) || defined(__clang__)
    // The next sibling, fetched while this child (and its subtree) is taken.
    if (link->mpNext != nullptr) {
      __builtin_prefetch(link->mpNext->mpAttr);
    }
#endif
    GenAttrBase* const child = link->mpAttr;
    if (child == &root || Access::IsReference(*child) != 0 || !MayTake(*child)) {
      held.Release();
      return false;
    }
    held.Take(child, static_cast<std::uint32_t>(path.size()));
    if (const GenAttrChildLink* const first = Access::FirstLink(*child)) {
      path.push_back(first);
    }
  }
  return true;
}

// A new iterator over `held`, which it owns from then on.
py::object MakeIterator(std::unique_ptr<HeldNodes> held) {
  PyObject* const self = PyType_GenericAlloc(gIteratorType, 0);
  if (self == nullptr) {
    throw py::error_already_set();
  }
  // Tracked by the collector already, with both fields null (zeroed).
  reinterpret_cast<IteratorObject*>(self)->mpHeld = held.release();
  return py::reinterpret_steal<py::object>(self);
}

} // namespace

void BindNodeIterator(py::module_& module) {
  for (std::uint32_t depth = 0; depth < kKeptDepths; ++depth) {
    gDepths[depth] = PyLong_FromUnsignedLong(depth); // kept for good
    if (gDepths[depth] == nullptr) {
      throw py::error_already_set();
    }
  }
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
  if (!TakePlainDescendants(node, *held)) {
    for (const GenAttrDescendant& descendant : node.GetDescendants()) {
      held->Take(descendant.mpNode, descendant.mDepth);
    }
  }
  return MakeIterator(std::move(held));
}

} // namespace genattr_python
