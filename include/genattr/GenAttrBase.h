// The attribute node: name, description, type code, child chain, reference count.
#ifndef GENATTR_GENATTRBASE_H
#define GENATTR_GENATTRBASE_H

#include <cstdint>

#include "genattr/Export.h"

class GenAttrBase;
class GenAttrList;
class GenAttrListImpl;
struct GenAttrRefInfo;
struct GenAttrTreeAccess;

// The type code of a node; it names the node's class and never changes.
enum GenAttrType : std::int32_t {
  Base = 0,          // GenAttrBase itself: a node without a value
  String = 1,        // GenAttrString
  Float = 2,         // GenAttrFloat
  Double = 3,        // GenAttrDouble
  Int = 4,           // GenAttrInt
  Cont = 5,          // GenAttrCont
  UnicodeString = 6, // GenAttrUnicodeString
  Ptr = 7            // GenAttrPtr
};

// One parent-to-child link. The parent allocates it when a child is added and
// releases it when the parent is destroyed; the link holds one count of its child.
struct GenAttrChildLink {
  GenAttrBase* mpAttr;
  GenAttrChildLink* mpNext;
  GenAttrChildLink* mpPrev;
};

// A node of an attribute tree.
//
// Ownership: nodes live on the heap and end only through their reference count.
// Every link from a parent holds one count of its child; UnRef() (or Free())
// destroys a node when its count drops to 0 or below, and a node's destruction
// gives back the counts of its links, so Free() on an unlinked root releases the
// whole tree. Texts handed in are copied; texts handed out are borrowed from the
// node and stay valid until the node changes them or is destroyed.
//
// A reference node (made by the reference constructor) shares the child chain of
// the node it refers to; when that node is destroyed first, the reference keeps
// only the links it added in front of the shared chain.
//
// Null arguments never crash: a null name or value is taken as the empty text,
// a null description or id as none, a null child or node is ignored, and
// lookups with a null name find nothing. No operation is thread-safe: use a
// tree from one thread at a time.
class GENATTR_API GenAttrBase {
public:
  // Modes of GetAllAttr(): FLAT tests the direct children only; any other value
  // (RECURSIVE) tests every descendant in pre-order.
  static const int FLAT;
  static const int RECURSIVE;

  // A node of type Base named `name` (copied), without description.
  explicit GenAttrBase(const char* name);
  // A node of type Base with a copy of `name` and of `description`.
  GenAttrBase(const char* name, const char* description);
  // A reference to `referenced`: own copy of `name`, a copy of the referenced
  // node's description, its initial parent, and its child chain, shared. A plain
  // GenAttrBase made this way has type Base whatever the type of `referenced`.
  GenAttrBase(const char* name, GenAttrBase* referenced);
  // A deep copy of `source` and its whole subtree. Each link of the copy holds
  // one count of its child, like a link made by AddAttr(); the copied children
  // have no initial parent. A reference in the source becomes an ordinary node.
  explicit GenAttrBase(const GenAttrBase* source);

  // Copies by value would share owned memory with their source.
  GenAttrBase(const GenAttrBase&) = delete;
  GenAttrBase& operator=(const GenAttrBase&) = delete;

  // Prints a warning when counts are still held (only possible for a direct
  // delete of a plain GenAttrBase), gives back the counts of the links this node
  // owns and releases the shared value buffer (not for a reference).
  virtual ~GenAttrBase();

  // --- name, description, type -------------------------------------------
  const char* GetName() const;
  // The description, or null when the node has none.
  const char* GetDescription() const;
  // Stores a copy of `name`; `name` may point into the current name.
  void SetName(const char* name);
  // Stores a copy of `description`; it may point into the current description.
  void SetDescription(const char* description);
  GenAttrType GetType() const;

