#include "python/NodePaths.h"

#include "cli/NodePath.h"
#include "python/PyText.h"

namespace genattr_python {

GenAttrBase* NodeAtPath(GenAttrBase& start, py::handle path) {
  return genattr::cli::ResolvePath(&start, NarrowFromPy(path, "a path"));
}

} // namespace genattr_python
