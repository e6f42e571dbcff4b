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
#include "tree/BlockPool.h"
#include "tree/TreeAccess.h"
#include "tree/TreeWalk.h"

namespace genattr {
namespace detail {

namespace {

using Access = GenAttrTreeAccess;

// A copy of `source` alone, without its subtree: the value constructor of the
// class its type code names, given the source's name, description and value;
// the string classes then take the source's UTF flag. Building copies this
// way keeps the public deep-copy constructors out of the loop below, so they
// need no hint that they are being run for a child.
GenAttrBase* CopyNode(const GenAttrBase& source) {
  const char* const name = Access::Name(source);
  const char* const description = source.GetDescription();
  switch (Access::Type(source)) {
  case String: {
    const auto& from = static_cast<const GenAttrString&>(source);
    auto* copy = new GenAttrString(name, description, from.GetValue());
    Access::UtfFlag(*copy) = from.isUtfEncoded();
    return copy;
  }
  case Float:
    return new GenAttrFloat(name, description, static_cast<const GenAttrFloat&>(source).GetValue());
  case Double:
    return new GenAttrDouble(name, description,
                             static_cast<const GenAttrDouble&>(source).GetValue());
  case Int:
    return new GenAttrInt(name, description, static_cast<const GenAttrInt&>(source).GetValue());
  case Cont:
    return new GenAttrCont(name, description);
  case UnicodeString: {
    const auto& from = static_cast<const GenAttrUnicodeString&>(source);
    auto* copy = new GenAttrUnicodeString(name, description, from.GetValue());
    Access::UtfFlag(*copy) = from.isUtfEncoded();
    return copy;
  }
  case Ptr:
    return new GenAttrPtr(name, description, static_cast<const GenAttrPtr&>(source).GetValue());
  case Base:
    break;
  }
  return new GenAttrBase(name, description);
}

// Appends a copy of `source` to the chain of `parent` with one count.
GenAttrBase* AppendCopy(GenAttrBase& parent, const GenAttrBase& source) {
  // The link first: if the copy then throws, only the link is to release.
  std::unique_ptr<GenAttrChildLink, LinkDeleter> link(NewLink({nullptr, nullptr, nullptr}));
  GenAttrBase* const copy = CopyNode(source);
  copy->AddRef();
  link->mpAttr = copy;
  GenAttrChildLink* const last = GenAttrTreeAccess::Last(parent);
  link->mpPrev = last;
  if (last != nullptr) {
    last->mpNext = link.get();
  } else {
    GenAttrTreeAccess::First(parent) = link.get();
  }
  GenAttrTreeAccess::SetLast(parent, link.release());
  return copy;
}

} // namespace

void CopySubtree(GenAttrBase& copy, const GenAttrBase& source) {
  // The walk only reads the source.
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
