// Making node objects without pybind11's lookups per object: the class of a
// node comes from its type code, looked up once per code; the object that
// stands for a node is found in the module's own table (ObjectTable below)
// instead of pybind11's table of instances (an unordered_multimap that
// allocates an entry per object); the memory of objects of the node classes
// themselves is kept for reuse in a short free list.
//
// Every node object is in the table while its holder holds the node, whoever
// made it: NodeToPython() enters the objects it makes, the node classes'
// init_instance (NodeInitInstance(), which pybind11 calls once __init__ has
// set the node, and for any object it makes itself) enters the others, and
// the node classes' deallocation (NodeDealloc()) takes every object out
// before anything else happens to it. pybind11's table holds no node object,
// so pybind11 never deregisters one, and the casts of nodes returned by bound
// functions go through NodeToPython() (the casters in Bindings.h). The one
// exception: an object that an iterator fills anew node after node is on a
// short list instead while the iterator keeps it (see gRoamers).
#include "python/NodeCast.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "tree/TreeAccess.h"

#if PY_VERSION_HEX < 0x030900A4
#define Py_SET_TYPE(object, type) (Py_TYPE(object) = (type))
#endif

namespace genattr_python {

namespace {

namespace detail = py::detail;

// The table's calls on the paths of every node object, inlined whatever the
// compiler's estimate of their size.
#if defined(__GNUC__) || defined(__clang__)
#define GENATTR_PY_HOT inline __attribute__((always_inline))
#else
#define GENATTR_PY_HOT inline
#endif

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
  PyTypeObject* mpType = nullptr;
  PlaceHolder mPlace = nullptr;
  DropHolder mDrop = nullptr;
  // Whether its objects keep the node and holder in the object itself
  // (pybind11's simple layout): one C++ class, a holder of at most two
  // pointers.
  bool mSimple = false;
  // Whether its objects are plain memory of PyObject_Malloc() of the size of
  // pybind11's instance, as PyType_GenericAlloc() makes them and
  // PyObject_Free() releases them: then objects are made and ended here,
  // through the free list.
  bool mPlain = false;
};

// Indexed by type code; a code out of range is a Base node's, as in the
// polymorphic type hook.
NodeClass gNodeClasses[Ptr + 1];
// Whether every node class is plain (see mPlain): objects may then move from
// class to class.
bool gAllPlain = false;

// pybind11's deallocation of objects, for those the short one below leaves
// to it.
destructor gPybindDealloc = nullptr;

const NodeClass& ClassOf(const GenAttrBase& node) {
  const GenAttrType code = GenAttrTreeAccess::Type(node);
  return gNodeClasses[code >= Base && code <= Ptr ? code : Base];
}

// The object that stands for each node that has one: an open-addressing hash
// table with linear probing, keyed by the node's address. The hash keeps
// nearby nodes in nearby entries, in order (the library allocates the nodes
// of a tree close together), so that making and ending the objects of many
// children in order walks the table in order too; the bits above the table's
// size move each stretch of the table's size to a place of its own, so that
// distant nodes do not pile up on the same entries. At most half full. It
// does not shrink as objects end (a loop that makes and drops a million
// objects would otherwise give back and take again its memory each time), but
// at a full collection of the garbage collector (Shrink()). Used with the GIL
// held only.
class ObjectTable {
public:
  ObjectTable() = default;
  ObjectTable(const ObjectTable&) = delete;
  ObjectTable& operator=(const ObjectTable&) = delete;

  // The entry of `node`: the one that holds it, else the free entry where it
  // is to go (mpNode null), with room made for it first. Valid until the
  // next change of the table; null when no memory is left for the room.
  // Fill a free entry with Fill().
  struct Entry {
    const GenAttrBase* mpNode = nullptr;
    PyObject* mpObject = nullptr;
  };
  GENATTR_PY_HOT Entry* Place(const GenAttrBase* node) noexcept {
    if ((mCount + 1) * 2 > mCapacity && !Grow()) {
      return nullptr;
    }
    for (std::size_t at = Home(node);; at = (at + 1) & mMask) {
      Entry& entry = mpEntries[at];
      if (entry.mpNode == node || entry.mpNode == nullptr) {
        return &entry;
      }
    }
  }
  GENATTR_PY_HOT void Fill(Entry& entry, const GenAttrBase* node, PyObject* object) noexcept {
    if (entry.mpNode == nullptr) {
      ++mCount;
    }
    entry = Entry{node, object};
  }

