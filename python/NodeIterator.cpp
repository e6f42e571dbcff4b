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
#include "tree/TreeWalk.h"

namespace genattr_python {

namespace {

// The nodes of one loop: the children of a node, or its descendants in
// pre-order with their depths, as the library's walk (GetDescendants())
// gives them.
//
// While no tree is edited, a loop reads the links as it goes and holds its
// root only: every link holds a count, so no node below the root can end
// unless a chain is edited first. Whatever Python does that may change links
// (an edit of a chain, the end of a node that had links, which may reroute
// the chains references share) calls TakeRestOfLoops() first, and each loop
// that still reads then takes all the nodes still to come, each counted,
// which nothing can end any more: the loop goes on as the tree was when it
// began, whatever its body does. Reading and taking run no Python code.
class LoopNodes {
public:
  // A loop over the children of `root`, or (`depths`) over its descendants.
  LoopNodes(GenAttrBase& root, bool depths);
  ~LoopNodes() { Release(); }
  LoopNodes(const LoopNodes&) = delete;
  LoopNodes& operator=(const LoopNodes&) = delete;

  // Whether it is a walk's, with a depth per node.
  bool HasDepths() const { return mDepths; }
  // The next node, its count handed over to the caller, and its depth (0
  // among children); null at the end, and on failure with a Python error.
  GenAttrBase* Take(std::uint32_t& depth) noexcept;
  // The number of nodes still to come, or -1 when only a walk would tell.
  Py_ssize_t Left() const;
  // The object of `node`, from Take(), as ObjectRun::Next() gives it. No
  // Python code may run between the two: a node read through a link whose
  // count is 2 (that link and the loop's) has no object then, which spares
  // the lookup of one.
  PyObject* Hand(GenAttrBase* node, PyObject* spare, bool& roams) noexcept {
    const Py_ssize_t left = mRun.Judges() ? Left() : 0;
    // Taken nodes are handed out from mNext 1 on; a node read, at 0.
    const bool alone = mNext == 0 && GenAttrTreeAccess::RefCount(*node) == 2;
    return mRun.Next(node, spare, roams, left > 0 ? static_cast<std::size_t>(left) : 0, alone);
  }
  // Gives back the root and the nodes taken and not handed out, as soon as
  // the loop is over.
  void Release() noexcept;

  // The first loop that still reads links (see TakeRestOfLoops()), or null.
  static LoopNodes* FirstReading() { return smpReading; }
  // Takes every node still to come now, each counted: the loop reads no
  // more. Without memory for that, it ends after what it took, and its next
  // step raises MemoryError.
  void TakeRest() noexcept;

private:
  static constexpr std::size_t AHEAD = 8;

  // The next node the links give, not counted; null at the end, where the
  // loop stops reading. Throws when the walk runs out of memory.
  GenAttrBase* Read(std::uint32_t& depth);
  void StartReading() noexcept;
  void StopReading() noexcept;