  // --- children ------------------------------------------------------------
  // Appends `child` at the end of the chain (amortized constant time), adds one
  // count to it, and makes this node its initial parent if it has none yet.
  // Through a reference that shares a chain, the child is appended to the
  // shared chain and so seen by the referenced node too.
  void AddAttr(GenAttrBase* child);
  // Puts `child` in front of the first child; counts and initial parent as
  // AddAttr(). Through a reference, the new first link is seen only by it.
  void AddAttrAtTop(GenAttrBase* child);
  // Moves this node's single child cursor to the first child and returns it,
  // or null when there are no children.
  GenAttrBase* GetFirstAttr();
  // Moves the cursor on and returns the child under it, or null past the end
  // (and on every further call, until GetFirstAttr() starts again).
  GenAttrBase* GetNextAttr();
  // 1 when the node has at least one child, else 0.
  int HasChildren() const;
  // Number of links in the chain; a child linked twice counts twice.
  std::uint32_t GetNumberChildren() const;
  // 1 for a node made by a reference constructor, else 0.
  int IsReference() const;
  // The first node this node was added to, or null. Cleared when that parent
  // is destroyed while this node lives on.
  GenAttrBase* GetInitialParent() const;

  // --- reference counting --------------------------------------------------
  void AddRef();
  // Subtracts one count; at 0 or below the node deletes itself.
  void UnRef();
  int GetRefCount() const;
  // UnRef() on `node`.
  static void Free(GenAttrBase* node);

  // --- lookup (results are borrowed; no count is added) ---------------------
  // The first direct child named `name`, or null.
  GenAttrBase* GetAttr(const char* name) const;
  // The node reached by the "/"-separated `path` of child names, starting
  // below this node; empty segments name children with empty names.
  GenAttrBase* GetAttrByPath(const char* path) const;
  // The first String node in pre-order below this node with that name and value.
  GenAttrBase* FindStringAttr(const char* name, const char* value) const;
  // The first Int node in pre-order with that name and value.
  GenAttrBase* FindIntegerAttr(const char* name, int value) const;
  // The first Float node with that name and v + tolerance > value and
  // v - tolerance < value, computed in single precision.
  GenAttrBase* FindFloatAttr(const char* name, float value, float tolerance) const;
  // As FindFloatAttr() for Double nodes, in double precision.
  GenAttrBase* FindDoubleAttr(const char* name, double value, double tolerance) const;
  // A new list, owned by the caller (release it with GenAttrList::Free), of the
  // children (mode FLAT) or descendants (other modes) whose name equals `name`
  // and whose GetValueAsString() equals `value`; a null filter matches all.
  GenAttrList* GetAllAttr(const char* name, const char* value, int mode);

  // --- rendering -----------------------------------------------------------
  // The type name ("Base" ... "Ptr", or "<unknown>") in a process-wide buffer,
  // valid until the next call.
  const char* GetTypeAsString() const;
  // The value as text, never null. Numbers and empty texts live in smpBuffer
  // (valid until the next rendering into it or the destruction of any
  // non-reference node); a String's own value is returned as is. A wide value
  // rendered in the locale's encoding lives in the result buffer of
  // GenAttrStringUtils::Instance(), valid until any next text operation of
  // that object; one rendered as UTF-8 (the UTF flag set, or a value the
  // locale cannot represent) lives in a process-wide buffer valid until the
  // next UTF-8 rendering of a wide value.
  const char* GetValueAsString() const;
  // Prints the chain of initial parents, root first, to standard output.
  void DumpPath() const;

protected:
  // Stores the initial parent; prints a warning when there already is one.
  void SetInitialParent(GenAttrBase* parent);
  // Appends the matching descendants of this node to `list` in pre-order.
  void FillAttrList(GenAttrListImpl* list, const char* name, const char* value);

  // The shared value buffer of GetValueAsString(): 128 bytes once allocated,
  // released whenever a non-reference node is destroyed.
  static char* smpBuffer;
  static std::uint64_t smBufferLen;

  char* mpName;
  char* mpDescription;
  GenAttrType mType;

private:
  // Marks this node as lying on the path of a running tree walk.
  mutable std::uint32_t mWalkMark;

protected:
  GenAttrChildLink* mpFirst;
  GenAttrChildLink* mpCurrent;
  GenAttrBase* mpInitialParent;
  int mIsReference;
  int mRefCount;

private:
  friend struct GenAttrTreeAccess;
  // Last link of the chain this node owns (null when it owns none).
  GenAttrChildLink* mpLast;
  // Bookkeeping of a reference node; null for every other node.
  GenAttrRefInfo* mpRefInfo;
};

#endif // GENATTR_GENATTRBASE_H
