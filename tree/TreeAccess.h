// The library's own access to the private bookkeeping of GenAttrBase. Internal.
#ifndef GENATTR_TREE_TREEACCESS_H
#define GENATTR_TREE_TREEACCESS_H

#include <cstdint>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "tree/NodeRecord.h"

// The friend of GenAttrBase through which the library's internal routines
// (tree walks, deep copy, chain bookkeeping) reach a node's fields.
struct GenAttrTreeAccess {
  static GenAttrChildLink* FirstLink(const GenAttrBase& node) { return node.mpFirst; }
  // GetName(), GetType(), GetDescription() and IsReference() without a call into the library's
  // exported table.
  static const char* Name(const GenAttrBase& node) { return node.mpName; }
  static GenAttrType Type(const GenAttrBase& node) { return node.mType; }
  static const char* Description(const GenAttrBase& node) { return node.mpDescription; }
  static int IsReference(const GenAttrBase& node) { return node.mIsReference; }
  static std::uint32_t Edits(const GenAttrBase& node) { return node.mEdits; }
  static void NoteEdit(GenAttrBase& node) { ++node.mEdits; }

  static GenAttrChildLink*& First(GenAttrBase& node) { return node.mpFirst; }
  static GenAttrChildLink*& Last(GenAttrBase& node) { return node.mpLast; }
  static GenAttrChildLink*& Cursor(GenAttrBase& node) { return node.mpCurrent; }
  // The cursor of a node whose first link was removed while the cursor stood
  // on it: GetNextAttr() then returns the (new) first child. Never written.
  static GenAttrChildLink* BeforeFirst() {
    static GenAttrChildLink sentinel{nullptr, nullptr, nullptr};
    return &sentinel;
  }
  static GenAttrBase*& InitialParent(GenAttrBase& node) { return node.mpInitialParent; }
  static int& RefCount(GenAttrBase& node) { return node.mRefCount; }
  static GenAttrNodeRecord* Record(const GenAttrBase& node) { return node.mpRecord; }
  // The record of `node`, made when it has none.
  static GenAttrNodeRecord& EnsureRecord(GenAttrBase& node) {
    if (node.mpRecord == nullptr) {
      node.mpRecord = new GenAttrNodeRecord();
    }
    return *node.mpRecord;
  }

  // The UTF flags that a deep copy takes from its source.
  static bool& UtfFlag(GenAttrString& node) { return node.mIsUtfEncoded; }
  static bool& UtfFlag(GenAttrUnicodeString& node) { return node.mIsUtfEncoded; }
};

#endif // GENATTR_TREE_TREEACCESS_H
