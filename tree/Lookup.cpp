// Lookup by name, path and value below a GenAttrBase.
#include <cstddef>
#include <cstring>
#include <memory>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrString.h"

#include "tree/GenAttrListImpl.h"
#include "tree/TreeWalk.h"

const int GenAttrBase::FLAT = 0;
const int GenAttrBase::RECURSIVE = 1;

namespace {

using genattr::detail::TreeWalk;

using Access = GenAttrTreeAccess;

// Whether `stored`, a terminated name, equals the `length` bytes at `name`,
// which hold no zero byte. A shorter `stored` differs at its terminator, so
// nothing past it is read.
bool NameEquals(const char* stored, const char* name, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (stored[i] != name[i]) {
      return false;
    }
  }
  return stored[length] == '\0';
}

// The first direct child whose name is the `length` bytes at `name`, which
// need not be terminated there; children are read from the links, so the
// node's cursor stays where it is.
GenAttrBase* ChildNamed(const GenAttrBase& node, const char* name, std::size_t length) {
  for (GenAttrChildLink* link = Access::FirstLink(node); link != nullptr; link = link->mpNext) {
    if (NameEquals(Access::Name(*link->mpAttr), name, length)) {
      return link->mpAttr;
    }
  }
  return nullptr;
}

// Offers the descendants of `root` to `stop` in pre-order and returns the
// first one it accepts, or null. A node that is already on the path from the
// root (a loop made by the caller, the root included) is skipped with its
// subtree, so every walk ends and the root is never offered.
template <typename Stop> GenAttrBase* FirstInPreOrder(const GenAttrBase* root, Stop stop) {
  // The walk only reads the nodes; nothing reachable from `root` is changed.
  TreeWalk walk(const_cast<GenAttrBase*>(root), TreeWalk::Links);
  for (;;) {
    GenAttrBase* node = walk.NextChild();
    if (node == nullptr) {
      // The path shrinks only here, so only here can the walk end.
      walk.Ascend();
      if (walk.Depth() == 0) {
        return nullptr;
      }
    } else if (Access::FirstLink(*node) == nullptr) {
      // A node without children lies on no path: only nodes whose children
      // are being visited do. Nothing to descend into.
      if (stop(node)) {
        return node;
      }
    } else if (walk.Descend(node) && stop(node)) {
      return node;
    }
  }
}

// The Find family: type first, then name; the value is left to the caller.
bool IsCandidate(const GenAttrBase& node, GenAttrType type, const char* name) {
  return Access::Type(node) == type && std::strcmp(Access::Name(node), name) == 0;
}

// Runs a Find search; a null name (or a null text value) finds nothing.
template <typename Stop>
GenAttrBase* Find(const GenAttrBase* root, const void* required, Stop stop) {
  return required != nullptr ? FirstInPreOrder(root, stop) : nullptr;
}

// The filter of GetAllAttr(): a null name or value accepts every node. The
// value is rendered only when the name passed.
bool PassesFilter(const GenAttrBase& node, const char* name, const char* value) {
  return (name == nullptr || std::strcmp(Access::Name(node), name) == 0) &&
         (value == nullptr || std::strcmp(node.GetValueAsString(), value) == 0);
}

} // namespace

GenAttrBase* GenAttrBase::GetAttr(const char* name) const {
  return name != nullptr ? ChildNamed(*this, name, std::strlen(name)) : nullptr;
}

GenAttrBase* GenAttrBase::GetAttrByPath(const char* path) const {
  // Each segment is compared where it stands in `path`, so its length is not
  // limited, and the path is read once from start to end.
  if (path == nullptr) {
    return nullptr;
  }
  const GenAttrBase* node = this;
  const char* segment = path;
  for (;;) {
    const char* end = segment;
    while (*end != '\0' && *end != '/') {
      ++end;
    }
    GenAttrBase* child = ChildNamed(*node, segment, static_cast<std::size_t>(end - segment));
    if (child == nullptr || *end == '\0') {
      return child;
    }
    node = child;
    segment = end + 1;
  }
}

GenAttrBase* GenAttrBase::FindStringAttr(const char* name, const char* value) const {
  if (value == nullptr) {
    return nullptr;
  }
  return Find(this, name, [name, value](GenAttrBase* node) {
    return IsCandidate(*node, String, name) &&
           std::strcmp(static_cast<GenAttrString*>(node)->GetValue(), value) == 0;
  });
}

GenAttrBase* GenAttrBase::FindIntegerAttr(const char* name, int value) const {
  return Find(this, name, [name, value](GenAttrBase* node) {
    return IsCandidate(*node, Int, name) && static_cast<GenAttrInt*>(node)->GetValue() == value;
  });
}

GenAttrBase* GenAttrBase::FindFloatAttr(const char* name, float value, float tolerance) const {
  return Find(this, name, [name, value, tolerance](GenAttrBase* node) {
    if (!IsCandidate(*node, Float, name)) {
      return false;
    }
    // Both bounds are rounded to float before the strict comparisons.
    const float stored = static_cast<GenAttrFloat*>(node)->GetValue();
    const float upper = stored + tolerance;
    const float lower = stored - tolerance;
    return upper > value && lower < value;
  });
}

GenAttrBase* GenAttrBase::FindDoubleAttr(const char* name, double value, double tolerance) const {
  return Find(this, name, [name, value, tolerance](GenAttrBase* node) {
    if (!IsCandidate(*node, Double, name)) {
      return false;
    }
    const double stored = static_cast<GenAttrDouble*>(node)->GetValue();
    return stored + tolerance > value && stored - tolerance < value;
  });
}

GenAttrList* GenAttrBase::GetAllAttr(const char* name, const char* value, int mode) {
  auto list = std::make_unique<GenAttrListImpl>();
  if (mode == FLAT) {
    for (GenAttrChildLink* link = mpFirst; link != nullptr; link = link->mpNext) {
      if (PassesFilter(*link->mpAttr, name, value)) {
        list->Append(link->mpAttr);
      }
    }
  } else {
    FillAttrList(list.get(), name, value);
  }
  return list.release();
}

void GenAttrBase::FillAttrList(GenAttrListImpl* list, const char* name, const char* value) {
  if (list == nullptr) {
    return;
  }
  // Collecting everything is common enough (a tree's node list) to have a
  // walk without the filter's tests.
  if (name == nullptr && value == nullptr) {
    FirstInPreOrder(this, [list](GenAttrBase* node) {
      list->Append(node);
      return false;
    });
    return;
  }
  FirstInPreOrder(this, [list, name, value](GenAttrBase* node) {
    if (PassesFilter(*node, name, value)) {
      list->Append(node);
    }
    return false;
  });
}
