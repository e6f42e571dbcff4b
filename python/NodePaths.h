// Paths below a node from Python: node["Part[2]/Mass"] reads a path as the
// command does (cli/NodePath.h), one grammar for both.
#ifndef GENATTR_PYTHON_NODEPATHS_H
#define GENATTR_PYTHON_NODEPATHS_H

#include <pybind11/pybind11.h>

#include "genattr/GenAttrBase.h"

namespace genattr_python {

namespace py = pybind11;

// The node the path `path` (a str) leads to below `start`, borrowed, or null
// when it leads nowhere: child names joined by "/", "Name[k]" the k-th child
// of that name (k from 1), any other segment the first child of its name.
// TypeError for anything but a str, ValueError for a NUL in it.
GenAttrBase* NodeAtPath(GenAttrBase& start, py::handle path);

} // namespace genattr_python

#endif // GENATTR_PYTHON_NODEPATHS_H
