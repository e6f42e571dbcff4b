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
  // Marks a record in GenAttrBase::mpLastOrRecord (records and links are at
  // least pointer-aligned, so the lowest bit of their address is free).
  static constexpr std::uintptr_t RECORD_TAG = 1;
  // GetNumberChildren() keeps the count of a node without a record from this
  // many children on (see GenAttrNodeRecord).
  static constexpr std::uint32_t KEPT_COUNT_FROM = 32;

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
  static GenAttrChildLink* Last(const GenAttrBase& node) {
    const GenAttrNodeRecord* const record = Record(node);
    return record != nullptr ? record->mpLast : static_cast<GenAttrChildLink*>(node.mpLastOrRecord);
  }
  static void SetLast(GenAttrBase& node, GenAttrChildLink* link) {
    if (GenAttrNodeRecord* const record = Record(node)) {
      record->mpLast = link;
    } else {
      node.mpLastOrRecord = link;
    }
  }
  static GenAttrChildLink*& Cursor(GenAttrBase& node) { return node.mpCurrent; }
  // The cursor of a node whose first link was removed while the cursor stood
  // on it: GetNextAttr() then returns the (new) first child. Never written.
  static GenAttrChildLink* BeforeFirst() {
    static GenAttrChildLink sentinel{nullptr, nullptr, nullptr};
    return &sentinel;
  }
  static GenAttrBase*& InitialParent(GenAttrBase& node) { return node.mpInitialParent; }
  static int& RefCount(GenAttrBase& node) { return node.mRefCount; }
  static GenAttrNodeRecord* Record(const GenAttrBase& node) {
    return (reinterpret_cast<std::uintptr_t>(node.mpLastOrRecord) & RECORD_TAG) != 0
               ? reinterpret_cast<GenAttrNodeRecord*>(static_cast<char*>(node.mpLastOrRecord) -
                                                      RECORD_TAG)
               : nullptr;
  }
  // The record of `node`, made when it has none; the last link moves into it.
  static GenAttrNodeRecord& EnsureRecord(GenAttrBase& node) {
    if (GenAttrNodeRecord* const record = Record(node)) {
      return *record;
    }
    auto* const record = new GenAttrNodeRecord();
    record->mpLast = static_cast<GenAttrChildLink*>(node.mpLastOrRecord);
    node.mpLastOrRecord = reinterpret_cast<char*>(record) + RECORD_TAG;
    return *record;
  }
  // Whether `node` owns no links and has no record: a leaf outside every
  // reference, with nothing to give back at its end.
  static bool Bare(const GenAttrBase& node) {
    return node.mpFirst == nullptr && node.mpLastOrRecord == nullptr;
  }
  // Releases the record of `node`, if it has one (at the node's end).
  static void DropRecord(GenAttrBase& node) {
    GenAttrNodeRecord* const record = Record(node);
    node.mpLastOrRecord = nullptr;
    delete record;
  }

  // The kept child count of `node` (see GenAttrNodeRecord): one more, one
  // fewer, or no longer known.
  static void CountAdded(GenAttrBase& node) {
    if (GenAttrNodeRecord* const record = Record(node)) {
      ++record->mCount;
    }
  }
  static void CountRemoved(GenAttrBase& node) {
    if (GenAttrNodeRecord* const record = Record(node)) {
      --record->mCount;
    }
  }
  static void ForgetCount(GenAttrBase& node) {
    if (GenAttrNodeRecord* const record = Record(node)) {
      record->mCounted = false;
    }
  }

  // The UTF flags that a deep copy takes from its source.
  static bool& UtfFlag(GenAttrString& node) { return node.mIsUtfEncoded; }
  static bool& UtfFlag(GenAttrUnicodeString& node) { return node.mIsUtfEncoded; }
};

#endif // GENATTR_TREE_TREEACCESS_H
