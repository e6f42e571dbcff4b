// The extension module genattr._genattr; the package genattr re-exports it.
#include <cstddef>
#include <typeinfo>

#include "genattr/GenAttr.h"
#include "python/Bindings.h"
#include "python/NodeCast.h"

namespace {

namespace py = pybind11;

// pybind11 gives a method called on an object whose __init__ has not run
// (made by cls.__new__(cls), or a subclass touching self before calling
// super().__init__()) fresh memory from the class's allocator, as if a node
// stood there. The node classes get this allocator instead, so that such a
// call raises TypeError and nothing unmade ever reaches the library.
[[noreturn]] void* Unmade(std::size_t) {
  throw py::type_error("the node is not made yet: its __init__ has not run");
}

void RefuseUnmadeNodes() {
  for (const std::type_info* type :
       {&typeid(GenAttrBase), &typeid(GenAttrCont), &typeid(GenAttrString),
        &typeid(GenAttrUnicodeString), &typeid(GenAttrInt), &typeid(GenAttrFloat),
        &typeid(GenAttrDouble), &typeid(GenAttrPtr)}) {
    if (py::detail::type_info* info = py::detail::get_type_info(*type)) {
      info->operator_new = &Unmade;
    }
  }
}

} // namespace

PYBIND11_MODULE(_genattr, module) {
  module.doc() = "Attribute trees: typed, named values arranged as a tree.";
  module.attr("__version__") = GENATTR_VERSION;
  genattr_python::BaseClass base = genattr_python::BindNodes(module);
  genattr_python::RememberNodeClasses();
  genattr_python::BindWalks(module, base);
  genattr_python::BindSequence(base);
  genattr_python::BindCopies(base);
  genattr_python::BindFiles(module, base);
  RefuseUnmadeNodes();
  genattr_python::FastSequenceSlots();
}
