// copy.copy() and copy.deepcopy() of nodes.
//
// A deep copy is the library's: the copy constructor of the node's class
// copies the whole subtree, a new node for every link (a child linked twice
// is copied twice), a reference as an ordinary node with copies of what it
// sees, a loop cut where it closes, no Cont id. A shallow copy is a new node
// of the same class, name, description and value (and no id either) whose
// links lead to the very children of the original, as copy.copy() of a list
// gives a new list of the same items: the library lets a node be the child of
// several parents.
#include "python/Bindings.h"
#include "python/NodeCast.h"
#include "tree/TreeAccess.h"

namespace genattr_python {

namespace {

using Access = GenAttrTreeAccess;

GenAttrBase* DeepCopy(const GenAttrBase& node) {
  switch (Access::Type(node)) {
  case String:
    return new GenAttrString(&static_cast<const GenAttrString&>(node));
  case Float:
    return new GenAttrFloat(&static_cast<const GenAttrFloat&>(node));
  case Double:
    return new GenAttrDouble(&static_cast<const GenAttrDouble&>(node));
  case Int:
    return new GenAttrInt(&static_cast<const GenAttrInt&>(node));
  case Cont:
    return new GenAttrCont(&static_cast<const GenAttrCont&>(node));
  case UnicodeString:
    return new GenAttrUnicodeString(&static_cast<const GenAttrUnicodeString&>(node));
  case Ptr:
    return new GenAttrPtr(&static_cast<const GenAttrPtr&>(node));
  default:
    return new GenAttrBase(&node);
  }
}

// A copy of `node` alone, without children.
GenAttrBase* CopyAlone(const GenAttrBase& node) {
  const char* const name = node.GetName();
  const char* const description = node.GetDescription();
  switch (Access::Type(node)) {
  case String: {
    const auto& from = static_cast<const GenAttrString&>(node);
    auto* const copy = new GenAttrString(name, description, from.GetValue());
    Access::UtfFlag(*copy) = from.isUtfEncoded();
    return copy;
  }
  case Float:
    return new GenAttrFloat(name, description, static_cast<const GenAttrFloat&>(node).GetValue());
  case Double:
    return new GenAttrDouble(name, description, static_cast<const GenAttrDouble&>(node).GetValue());
  case Int:
    return new GenAttrInt(name, description, static_cast<const GenAttrInt&>(node).GetValue());
  case Cont:
    return new GenAttrCont(name, description);
  case UnicodeString: {
    const auto& from = static_cast<const GenAttrUnicodeString&>(node);
    auto* const copy = new GenAttrUnicodeString(name, description, from.GetValue());
    Access::UtfFlag(*copy) = from.isUtfEncoded();
    return copy;
  }
  case Ptr:
    return new GenAttrPtr(name, description, static_cast<const GenAttrPtr&>(node).GetValue());
  default:
    return new GenAttrBase(name, description);
  }
}

GenAttrBase* ShallowCopy(const GenAttrBase& node) {
  // Counted while the children are linked, so that a failed link releases it.
  const NodeRef<GenAttrBase> copy(CopyAlone(node));
  for (GenAttrBase* child : node.GetChildren()) {
    copy.get()->AddAttr(child);
  }
  copy.get()->AddRef(); // for the caller, who hands it to Python
  return copy.get();
}

// The object of `made`, a new node that comes with one count.
py::object Handed(GenAttrBase* made) {
  PyObject* const object = NodeToPythonTaking(made);
  if (object == nullptr) {
    throw py::error_already_set();
  }
  return py::reinterpret_steal<py::object>(object);
}

} // namespace

void BindCopies(BaseClass& base) {
  base.def(
          "__copy__", [](py::handle self) { return Handed(ShallowCopy(*HolderOf(self).Node())); },
          "copy.copy(node): a new node of the same class, name, description and value (no\n"
          "id) whose children are the very children of this one, linked once more.")
      .def(
          "__deepcopy__",
          [](py::handle self, py::handle /*memo*/) {
            GenAttrBase* const made = DeepCopy(*HolderOf(self).Node());
            made->AddRef();
            return Handed(made);
          },
          py::arg("memo") = py::none(),
          "copy.deepcopy(node): the library's deep copy of this node and its subtree, a\n"
          "new node for every link (a child linked twice is copied twice), references as\n"
          "ordinary nodes with copies of what they see, no Cont id. Only this node is\n"
          "entered in `memo` (by the copy module): an object copied along with it that\n"
          "stands for a node below it gets a copy of its own.");
}

} // namespace genattr_python