  // Asks the processor to fetch the entry where `node` is looked up first,
  // ahead of Place().
  GENATTR_PY_HOT void Prefetch(const GenAttrBase* node) const noexcept {
    // A table of a few thousand entries stays in the caches.
    if (mCapacity > CACHED) {
#if defined(__GNUC__) || defined(__clang__)
      __builtin_prefetch(&mpEntries[Home(node)], 1);
#endif
    }
  }

  // The object entered for `node`, or null.
  PyObject* Find(const GenAttrBase* node) const noexcept {
    if (mCount == 0) {
      return nullptr;
    }
    for (std::size_t at = Home(node);; at = (at + 1) & mMask) {
      const Entry& entry = mpEntries[at];
      if (entry.mpNode == node) {
        return entry.mpObject;
      }
      if (entry.mpNode == nullptr) {
        return nullptr;
      }
    }
  }

  // Removes the entry of `node` when it is `object`'s.
  GENATTR_PY_HOT void Forget(const GenAttrBase* node, const PyObject* object) noexcept {
    if (mCount == 0) {
      return;
    }
    std::size_t hole = Home(node);
    for (;; hole = (hole + 1) & mMask) {
      const Entry& entry = mpEntries[hole];
      if (entry.mpNode == node) {
        break;
      }
      if (entry.mpNode == nullptr) {
        return;
      }
    }
    if (mpEntries[hole].mpObject != object) {
      return;
    }
    // Backward shift: each entry after the hole that may sit at it (its home
    // is not between the hole and itself) moves into it, until a free entry.
    for (std::size_t at = (hole + 1) & mMask;; at = (at + 1) & mMask) {
      const Entry& entry = mpEntries[at];
      if (entry.mpNode == nullptr) {
        break;
      }
      if (((at - Home(entry.mpNode)) & mMask) >= ((at - hole) & mMask)) {
        mpEntries[hole] = entry;
        hole = at;
      }
    }
    mpEntries[hole] = Entry{};
    --mCount;
  }

  // Makes room for `count` more entries at once, so that a run of that many
  // new objects does not grow the table step by step, each step moving every
  // entry. Without memory for it, the table stays as it is (and Place()
  // grows it as needed).
  void Reserve(std::size_t count) noexcept {
    std::size_t capacity = mCapacity == 0 ? SMALLEST : mCapacity;
    while ((mCount + count + 1) * 2 > capacity) {
      capacity *= 2;
    }
    if (capacity != mCapacity) {
      Resize(capacity);
    }
  }

  std::size_t Count() const noexcept {
    return mCount;
  }

  // Gives back the memory of a table far larger than its objects need: to a
  // quarter full at most, from a sixty-fourth full or less.
  void Shrink() noexcept {
    if (mCapacity > SMALLEST && mCount * 64 <= mCapacity) {
      std::size_t capacity = SMALLEST;
      while (capacity < mCount * 4) {
        capacity *= 2;
      }
      Resize(capacity); // without memory for it, the table stays as large
    }
  }

private:
  static constexpr std::size_t SMALLEST = 64;
  static constexpr std::size_t CACHED = 4096;

  GENATTR_PY_HOT std::size_t Home(const GenAttrBase* node) const {
    const std::uintptr_t key = reinterpret_cast<std::uintptr_t>(node) >> 4;
    return static_cast<std::size_t>(key + (key >> mBits) * SPREAD) & mMask;
  }
  // Odd, its bits spread (the golden ratio's): stretches far apart land
  // apart.
  static constexpr std::uintptr_t SPREAD = static_cast<std::uintptr_t>(0x9E3779B97F4A7C15ULL);

  // Out of the way of Place(), which is inlined.
  [[gnu::noinline]] bool Grow() noexcept {
    return Resize(mCapacity == 0 ? SMALLEST : mCapacity * 2);
  }

