// The node classes: constructors per type, properties, editing calls.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>

#include "python/Bindings.h"
#include "python/PyText.h"
#include "tree/TreeAccess.h"

namespace genattr_python {

namespace {

constexpr auto kBorrowed = py::return_value_policy::reference;

// String and UnicodeString values set from Python are UTF-8 (or whole code
// points), whatever the locale: their nodes carry the UTF flag. The host's
// switch is not touched.
template <class Node> Node* FlagUtf(Node* node) {
  if constexpr (std::is_same_v<Node, GenAttrString> || std::is_same_v<Node, GenAttrUnicodeString>) {
    GenAttrTreeAccess::UtfFlag(*node) = true;
  }
  return node;
}

[[noreturn]] void ThrowOverflow(const std::string& message) {
  PyErr_SetString(PyExc_OverflowError, message.c_str());
  throw py::error_already_set();
}

int IntFromPy(py::handle value) {
  if (!PyLong_Check(value.ptr())) {
    throw py::type_error("an Int value must be an int");
  }
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (number == -1 && PyErr_Occurred() != nullptr) {
    throw py::error_already_set();
  }
  if (overflow != 0 || number < INT_MIN || number > INT_MAX) {
    ThrowOverflow("an Int value must lie in the range of a 32-bit signed integer");
  }
  return static_cast<int>(number);
}

double DoubleFromPy(py::handle value) {
  const double number = PyFloat_AsDouble(value.ptr());
  if (number == -1.0 && PyErr_Occurred() != nullptr) {
    throw py::error_already_set();
  }
  return number;
}

// A double outside the range of float has no float value (converting it would
// be undefined), so it is refused instead of becoming infinity by accident.
float FloatFromPy(py::handle value) {
  const double number = DoubleFromPy(value);
  if (std::isfinite(number) && std::fabs(number) > static_cast<double>(FLT_MAX)) {
    ThrowOverflow("a Float value must lie in the range of a 32-bit float");
  }
  return static_cast<float>(number);
}

void* PointerFromPy(py::handle value) {
  if (value.is_none()) {
    return nullptr;
  }
  if (!PyLong_Check(value.ptr())) {
    throw py::type_error("a Ptr value must be an int or None");
  }
  const unsigned long long address = PyLong_AsUnsignedLongLong(value.ptr());
  if (PyErr_Occurred() != nullptr) {
    throw py::error_already_set();
  }
  if (address > UINTPTR_MAX) {
    ThrowOverflow("a Ptr value must fit a pointer");
  }
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(address));
}

// An optional 8-bit text argument (a description, an id): null for None.
class OptionalText {
public:
  OptionalText(py::handle value, const char* what) : mHas(!value.is_none()) {
    if (mHas) {
      mText = NarrowFromPy(value, what);
    }
  }
  const char* Get() const { return mHas ? mText.c_str() : nullptr; }

private:
  bool mHas;
  std::string mText;
};

// A converted value as the constructors take it.
const char* ConstructorArg(const std::string& text) {
  return text.c_str();
}
const wchar_t* ConstructorArg(const std::wstring& text) {
  return text.c_str();
}
template <typename T> T ConstructorArg(T value) {
  return value;
}

py::object GetValue(const GenAttrBase& node) {
  switch (node.GetType()) {
  case String:
    return PyFromNarrow(static_cast<const GenAttrString&>(node).GetValue());
  case UnicodeString:
    return PyFromWide(static_cast<const GenAttrUnicodeString&>(node).GetValue());
  case Int:
    return py::int_(static_cast<const GenAttrInt&>(node).GetValue());
  case Float:
    return py::float_(static_cast<double>(static_cast<const GenAttrFloat&>(node).GetValue()));
  case Double:
    return py::float_(static_cast<const GenAttrDouble&>(node).GetValue());
  case Ptr:
    return py::int_(
        reinterpret_cast<std::uintptr_t>(static_cast<const GenAttrPtr&>(node).GetValue()));
  default:
    return py::none();
  }
}

void SetValue(GenAttrBase& node, py::handle value) {
  switch (node.GetType()) {
  case String: {
    const std::string text = NarrowFromPy(value, "a String value");
    auto& string = static_cast<GenAttrString&>(node);
    string.SetValue(text.c_str()); // samples the host's switch: the flag is set after
    FlagUtf(&string);
    break;
  }
  case UnicodeString: {
    const std::wstring text = WideFromPy(value, "an UnicodeString value");
    auto& string = static_cast<GenAttrUnicodeString&>(node);
    string.SetValue(text.c_str());
    FlagUtf(&string);
    break;
  }
  case Int:
    static_cast<GenAttrInt&>(node).SetValue(IntFromPy(value));
    break;
  case Float:
    static_cast<GenAttrFloat&>(node).SetValue(FloatFromPy(value));
    break;
  case Double:
    static_cast<GenAttrDouble&>(node).SetValue(DoubleFromPy(value));
    break;
  case Ptr:
    static_cast<GenAttrPtr&>(node).SetValue(PointerFromPy(value));
    break;
  default:
    throw py::attribute_error(std::string("a ") + node.GetTypeAsString() + " node has no value");
  }
}

py::str Repr(const GenAttrBase& node) {
  const py::object value = GetValue(node);
  py::str text =
      py::str("<genattr.{} {!r}").format(node.GetTypeAsString(), PyFromNarrow(node.GetName()));
  if (!value.is_none()) {
    text = py::str("{} value={!r}").format(text, value);
  }
  return py::str("{}>").format(text);
}

// Binds the class of a typed node whose constructor takes a value converted by
// `convert`, as Class(name, value=default, description=None).
template <typename Node, typename Convert>
void BindValued(py::module_& module, const char* name, const char* doc, py::object fallback,
                Convert convert) {
  py::class_<Node, GenAttrBase, NodeRef<Node>>(module, name, doc)
      .def(py::init([convert](py::handle nodeName, py::handle value, py::handle description) {
             const std::string text = NarrowFromPy(nodeName, "name");
             const OptionalText desc(description, "description");
             const auto converted = convert(value);
             return FlagUtf(new Node(text.c_str(), desc.Get(), ConstructorArg(converted)));
           }),
           py::arg("name"), py::arg("value") = fallback, py::arg("description") = py::none(),
           "A new node named `name` holding `value`, with an optional description.");
}

void BindTypeCodes(py::module_& module) {
  py::enum_<GenAttrType>(module, "Type", "The type code of a node; it names the node's class.")
      .value("Base", Base)
      .value("String", String)
      .value("Float", Float)
      .value("Double", Double)
      .value("Int", Int)
      .value("Cont", Cont)
      .value("UnicodeString", UnicodeString)
      .value("Ptr", Ptr);
}

// The class Base with its constructors.
BaseClass BindBase(py::module_& module) {
  BaseClass base(module, "Base",
                 "A node of an attribute tree, without a value; the base of every node class.\n\n"
                 "The Python object holds one count of its node, so the node lives at least as\n"
                 "long as the object, in a tree or not.");
  base.def(py::init([](py::handle name, py::handle description) {
             const std::string text = NarrowFromPy(name, "name");
             const OptionalText desc(description, "description");
             return new GenAttrBase(text.c_str(), desc.Get());
           }),
           py::arg("name"), py::arg("description") = py::none(),
           "A node of type Base named `name`, with an optional description.")
      .def_static(
          "reference",
          [](py::handle name, GenAttrBase* target) {
            const std::string text = NarrowFromPy(name, "name");
            TakeRestOfLoops();
            return new GenAttrBase(text.c_str(), target);
          },
          py::arg("name"), py::arg("target").none(false), kBorrowed,
          "A Base node named `name` that shares the children of `target`: nodes appended\n"
          "through either are seen by both. It copies the description of `target`.");
  return base;
}

// What every node has: name, description, type, value, count, origin.
void BindFields(BaseClass& base) {
  base.def_property(
          "name", [](const GenAttrBase& node) { return PyFromNarrow(node.GetName()); },
          [](GenAttrBase& node, py::handle name) {
            node.SetName(NarrowFromPy(name, "name").c_str());
          },
          "The node's name (str).")
      .def_property(
          "description",
          [](const GenAttrBase& node) -> py::object {
            const char* description = node.GetDescription();
            return description != nullptr ? py::object(PyFromNarrow(description)) : py::none();
          },
          [](GenAttrBase& node, py::handle description) {
            node.SetDescription(OptionalText(description, "description").Get());
          },
          "The description (str), or None when the node has none.")
      .def_property_readonly("type", &GenAttrBase::GetType, "The node's type code (genattr.Type).")
      .def_property("value", &GetValue, &SetValue,
                    "The value: int for Int and Ptr (an address), float for Float and Double,\n"
                    "str for String and UnicodeString; None for Base and Cont, which refuse a\n"
                    "new value with AttributeError.")
      .def_property_readonly("refcount", &GenAttrBase::GetRefCount,
                             "The node's reference count: one per link from a parent, one for\n"
                             "the Python object. For checks and debugging.")
      .def_property_readonly(
          "is_reference", [](const GenAttrBase& node) { return node.IsReference() != 0; },
          "True for a node made by a reference constructor.")
      .def_property_readonly("initial_parent", &GenAttrBase::GetInitialParent, kBorrowed,
                             "The first node this one was appended to while it had none, or None.")
      .def("__repr__", &Repr);
}

// Linking and unlinking children, and their number.
void BindEditing(BaseClass& base) {
  base.def(
          "append",
          [](GenAttrBase& node, GenAttrBase* child) {
            TakeRestOfLoops();
            node.AddAttr(child);
          },
          py::arg("child").none(false),
          "Appends `child` after the last child. A node may be linked more than once.")
      .def(
          "insert",
          [](GenAttrBase& node, GenAttrBase* before, GenAttrBase* child) {
            TakeRestOfLoops();
            if (node.InsertAttr(child, before) == 0) {
              throw py::value_error("insert(): `before` is not a child of this node");
            }
          },
          py::arg("before"), py::arg("child").none(false),
          "Links `child` in front of the first link to `before` (a child of this node), or\n"
          "at the end when `before` is None. ValueError when `before` is not a child.")
      .def(
          "remove",
          [](GenAttrBase& node, GenAttrBase* child) {
            TakeRestOfLoops();
            if (node.RemoveAttr(child) == 0) {
              throw py::value_error("remove(): the node is not a child of this node");
            }
          },
          py::arg("child").none(false),
          "Unlinks the first link to `child`. The child lives on while anything else,\n"
          "a Python object included, holds it. ValueError when it is not a child.")
      .def(
          "clear",
          [](GenAttrBase& node) {
            TakeRestOfLoops();
            node.RemoveAllAttr();
          },
          "Unlinks every child.")
      .def("__len__", &GenAttrBase::GetNumberChildren,
           "The number of children (links); constant time once counted.")
      .def(
          "__bool__", [](const GenAttrBase&) { return true; },
          "Always True: a node without children is still a node.");
}

void BindCont(py::module_& module) {
  py::class_<GenAttrCont, GenAttrBase, NodeRef<GenAttrCont>>(
      module, "Cont", "A container node: no value, an optional id.")
      .def(py::init([](py::handle name, py::handle description) {
             const std::string text = NarrowFromPy(name, "name");
             const OptionalText desc(description, "description");
             return new GenAttrCont(text.c_str(), desc.Get());
           }),
           py::arg("name"), py::arg("description") = py::none(),
           "A container named `name`, with an optional description.")
      .def_static(
          "reference",
          [](py::handle name, GenAttrCont* target) {
            const std::string text = NarrowFromPy(name, "name");
            TakeRestOfLoops();
            return new GenAttrCont(text.c_str(), target);
          },
          py::arg("name"), py::arg("target").none(false), kBorrowed,
          "A container named `name` that shares the children of the container `target`\n"
          "(nodes appended through either are seen by both); it copies the description\n"
          "and the id `target` has now.")
      .def_property(
          "id",
          [](const GenAttrCont& node) -> py::object {
            const char* id = node.GetId();
            return id != nullptr ? py::object(PyFromNarrow(id)) : py::none();
          },
          [](GenAttrCont& node, py::handle id) { node.SetId(OptionalText(id, "id").Get()); },
          "The container's id (str), or None.");
}

void BindValuedClasses(py::module_& module) {
  BindValued<GenAttrString>(module, "String", "A node holding an 8-bit text, UTF-8 from Python.",
                            py::str(""),
                            [](py::handle v) { return NarrowFromPy(v, "a String value"); });
  BindValued<GenAttrUnicodeString>(
      module, "UnicodeString", "A node holding a wide text.", py::str(""),
      [](py::handle v) { return WideFromPy(v, "an UnicodeString value"); });
  module.attr("WString") = module.attr("UnicodeString");
  BindValued<GenAttrInt>(module, "Int", "A node holding a 32-bit signed integer.", py::int_(0),
                         &IntFromPy);
  BindValued<GenAttrFloat>(module, "Float", "A node holding a 32-bit float.", py::float_(0.0),
                           &FloatFromPy);
  BindValued<GenAttrDouble>(module, "Double", "A node holding a 64-bit float.", py::float_(0.0),
                            &DoubleFromPy);
  BindValued<GenAttrPtr>(module, "Ptr",
                         "A node holding an opaque address (an int) that the library never reads.",
                         py::int_(0), &PointerFromPy);
}

} // namespace

BaseClass BindNodes(py::module_& module) {
  BindTypeCodes(module);
  BaseClass base = BindBase(module);
  BindFields(base);
  BindEditing(base);
  BindCont(module);
  BindValuedClasses(module);
  return base;
}

} // namespace genattr_python
