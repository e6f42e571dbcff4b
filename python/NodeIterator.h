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

// Every iterator that still reads the links of its tree as it goes takes
// the nodes it has still to give, each counted: to be called before any edit
// of the links of any node (linking, unlinking, sharing a chain), so that
// the edit ends no node an iterator has still to give, and changes nothing
// it gives. Throws std::bad_alloc, before the edit then.
void TakeRestOfLoops();

} // namespace genattr_python

#endif // GENATTR_PYTHON_NODEITERATOR_H
