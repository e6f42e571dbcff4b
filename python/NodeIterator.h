// The iterator of `for c in node`, list(node) and walk().
#ifndef GENATTR_PYTHON_NODEITERATOR_H
#define GENATTR_PYTHON_NODEITERATOR_H

#include "python/Bindings.h"

namespace genattr_python {

// Makes the iterator's class and adds it to `module` as _NodeIterator.
void BindNodeIterator(py::module_& module);

// An iterator over the children of `node`, as they are now.
py::object IterateChildren(const GenAttrBase& node);
// An iterator of (depth, node) over the descendants of `node` in pre-order,
// as they are now.
py::object IterateDescendants(const GenAttrBase& node);

} // namespace genattr_python

#endif // GENATTR_PYTHON_NODEITERATOR_H
