// The extension module genattr._genattr; the package genattr re-exports it.
#include "python/Bindings.h"

PYBIND11_MODULE(_genattr, module) {
  module.doc() = "Attribute trees: typed, named values arranged as a tree.";
  genattr_python::BaseClass base = genattr_python::BindNodes(module);
  genattr_python::BindWalks(module, base);
  genattr_python::BindFiles(module, base);
}
