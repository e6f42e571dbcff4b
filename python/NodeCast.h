// Python objects for nodes, made without pybind11's lookups per call.
#ifndef GENATTR_PYTHON_NODECAST_H
#define GENATTR_PYTHON_NODECAST_H

#include <cstddef>
#include <vector>

#include "python/Bindings.h"

namespace genattr_python {

// Notes the pybind11 record of the class of every type code; called once the
// node classes are bound, before any node is handed to Python.
void RememberNodeClasses();

// The Python object of `node` as a new reference: the object that stands for
// it already, else a new one of the class its type code names, holding one
// count. None for a null node. Null, with a Python error set, when no memory
// is left. Runs no Python code of the host.
PyObject* NodeToPython(GenAttrBase* node) noexcept;
// As NodeToPython(), for a count the caller holds on `node`: a new object
// takes it over, and it is given back otherwise (also on failure).
PyObject* NodeToPythonTaking(GenAttrBase* node) noexcept;

// NodeToPython() for pybind11 code: throws error_already_set on failure.
py::object NodeObject(GenAttrBase* node);

// A run of nodes handed to Python one after another, as objects: a loop, a
// list. A caller that has kept every object of a first stretch of it (list(),
// a loop that keeps each) keeps the next ones too: room for them is made at
// once. One that keeps a few only (a loop's last objects) leaves the table of
// node objects as it is.
class ObjectRun {
public:
  // The object of `node` as a new reference, the count the caller holds on
  // it handed over; null with an error on failure. A node without an object
  // gets `spare` (which may be null) instead of a new one, when that object
  // may stand for another node: only the caller holds it (its count 1), and
  // nothing else tells it apart (an object of one of the node classes
  // themselves, not of a Python subclass, without weak references). It then
  // gives back the count of its node and is returned as a new reference: the
  // caller holds it twice. `roams` is the caller's note of whether `spare`
  // roams: it may start to as it is filled anew (which is then quicker the
  // next time), and the caller must Settle() it before it lets go of it.
  // `left`: the number of nodes after this one, 0 when not known; only
  // read where Judges(). `alone`: the caller knows that no object stands for
  // `node` (only one link and the caller's count hold it), so none is looked
  // for.
  PyObject* Next(GenAttrBase* node, PyObject* spare, bool& roams, std::size_t left,
                 bool alone) noexcept;
  // Whether the next step judges whether the caller keeps every object, and
  // so reads its `left`.
  bool Judges() const { return mSteps == KEPT_RUN; }
  // Makes room at once for the objects of `left` more nodes (the first call
  // only).
  void Reserve(std::size_t left) noexcept;

private:
  // The steps after which Next() judges whether its caller keeps every
  // object.
  static constexpr std::size_t KEPT_RUN = 1024;

  std::size_t mSteps = 0;
  bool mReserved = false;
  // The number of objects in the table of node objects at the first step.
  std::size_t mObjectsAtStart = 0;
};

// Brings into the cache what making the object of `node` reads: the node,
// and its place in the table of node objects. For a run, some steps ahead.
void PrefetchObject(const GenAttrBase* node) noexcept;

// Nodes counted while they wait to be handed to Python: making an object
// for one, or a list for them, may start the garbage collector, whose
// finalizers may edit the tree and end nodes that nothing counts.
class CountedNodes {
public:
  CountedNodes() = default;
  CountedNodes(const CountedNodes&) = delete;
  CountedNodes& operator=(const CountedNodes&) = delete;
  ~CountedNodes() { Release(); }

  void Reserve(std::size_t count) { mNodes.reserve(count); }
  // Counts `node` and puts it last.
  void Add(GenAttrBase* node) {
    mNodes.push_back(node);
    CountNode(node);
  }
  std::size_t Left() const { return mNodes.size() - mNext; }
  // The object of the next node as a new reference, its count handed over;
  // null with an error on failure. Only while Left() is not 0. Objects are
  // made in order: the node some steps ahead is fetched meanwhile.
  PyObject* Next() noexcept;
  // Makes room at once for an object for each node left, where they are to
  // be kept.
  void ReserveObjects() noexcept { mRun.Reserve(Left()); }
  // The objects of the nodes left, as a list.
  py::list List();
  // Gives back the counts of the nodes left.
  void Release() noexcept;

private:
  static constexpr std::size_t AHEAD = 8;

  std::vector<GenAttrBase*> mNodes;
  std::size_t mNext = 0;
  ObjectRun mRun;
};

// Makes `object`, a roaming spare of ObjectRun::Next(), be found as any
// other node object again: its keeper calls it before it lets go of it, or
// of what holds it.
void Settle(PyObject* object) noexcept;

// The holder of `self`, a node object; TypeError for anything else and for a
// node object whose __init__ has not run.
NodeHolder& HolderOf(py::handle self);

} // namespace genattr_python

#endif // GENATTR_PYTHON_NODECAST_H