  bool Resize(std::size_t capacity) noexcept {
    Entry* const entries = new (std::nothrow) Entry[capacity];
    if (entries == nullptr) {
      return false;
    }
    Entry* const old = mpEntries;
    const std::size_t oldCapacity = mCapacity;
    mpEntries = entries;
    mCapacity = capacity;
    mMask = capacity - 1;
    mBits = 0;
    while ((std::size_t{1} << mBits) < capacity) {
      ++mBits;
    }
    for (std::size_t i = 0; i < oldCapacity; ++i) {
      if (old[i].mpNode != nullptr) {
        std::size_t at = Home(old[i].mpNode);
        while (mpEntries[at].mpNode != nullptr) {
          at = (at + 1) & mMask;
        }
        mpEntries[at] = old[i];
      }
    }
    delete[] old;
    return true;
  }

  Entry* mpEntries = nullptr;
  std::size_t mCapacity = 0;
  std::size_t mMask = 0;
  unsigned mBits = 0;
  std::size_t mCount = 0;
};

// Initialized before any code runs, and nothing to do at the process's end
// (node objects may end while the interpreter ends, after static objects
// would be): the memory of its entries stays.
ObjectTable gObjects;
static_assert(std::is_trivially_destructible<ObjectTable>::value,
              "the table outlives every node object");

// Objects that iterators fill anew node after node (ObjectRun::Next() with
// a spare) leave the table while their iterator keeps them: they roam, found
// on this short list instead, so that filling one anew changes its holder
// and not the table. An iterator settles each (Settle()) as it lets go of
// it, and the deallocation takes any that ends off the list. A lookup of a
// node the table does not know looks here too; once the list is full,
// spares are filled anew through the table. Used with the GIL held only.
constexpr int kRoamers = 16;
PyObject* gRoamers[kRoamers];
int gRoamerCount = 0;

// The node of a roaming object (of the simple layout, its holder made).
GenAttrBase* RoamerNode(const PyObject* object) noexcept {
  return static_cast<GenAttrBase*>(
      reinterpret_cast<const detail::instance*>(object)->simple_value_holder[0]);
}

// The roaming object of `node`, or null.
GENATTR_PY_HOT PyObject* FindRoamer(const GenAttrBase* node) noexcept {
  for (int i = 0; i < gRoamerCount; ++i) {
    if (RoamerNode(gRoamers[i]) == node) {
      return gRoamers[i];
    }
  }
  return nullptr;
}

// Takes `object` off the list; whether it was on it.
GENATTR_PY_HOT bool StopRoaming(const PyObject* object) noexcept {
  for (int i = 0; i < gRoamerCount; ++i) {
    if (gRoamers[i] == object) {
      gRoamers[i] = gRoamers[--gRoamerCount];
      return true;
    }
  }
  return false;
}

// The memory of ended objects of the node classes themselves, for the next
// ones (as CPython keeps that of tuples and floats). Objects are made and
// ended by the thousand in iteration and walks; most never outlive the loop
// body.
constexpr int kFreeObjects = 64;
void* gFreeObjects[kFreeObjects];
int gFreeCount = 0;

// A new object of the plain class `cls` (see mPlain), zeroed and with its
// count 1, or null with a Python error.
PyObject* AllocatePlain(const NodeClass& cls) noexcept {
  void* memory = nullptr;
  if (gFreeCount > 0) {
    memory = gFreeObjects[--gFreeCount];
  } else {
    memory = PyObject_Malloc(sizeof(detail::instance));
    if (memory == nullptr) {
      PyErr_NoMemory();
      return nullptr;
    }
  }
  std::memset(memory, 0, sizeof(detail::instance));
  // The object's class and count, a reference to the class (a heap type).
  return PyObject_Init(static_cast<PyObject*>(memory), cls.mpType);
}

void FreePlain(PyObject* self) noexcept {
  if (gFreeCount < kFreeObjects) {
    gFreeObjects[gFreeCount++] = self;
  } else {
    PyObject_Free(self);
  }
}

// Takes every node of `inst` out of the table, where `inst` stands for it,
// for an object that pybind11's deallocation ends.
void ForgetObject(detail::instance* inst) noexcept {
  auto* const self = reinterpret_cast<PyObject*>(inst);
  if (inst->simple_layout) {
    if (void* const node = inst->simple_value_holder[0]) {
      gObjects.Forget(static_cast<GenAttrBase*>(node), self);
    }
    return;
  }
  // A Python class made from more than one node class.
  for (detail::value_and_holder& slot : detail::values_and_holders(inst)) {
    if (slot.value_ptr() != nullptr) {
      gObjects.Forget(static_cast<GenAttrBase*>(slot.value_ptr()), self);
    }
  }
}

// The deallocation of the node classes. An object leaves the table first,
// before anything of it ends: weak reference callbacks and finalizers may run
// Python code, which must not find it. An object of one of the node classes
// themselves with the simple layout, nothing kept alive by it and not known
// to pybind11's table then ends here: the holder gives back its count, weak
// references are cleared, the memory goes to the free list. Anything else
// (objects of Python subclasses, whose deallocation comes here after theirs)
// goes on to pybind11's deallocation.
void NodeDealloc(PyObject* self) {
  PyTypeObject* const type = Py_TYPE(self);
  auto* const inst = reinterpret_cast<detail::instance*>(self);
  if (gRoamerCount != 0) {
    StopRoaming(self); // its iterator settles it first, so this is rare
  }
  if (inst->simple_layout && inst->simple_holder_constructed && !inst->simple_instance_registered &&
      !inst->has_patients) {
    auto* const node = static_cast<GenAttrBase*>(inst->simple_value_holder[0]);
    const NodeClass& cls = ClassOf(*node);
    if (cls.mpType == type) {
      gObjects.Forget(node, self);
      detail::value_and_holder slot(inst, cls.mpInfo, 0, 0);
      // Giving back the count may end nodes, which runs no Python code.
      cls.mDrop(slot);
      inst->simple_holder_constructed = false;
      inst->simple_value_holder[0] = nullptr;
      if (inst->weakrefs != nullptr) {
        PyObject_ClearWeakRefs(self);
      }
      if (cls.mPlain) {
        FreePlain(self);
      } else {
        type->tp_free(self);
      }
      Py_DECREF(type);
      return;
    }
  }
  ForgetObject(inst);
  gPybindDealloc(self);
#if PY_VERSION_HEX < 0x03080000
  // Before Python 3.8, pybind11 gives back the count of the class only when
  // its own deallocation is the class's, which it no longer is.
  if (type->tp_dealloc == &NodeDealloc) {
    Py_DECREF(type);
  }
#endif
}

// Enters `object` in the table for `node`, unless an object that lives stands
// for it there. Without memory for the entry, the object is not found later
// (a node object made then is another object), which is all.
void Enter(const GenAttrBase* node, PyObject* object) noexcept {
  ObjectTable::Entry* const entry = gObjects.Place(node);
  if (entry != nullptr && (entry->mpNode == nullptr || Py_REFCNT(entry->mpObject) == 0)) {
    gObjects.Fill(*entry, node, object);
  }
}

// init_instance of the node classes, which pybind11 calls once the node of an
// object is set (after __init__, and for objects it makes of a node itself):
// the holder takes a count of the node (or is copied from `holder`), as in
// pybind11's own, and the object is entered in the table, not in pybind11's.
template <class Node> void NodeInitInstance(detail::instance* inst, const void* holder) {
  detail::value_and_holder slot = inst->get_value_and_holder(detail::get_type_info(typeid(Node)));
  auto* const node = static_cast<Node*>(slot.value_ptr());
  if (!slot.holder_constructed()) {
    void* const storage = &slot.holder<NodeRef<Node>>();
    if (holder != nullptr) {
      new (storage) NodeRef<Node>(*static_cast<const NodeRef<Node>*>(holder));
    } else {
      new (storage) NodeRef<Node>(node);
    }
    slot.set_holder_constructed();
  }
  if (node == nullptr) {
    return;
  }
  // An object that already stands for the node and lives stays the one
  // found; without memory for the entry, the object is not found later (a
  // node object made then is another object), which is all.
  if (gRoamerCount == 0 || FindRoamer(node) == nullptr) {
    Enter(node, reinterpret_cast<PyObject*>(inst));
  }
}

template <class Node> void Remember(GenAttrType code) {
  detail::type_info* const info = detail::get_type_info(typeid(Node));
  PyTypeObject* const type = info->type;
  const bool simple = detail::all_type_info(type).size() == 1 &&
                      info->holder_size_in_ptrs <= detail::instance_simple_holder_in_ptrs();
  const bool plain = simple && type->tp_alloc == &PyType_GenericAlloc &&
                     type->tp_free == &PyObject_Free &&
                     type->tp_basicsize == static_cast<Py_ssize_t>(sizeof(detail::instance)) &&
                     type->tp_itemsize == 0 && !PyType_HasFeature(type, Py_TPFLAGS_HAVE_GC);
  gNodeClasses[code] =
      NodeClass{info, type, &PlaceNodeRef<Node>, &DropNodeRef<Node>, simple, plain};
  info->init_instance = &NodeInitInstance<Node>;
  // Every class has pybind11's one deallocation, which NodeDealloc() calls.
  if (type->tp_dealloc != &NodeDealloc) {
    if (gPybindDealloc != nullptr && gPybindDealloc != type->tp_dealloc) {
      throw std::runtime_error("the node classes have different deallocations");
    }
    gPybindDealloc = type->tp_dealloc;
    type->tp_dealloc = &NodeDealloc;
  }
}

// The node of `spare` when it may stand for a node of class `cls` from now
// on: only its one holder (who offers it) refers to it, it is of one of the
// plain node classes themselves (not of a Python subclass, whose objects
// carry more than their node), of `cls` itself unless every node class is
// plain, has no weak reference, keeps nothing alive and is unknown to
// pybind11's table. Else null.
GENATTR_PY_HOT GenAttrBase* SpareNode(PyObject* spare, const NodeClass& cls) noexcept {
  if (spare == nullptr || Py_REFCNT(spare) != 1 || !cls.mPlain) {
    return nullptr;
  }
  // The deallocation tells the node classes themselves from Python
  // subclasses, whose own deallocation comes first.
  if (Py_TYPE(spare) != cls.mpType && (!gAllPlain || Py_TYPE(spare)->tp_dealloc != &NodeDealloc)) {
    return nullptr;
  }
  auto* const inst = reinterpret_cast<detail::instance*>(spare);
  if (!inst->simple_layout || !inst->simple_holder_constructed ||
      inst->simple_instance_registered || inst->has_patients || inst->weakrefs != nullptr) {
    return nullptr;
  }
  return static_cast<GenAttrBase*>(inst->simple_value_holder[0]);
}

// Makes `spare` (see SpareNode()), whose node is `old`, the object of
// `node` of class `cls`, taking over the count its caller holds on `node`;
// returns `spare` as a new reference. What an object made anew and the end of
// the spare would do, without making and ending one. The table is the
// caller's to update.
GENATTR_PY_HOT PyObject* Reuse(PyObject* spare, GenAttrBase* old, GenAttrBase* node,
                               const NodeClass& cls) noexcept {
  auto* const inst = reinterpret_cast<detail::instance*>(spare);
  // Giving back the count of `old` may end nodes, which runs no Python code
  // and leaves the table as it is; `node` is counted, and lives on.
  if (Py_TYPE(spare) == cls.mpType) {
    // The simple layout: the node, then the holder, a NodeRef of the class,
    // which holds the new node of that class.
    inst->simple_value_holder[0] = node;
    std::launder(reinterpret_cast<NodeHolder*>(&inst->simple_value_holder[1]))->Retarget(node);
  } else {
    detail::value_and_holder slot(inst, cls.mpInfo, 0, 0);
    slot.value_ptr() = node;
    const NodeClass& oldClass = ClassOf(*old);
    oldClass.mDrop(slot);
    // Both plain classes of the same layout.
    Py_INCREF(cls.mpType);
    Py_SET_TYPE(spare, cls.mpType);
    Py_DECREF(oldClass.mpType); // the module holds every class
    cls.mPlace(slot, node, true);
  }
  Py_INCREF(spare);
  return spare;
}

// Gives a freshly allocated object `self` (or null, when allocation failed)
// its holder of `node`, and enters it in the table at `entry`; returns it, or
// null with the Python error set.
PyObject* Dress(PyObject* self, GenAttrBase* node, const NodeClass& cls, bool taken,
                ObjectTable::Entry* entry) noexcept {
  if (self == nullptr) {
    if (taken) {
      GiveBackNode(node);
    }
    return nullptr;
  }
  auto* const inst = reinterpret_cast<detail::instance*>(self);
  if (cls.mSimple) {
    // What allocate_layout() does for these classes, on zeroed memory.
    inst->simple_layout = true;
  } else {
    try {
      inst->allocate_layout();
    } catch (...) {
      // Only its allocation can fail, before any holder.
      Py_DECREF(self);
      if (taken) {
        GiveBackNode(node);
      }
      PyErr_NoMemory();
      return nullptr;
    }
  }
  inst->owned = false;
  detail::value_and_holder slot(inst, cls.mpInfo, 0, 0);
  slot.value_ptr() = node;
  cls.mPlace(slot, node, taken);
  slot.set_holder_constructed();
  // Without memory for the entry, the object is not found later: a node
  // object made then is another object, which is all.
  if (entry != nullptr) {
    gObjects.Fill(*entry, node, self);
  }
  return self;
}

// Whether `object` (which may be null) stands for a node of class `cls`: an
// object ending (its count 0, while a finalizer of a Python subclass runs) is
// not brought back; an object of another class does not stand for it. A new
// object takes its entry then.
GENATTR_PY_HOT bool Stands(const PyObject* object, const NodeClass& cls) noexcept {
  return object != nullptr && Py_REFCNT(object) > 0 &&
         PyObject_TypeCheck(const_cast<PyObject*>(object), cls.mpType);
}

// The object that stands for `node` of class `cls` already as a new
// reference, `found` in the table (null: not there) or roaming; null when
// there is none.
GENATTR_PY_HOT PyObject* Existing(PyObject* found, const GenAttrBase* node,
                                  const NodeClass& cls) noexcept {
  if (!Stands(found, cls)) {
    found = gRoamerCount != 0 ? FindRoamer(node) : nullptr;
    if (!Stands(found, cls)) {
      return nullptr;
    }
  }
  Py_INCREF(found);
  return found;
}

// The object of the entry `entry` (null: none), a free one or one that holds
// a node.
GENATTR_PY_HOT PyObject* EntryObject(const ObjectTable::Entry* entry) noexcept {
  return entry != nullptr && entry->mpNode != nullptr ? entry->mpObject : nullptr;
}

GENATTR_PY_HOT PyObject* Make(GenAttrBase* node, bool taken) noexcept {
  if (node == nullptr) {
    Py_RETURN_NONE;
  }
  const NodeClass& cls = ClassOf(*node);
  // Nothing changes the table from here to Fill(): making the object and its
  // holder runs no Python code.
  ObjectTable::Entry* entry = gObjects.Place(node);
  if (PyObject* const existing = Existing(EntryObject(entry), node, cls)) {
    if (taken) {
      GiveBackNode(node); // the object holds a count: the node lives on
    }
    return existing;
  }
  PyObject* self = nullptr;
  if (cls.mPlain) {
    self = AllocatePlain(cls);
  } else {
    // The class's own allocation, which might start the garbage collector:
    // the entry is looked up again after it.
    self = cls.mpType->tp_alloc(cls.mpType, 0);
    entry = gObjects.Place(node);
    if ((entry != nullptr && entry->mpNode != nullptr && Py_REFCNT(entry->mpObject) > 0) ||
        (gRoamerCount != 0 && FindRoamer(node) != nullptr)) {
      entry = nullptr; // another object took the node meanwhile: it keeps the entry
    }
  }
  return Dress(self, node, cls, taken, entry);
}

// Make(node, true), through `spare` where it may stand for `node` (see
// ObjectRun::Next()); `roams` says whether `spare` roams, and is set when
// it starts to. A spare that roams takes the new node with a lookup of it,
// without a change of the table. Out of line: the steady step of a loop
// takes the short way of ObjectRun::Next().
[[gnu::noinline]] PyObject* MakeTaking(GenAttrBase* node, PyObject* spare, bool& roams) noexcept {
  const NodeClass& cls = ClassOf(*node);
  GenAttrBase* const old = SpareNode(spare, cls);
  if (old == nullptr) {
    return Make(node, true);
  }
  if (roams) {
    if (PyObject* const existing = Existing(gObjects.Find(node), node, cls)) {
      GiveBackNode(node); // the object holds a count: the node lives on
      return existing;    // the spare stays as it is
    }
    return Reuse(spare, old, node, cls);
  }
  ObjectTable::Entry* const entry = gObjects.Place(node);
  if (PyObject* const existing = Existing(EntryObject(entry), node, cls)) {
    GiveBackNode(node);
    return existing;
  }
  if (gRoamerCount < kRoamers) {
    gRoamers[gRoamerCount++] = spare;
    roams = true;
  } else if (entry != nullptr) {
    // The spare's entry for `node` first, then its entry for `old` leaves: a
    // removal keeps every other entry where lookups find it.
    gObjects.Fill(*entry, node, spare);
  }
  gObjects.Forget(old, spare);
  return Reuse(spare, old, node, cls);
}

// The garbage collector's callback (gc.callbacks): after a full collection,
// the table gives back what it no longer needs. A plain C function, as it is
// called at every collection.
PyObject* AfterCollection(PyObject* /*module*/, PyObject* const* args, Py_ssize_t count) {
  if (count == 2 && PyUnicode_Check(args[0]) != 0 &&
      PyUnicode_CompareWithASCIIString(args[0], "stop") == 0 && PyDict_Check(args[1]) != 0) {
    PyObject* const generation = PyDict_GetItemString(args[1], "generation"); // borrowed
    if (generation != nullptr && PyLong_Check(generation) != 0 && PyLong_AsLong(generation) == 2) {
      gObjects.Shrink();
    }
  }
  PyErr_Clear();
  Py_RETURN_NONE;
}

PyMethodDef gAfterCollection = {
    "_after_collection", reinterpret_cast<PyCFunction>(reinterpret_cast<void*>(&AfterCollection)),
    METH_FASTCALL, "Shrinks the table of node objects after a full collection."};

} // namespace

