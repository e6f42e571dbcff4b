#include "tree/DeepCopy.h"

#include <memory>
#include <vector>

#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "tree/TreeAccess.h"
#include "tree/TreeWalk.h"

namespace genattr {
namespace detail {

namespace {

bool gCopyingSubtree = false;

class CopyingSubtreeScope {
public:
  CopyingSubtreeScope() { gCopyingSubtree = true; }
  ~CopyingSubtreeScope() { gCopyingSubtree = false; }
  CopyingSubtreeScope(const CopyingSubtreeScope&) = delete;
  CopyingSubtreeScope& operator=(const CopyingSubtreeScope&) = delete;
};

// A copy of `source` alone, made by the deep-copy constructor of the class
// its type code names.
GenAttrBase* CopyNode(const GenAttrBase& source) {
  switch (source.GetType()) {
  case String:
    return new GenAttrString(static_cast<const GenAttrString*>(&source));
  case Float:
    return new GenAttrFloat(static_cast<const GenAttrFloat*>(&source));
  case Double:
    return new GenAttrDouble(static_cast<const GenAttrDouble*>(&source));
  case Int:
    return new GenAttrInt(static_cast<const GenAttrInt*>(&source));
  case Cont:
    return new GenAttrCont(static_cast<const GenAttrCont*>(&source));
  case UnicodeString:
    return new GenAttrUnicodeString(static_cast<const GenAttrUnicodeString*>(&source));
  case Ptr:
    return new GenAttrPtr(static_cast<const GenAttrPtr*>(&source));
  case Base:
    break;
  }
  return new GenAttrBase(&source);
}

// Appends a copy of `source` to the chain of `parent` with one count.
GenAttrBase* AppendCopy(GenAttrBase& parent, const GenAttrBase& source) {
  // The link first: if the copy then throws, only the link is to release.
  auto link = std::make_unique<GenAttrChildLink>(GenAttrChildLink{nullptr, nullptr, nullptr});
  GenAttrBase* const copy = CopyNode(source);
  copy->AddRef();
  link->mpAttr = copy;
  GenAttrChildLink*& last = GenAttrTreeAccess::Last(parent);
  link->mpPrev = last;
  if (last != nullptr) {
    last->mpNext = link.get();
  } else {
    GenAttrTreeAccess::First(parent) = link.get();
  }
  last = link.release();
  return copy;
}

} // namespace

bool CopyingSubtree() {
  return gCopyingSubtree;
}

void CopySubtree(GenAttrBase& copy, const GenAttrBase& source) {
  const CopyingSubtreeScope scope;
  // The walk only reads the source; it needs a non-const root for its marks.
  TreeWalk walk(const_cast<GenAttrBase*>(&source), TreeWalk::Links);
  // copies[i] is the copy of the node at depth i of the walk's path.
  std::vector<GenAttrBase*> copies{&copy};
  while (walk.Depth() > 0) {
    const GenAttrBase* const child = walk.NextChild();
    if (child == nullptr) {
      walk.Ascend();
      copies.pop_back();
      continue;
    }
    if (GenAttrTreeAccess::FirstLink(*child) == nullptr) {
      // Nothing below it to copy, and a node without children lies on no
      // path of the walk.
      AppendCopy(*copies.back(), *child);
      continue;
    }
    copies.push_back(AppendCopy(*copies.back(), *child));
    if (!walk.Descend(const_cast<GenAttrBase*>(child))) {
      copies.pop_back();
    }
  }
}

} // namespace detail
} // namespace genattr
