// Reading a tree from Python: iteration, paths, walk(), find(), find_all().
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "python/Bindings.h"
#include "python/NodeCast.h"
#include "python/NodeIterator.h"
#include "python/NodePaths.h"
#include "python/PyStreams.h"
#include "python/PyText.h"

namespace genattr_python {

namespace {

constexpr auto kBorrowed = py::return_value_policy::reference;

// The test of find() and find_all(): a name and a value, each optional.
class Match {
public:
  Match(py::handle name, py::handle value, double tolerance)
      : mHasName(!name.is_none()), mTolerance(tolerance) {
    if (mHasName) {
      mName = NarrowFromPy(name, "name");
    }
    if (value.is_none()) {
      mKind = Kind::Any;
    } else if (PyLong_Check(value.ptr())) {
      mKind = Kind::Integer;
      int overflow = 0;
      mInteger = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
      if (overflow != 0) {
        mKind = Kind::Nothing;
      }
    } else if (PyFloat_Check(value.ptr())) {
      mKind = Kind::Real;
      mReal = PyFloat_AS_DOUBLE(value.ptr());
    } else if (PyUnicode_Check(value.ptr())) {
      mKind = Kind::Text;
      mText = NarrowFromPy(value, "value");
      mWide = WideFromPy(value, "value");
    } else {
      throw py::type_error("value must be None, an int, a float or a str");
    }
    if (!(tolerance >= 0.0)) {
      throw py::value_error("tolerance must not be negative");
    }
  }

  bool operator()(const GenAttrBase& node) const {
    if (mHasName && mName != node.GetName()) {
      return false;
    }
    switch (mKind) {
    case Kind::Any:
      return true;
    case Kind::Nothing:
      return false;
    case Kind::Integer:
      return node.GetType() == Int && static_cast<const GenAttrInt&>(node).GetValue() == mInteger;
    case Kind::Real:
      if (node.GetType() == Double) {
        return Near(static_cast<const GenAttrDouble&>(node).GetValue());
      }
      return node.GetType() == Float &&
             Near(static_cast<double>(static_cast<const GenAttrFloat&>(node).GetValue()));
    case Kind::Text:
      if (node.GetType() == String) {
        return mText == static_cast<const GenAttrString&>(node).GetValue();
      }
      return node.GetType() == UnicodeString &&
             mWide == static_cast<const GenAttrUnicodeString&>(node).GetValue();
    }
    return false;
  }

private:
  enum class Kind { Any, Nothing, Integer, Real, Text };
  bool Near(double number) const { return std::fabs(number - mReal) <= mTolerance; }