void RememberNodeClasses() {
  Remember<GenAttrBase>(Base);
  Remember<GenAttrString>(String);
  Remember<GenAttrFloat>(Float);
  Remember<GenAttrDouble>(Double);
  Remember<GenAttrInt>(Int);
  Remember<GenAttrCont>(Cont);
  Remember<GenAttrUnicodeString>(UnicodeString);
  Remember<GenAttrPtr>(Ptr);
  gAllPlain = true;
  for (const NodeClass& cls : gNodeClasses) {
    gAllPlain = gAllPlain && cls.mPlain;
  }
  PyObject* const callback = PyCFunction_New(&gAfterCollection, nullptr);
  if (callback == nullptr) {
    throw py::error_already_set();
  }
  py::module_::import("gc")
      .attr("callbacks")
      .attr("append")(py::reinterpret_steal<py::object>(callback));
}

PyObject* NodeToPython(GenAttrBase* node) noexcept {
  return Make(node, false);
}

PyObject* NodeToPythonTaking(GenAttrBase* node) noexcept {
  return Make(node, true);
}

PyObject* ObjectRun::Next(GenAttrBase* node, PyObject* spare, bool& roams, std::size_t left,
                          bool alone) noexcept {
  ++mSteps;
  if (mSteps == 1) {
    mObjectsAtStart = gObjects.Count();
  } else if (mSteps == KEPT_RUN + 1 && left != 0 &&
             gObjects.Count() >= mObjectsAtStart + KEPT_RUN) {
    Reserve(left + 1);
  }
  if (alone && roams) {
    // The steady step of a loop whose variable lets go of each object: the
    // spare, roaming, takes the node, and no other object is looked for.
    const NodeClass& cls = ClassOf(*node);
    if (GenAttrBase* const old = SpareNode(spare, cls)) {
      return Reuse(spare, old, node, cls);
    }
  }
  return MakeTaking(node, spare, roams);
}

void ObjectRun::Reserve(std::size_t left) noexcept {
  if (!mReserved) {
    mReserved = true;
    gObjects.Reserve(left);
  }
}

void PrefetchObject(const GenAttrBase* node) noexcept {
  gObjects.Prefetch(node);
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(node);
#endif
}

PyObject* CountedNodes::Next() noexcept {
  GenAttrBase* const node = mNodes[mNext++];
  if (mNext + AHEAD < mNodes.size()) {
    PrefetchObject(mNodes[mNext + AHEAD]);
  }
  bool roams = false;
  return mRun.Next(node, nullptr, roams, Left(), false);
}

void Settle(PyObject* object) noexcept {
  if (StopRoaming(object)) {
    Enter(RoamerNode(object), object);
  }
}

py::object NodeObject(GenAttrBase* node) {
  PyObject* const object = NodeToPython(node);
  if (object == nullptr) {
    throw py::error_already_set();
  }
  return py::reinterpret_steal<py::object>(object);
}

py::list CountedNodes::List() {
  ReserveObjects();
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
  if (PyObject_TypeCheck(self.ptr(), gNodeClasses[Base].mpType) == 0) {
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
