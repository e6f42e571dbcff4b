// The library's own access to the private bookkeeping of GenAttrBase. Internal.
#ifndef GENATTR_TREE_TREEACCESS_H
#define GENATTR_TREE_TREEACCESS_H

#include <cstdint>

#include "genattr/GenAttrBase.h"

// The friend of GenAttrBase through which the library's internal routines
// (tree walks, deep copy, reference bookkeeping) reach a node's fields.
struct GenAttrTreeAccess {
  static GenAttrChildLink* FirstLink(const GenAttrBase& node) { return node.mpFirst; }
  // GetName() and GetType() without a call into the library's exported table.
  static const char* Name(const GenAttrBase& node) { return node.mpName; }
  static GenAttrType Type(const GenAttrBase& node) { return node.mType; }
  static std::uint32_t& WalkMark(const GenAttrBase& node) { return node.mWalkMark; }

  static GenAttrChildLink*& First(GenAttrBase& node) { return node.mpFirst; }
  static GenAttrChildLink*& Last(GenAttrBase& node) { return node.mpLast; }
  static GenAttrChildLink*& Cursor(GenAttrBase& node) { return node.mpCurrent; }
  static GenAttrBase*& InitialParent(GenAttrBase& node) { return node.mpInitialParent; }
  static GenAttrRefInfo* RefInfo(const GenAttrBase& node) { return node.mpRefInfo; }
};

#endif // GENATTR_TREE_TREEACCESS_H