  GenAttrBase* mpRoot; // counted until Release()
  bool mDepths;
  bool mReading = false;
  // Whether TakeRest() ran out of memory, to be told at the next step.
  bool mFailed = false;
  // Children: the link whose child comes next, one AHEAD links further (null
  // near the end), and how many were read.
  const GenAttrChildLink* mpLink = nullptr;
  const GenAttrChildLink* mpAhead = nullptr;
  std::size_t mRead = 0;
  // Descendants: the walk GetDescendants() makes, its path ending at the
  // node read last.
  std::unique_ptr<genattr::detail::TreeWalk> mpWalk;
  // Nodes taken, each counted; from mNext on still to be handed out, before
  // any node read.
  std::vector<GenAttrBase*> mTaken;
  std::vector<std::uint32_t> mTakenDepths;
  std::size_t mNext = 0;
  ObjectRun mRun;
  // The loops that read, linked both ways.
  LoopNodes* mpPrevReading = nullptr;
  LoopNodes* mpNextReading = nullptr;
  static LoopNodes* smpReading;
};

LoopNodes* LoopNodes::smpReading = nullptr;

LoopNodes::LoopNodes(GenAttrBase& root, bool depths) : mpRoot(&root), mDepths(depths) {
  CountNode(mpRoot);
  try {
    if (mDepths) {
      mpWalk =
          std::make_unique<genattr::detail::TreeWalk>(mpRoot, genattr::detail::TreeWalk::Links);
    } else {
      mpLink = GenAttrTreeAccess::FirstLink(root);
      mpAhead = mpLink;
      for (std::size_t i = 0; i < AHEAD && mpAhead != nullptr; ++i) {
        mpAhead = mpAhead->mpNext;
      }
    }
    StartReading();
  } catch (...) {
    Release();
    throw;
  }
}

void LoopNodes::StartReading() noexcept {
  mReading = true;
  mpNextReading = smpReading;
  if (smpReading != nullptr) {
    smpReading->mpPrevReading = this;
  }
  smpReading = this;
}

void LoopNodes::StopReading() noexcept {
  if (!mReading) {
    return;
  }
  mReading = false;
  (mpPrevReading != nullptr ? mpPrevReading->mpNextReading : smpReading) = mpNextReading;
  if (mpNextReading != nullptr) {
    mpNextReading->mpPrevReading = mpPrevReading;
  }
  mpPrevReading = nullptr;
  mpNextReading = nullptr;
  mpLink = nullptr;
  mpAhead = nullptr;
  mpWalk.reset();
}

GenAttrBase* LoopNodes::Read(std::uint32_t& depth) {
  if (mDepths) {
    // As GetDescendants() steps: a node with children goes on the path
    // unless it is on it already.
    genattr::detail::TreeWalk& walk = *mpWalk;
    while (walk.Depth() > 0) {
      GenAttrBase* const child = walk.NextChild();
      if (child == nullptr) {
        walk.Ascend();
        continue;
      }
      depth = static_cast<std::uint32_t>(walk.Depth());
      if (GenAttrTreeAccess::FirstLink(*child) != nullptr) {
        walk.Descend(child);
      }
      return child;
    }
    StopReading();
    return nullptr;
  }
  const GenAttrChildLink* const link = mpLink;
  if (link == nullptr) {
    StopReading();
    return nullptr;
  }
  mpLink = link->mpNext;
  ++mRead;
  if (mpAhead != nullptr) {
    PrefetchObject(mpAhead->mpAttr);
    mpAhead = mpAhead->mpNext;
  }
  depth = 0;
  return link->mpAttr;
}

void LoopNodes::TakeRest() noexcept {
  try {
    std::uint32_t depth = 0;
    for (;;) {
      // Room first, so that no node is read and then lost.
      if (mTaken.size() == mTaken.capacity()) {
        mTaken.reserve(mTaken.size() * 2 + 16);
      }
      if (mDepths && mTakenDepths.size() == mTakenDepths.capacity()) {
        mTakenDepths.reserve(mTakenDepths.size() * 2 + 16);
      }
      GenAttrBase* const node = Read(depth);
      if (node == nullptr) {
        return;
      }
      CountNode(node);
      mTaken.push_back(node);
      if (mDepths) {
        mTakenDepths.push_back(depth);
      }
    }
  } catch (...) {
    StopReading();
    mFailed = true;
  }
}

GenAttrBase* LoopNodes::Take(std::uint32_t& depth) noexcept {
  if (mNext < mTaken.size()) {
    depth = mDepths ? mTakenDepths[mNext] : 0;
    return mTaken[mNext++];
  }
  if (!mTaken.empty()) {
    mTaken = {};
    mTakenDepths = {};
    mNext = 0;
  }
  if (!mReading) {
    if (std::exchange(mFailed, false)) {
      PyErr_NoMemory();
    }
    return nullptr;
  }
  try {
    GenAttrBase* const node = Read(depth);
    if (node != nullptr) {
      CountNode(node);
    }
    return node;
  } catch (...) {
    StopReading();
    PyErr_NoMemory();
    return nullptr;
  }
}

Py_ssize_t LoopNodes::Left() const {
  const std::size_t taken = mTaken.size() - mNext;
  if (!mReading) {
    return static_cast<Py_ssize_t>(taken);
  }
  if (mDepths) {
    return -1;
  }
  // The children are as they were when the loop began while it reads.
  return static_cast<Py_ssize_t>(taken + mpRoot->GetNumberChildren() - mRead);
}

void LoopNodes::Release() noexcept {
  StopReading();
  // Giving back a count may end a node, which runs no Python code.
  for (std::size_t i = mNext; i < mTaken.size(); ++i) {
    GiveBackNode(mTaken[i]);
  }
  mTaken = {};
  mTakenDepths = {};
  mNext = 0;
  if (mpRoot != nullptr) {
    GiveBackNode(std::exchange(mpRoot, nullptr));
  }
}

struct IteratorObject {
  PyObject ob_base; // what PyObject_HEAD declares
  LoopNodes* mpLoop;
  // The last two objects given out, older first: node objects, or the
  // (depth, node) pairs of a walk. One that nothing else holds any more is
  // filled anew with the next node (as enumerate() and zip() do with their
  // tuple), so that a loop whose variable lets go of each object when it
  // takes the next makes two objects, not one per node: a pair gets new
  // items, a node object a new node (see ObjectRun::Next()).
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
  delete iterator->mpLoop;
  iterator->mpLoop = nullptr;
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
PyObject* NextChild(IteratorObject* iterator, LoopNodes& loop, GenAttrBase* child) noexcept {
  PyObject** const kept = iterator->mpKept;
  const int at = Spare(kept[0]) ? 0 : Spare(kept[1]) ? 1 : -1;
  PyObject* const spare = at >= 0 ? kept[at] : nullptr;
  bool none = false;
  PyObject* const object = loop.Hand(child, spare, at >= 0 ? iterator->mRoams[at] : none);
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

// The pair (depth, node) of `descendant` as a new reference; null with an
// error on failure.
PyObject* NextPair(IteratorObject* iterator, LoopNodes& loop, GenAttrBase* descendant,
                   std::uint32_t depth) noexcept {
  // The node object first: nothing may run Python code between Take() and
  // Hand() (see there), and making a depth of a deep level may.
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
    PyObject* const node = loop.Hand(descendant, oldNode, iterator->mRoams[at]);
    if (node == nullptr) {
      return nullptr;
    }
    PyObject* const number = Depth(depth);
    if (number == nullptr) {
      Py_DECREF(node);
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
  bool roams = false;
  PyObject* const node = loop.Hand(descendant, nullptr, roams);
  if (node == nullptr) {
    return nullptr;
  }
  PyObject* const number = Depth(depth);
  PyObject* const pair = number != nullptr ? PyTuple_New(2) : nullptr;
  if (pair == nullptr) {
    Py_XDECREF(number);
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
  LoopNodes* const loop = iterator->mpLoop;
  if (loop == nullptr) {
    return nullptr;
  }
  std::uint32_t depth = 0;
  GenAttrBase* const node = loop->Take(depth);
  if (node == nullptr) {
    if (PyErr_Occurred() == nullptr) {
      // Nodes and kept objects given back as soon as it is over.
      loop->Release();
      IteratorClear(self);
    }
    return nullptr;
  }
  return loop->HasDepths() ? NextPair(iterator, *loop, node, depth)
                           : NextChild(iterator, *loop, node);
}

// The number of nodes still to come, or NotImplemented (which tells
// operator.length_hint() to use its default) where only a walk would tell.
PyObject* IteratorLengthHint(PyObject* self, PyObject* /*unused*/) {
  const LoopNodes* const loop = reinterpret_cast<IteratorObject*>(self)->mpLoop;
  const Py_ssize_t left = loop != nullptr ? loop->Left() : 0;
  if (left < 0) {
    Py_RETURN_NOTIMPLEMENTED;
  }
  return PyLong_FromSsize_t(left);
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
    {Py_tp_doc, const_cast<char*>("Iterator over the children or the descendants of a node, as "
                                  "they were when it\nstarted.")},
    {0, nullptr}};

#ifdef Py_TPFLAGS_DISALLOW_INSTANTIATION
constexpr unsigned int kIteratorFlags =
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION;
#else
constexpr unsigned int kIteratorFlags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC;
#endif

PyType_Spec gIteratorSpec = {"genattr._genattr._NodeIterator", sizeof(IteratorObject), 0,
                             kIteratorFlags, gIteratorSlots};

// A new iterator over `loop`, which it owns from then on.
py::object MakeIterator(std::unique_ptr<LoopNodes> loop) {
  PyObject* const self = PyType_GenericAlloc(gIteratorType, 0);
  if (self == nullptr) {
    throw py::error_already_set();
  }
  // Tracked by the collector already, with both fields null (zeroed).
  reinterpret_cast<IteratorObject*>(self)->mpLoop = loop.release();
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

// The nodes are never constant objects: they are made with new.
py::object IterateChildren(const GenAttrBase& node) {
  return MakeIterator(std::make_unique<LoopNodes>(const_cast<GenAttrBase&>(node), false));
}

py::object IterateDescendants(const GenAttrBase& node) {
  return MakeIterator(std::make_unique<LoopNodes>(const_cast<GenAttrBase&>(node), true));
}

void TakeRestOfLoops() noexcept {
  while (LoopNodes* const loop = LoopNodes::FirstReading()) {
    loop->TakeRest();
  }
}

} // namespace genattr_python