  bool mHasName;
  std::string mName;
  Kind mKind = Kind::Any;
  long long mInteger = 0;
  double mReal = 0.0;
  double mTolerance;
  std::string mText;
  std::wstring mWide;
};

// Calls `visit` on the children of `node` (recursive false) or on all its
// descendants in pre-order, until it returns true. No Python code runs
// meanwhile, so the tree cannot change under the walk.
template <typename Visit> void ForEachBelow(const GenAttrBase& node, bool recursive, Visit visit) {
  if (recursive) {
    for (const GenAttrDescendant& descendant : node.GetDescendants()) {
      if (visit(descendant.mpNode)) {
        return;
      }
    }
  } else {
    for (GenAttrBase* child : node.GetChildren()) {
      if (visit(child)) {
        return;
      }
    }
  }
}

GenAttrBase* Find(const GenAttrBase& node, py::handle name, py::handle value, double tolerance,
                  bool recursive) {
  const Match match(name, value, tolerance);
  GenAttrBase* found = nullptr;
  {
    // The walk touches no Python object: other threads run meanwhile.
    const py::gil_scoped_release release;
    ForEachBelow(node, recursive, [&](GenAttrBase* candidate) {
      found = match(*candidate) ? candidate : nullptr;
      return found != nullptr;
    });
  }
  return found;
}

py::list FindAll(const GenAttrBase& node, py::handle name, py::handle value, double tolerance,
                 bool recursive) {
  const Match match(name, value, tolerance);
  std::vector<GenAttrBase*> matches;
  {
    // The walk touches no Python object, nor any count: other threads run
    // meanwhile.
    const py::gil_scoped_release release;
    ForEachBelow(node, recursive, [&](GenAttrBase* candidate) {
      if (match(*candidate)) {
        matches.push_back(candidate);
      }
      return false;
    });
  }
  // Counted before any Python object is made: making one may run the garbage
  // collector, which may end nodes.
  CountedNodes found;
  found.Reserve(matches.size());
  for (GenAttrBase* each : matches) {
    found.Add(each);
  }
  // Appended one by one (no empty place that another thread could see while
  // the GIL is let go).
  py::list result;
  GilBreaks breaks;
  found.ReserveObjects();
  while (found.Left() > 0) {
    const py::object object = py::reinterpret_steal<py::object>(found.Next());
    if (!object || PyList_Append(result.ptr(), object.ptr()) != 0) {
      throw py::error_already_set();
    }
    breaks.Step();
  }
  return result;
}

// The node at the path `key` below `node`, as the command reads paths;
// KeyError when there is none.
GenAttrBase* ChildByPath(GenAttrBase& node, py::handle key) {
  GenAttrBase* found = NodeAtPath(node, key);
  if (found == nullptr) {
    PyErr_SetObject(PyExc_KeyError, key.ptr());
    throw py::error_already_set();
  }
  return found;
}

bool Contains(GenAttrBase& node, py::handle key) {
  if (PyUnicode_Check(key.ptr())) {
    return NodeAtPath(node, key) != nullptr;
  }
  if (!py::isinstance<GenAttrBase>(key)) {
    return false;
  }
  const auto* wanted = key.cast<GenAttrBase*>();
  for (GenAttrBase* child : node.GetChildren()) {
    if (child == wanted) {
      return true;
    }
  }
  return false;
}

} // namespace

py::object GetNodeItem(py::handle self, py::handle key) {
  if (IsSequenceKey(key)) {
    return SequenceItem(self, key);
  }
  return NodeObject(ChildByPath(*HolderOf(self).Node(), key));
}

void BindWalks(py::module_& module, BaseClass& base) {
  BindNodeIterator(module);
  base.def(
          "__iter__", [](const GenAttrBase& node) { return IterateChildren(node); },
          "The children in order, as they are when the iteration starts, whatever the\n"
          "loop edits meanwhile. Never moves the node's cursor.")
      .def(
          "walk", [](const GenAttrBase& node) { return IterateDescendants(node); },
          "(depth, node) for every node below this one in pre-order, depth 1 for the\n"
          "children, as they are when walk() is called, whatever the loop edits meanwhile.\n"
          "Without recursion, so trees of any depth can be walked. A node already on the\n"
          "path (a loop) comes once more, without its children.")
      .def("__getitem__", &GetNodeItem, py::arg("key"),
           "node[\"a/b[2]\"]: the node at the '/'-separated path of child names below this\n"
           "one, as the genattr command reads paths: \"Name[k]\" is the k-th child of that\n"
           "name (KeyError when there is none); node[i]: the i-th child, negative from the end\n"
           "(IndexError); node[i:j:k]: a list of the children of that slice.")
      .def("__contains__", &Contains, py::arg("key"),
           "True when the path (a str) leads to a node, or the node is a child.")
      .def("find", &Find, py::arg("name") = py::none(), py::arg("value") = py::none(),
           py::kw_only(), py::arg("tolerance") = 0.0, py::arg("recursive") = true, kBorrowed,
           "The first node below this one in pre-order (only the children when\n"
           "recursive is False) that matches, or None. `name` matches the name exactly.\n"
           "`value`: an int matches Int nodes of that value, a float Float and Double nodes\n"
           "within `tolerance` of it, a str String and UnicodeString nodes of that text.\n"
           "None matches any node. Other Python threads run while it searches.")
      .def("find_all", &FindAll, py::arg("name") = py::none(), py::arg("value") = py::none(),
           py::kw_only(), py::arg("tolerance") = 0.0, py::arg("recursive") = true,
           "Every node find() would consider a match, in pre-order, as a list.");
}

} // namespace genattr_python
