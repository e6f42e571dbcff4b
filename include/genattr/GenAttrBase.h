// The attribute node: name, description, type code, child chain, reference count.
#ifndef GENATTR_GENATTRBASE_H
#define GENATTR_GENATTRBASE_H

#include <cstddef>
#include <cstdint>
#include <new>

#include "genattr/Export.h"
#include "genattr/GenAttrChildLink.h"
#include "genattr/GenAttrRanges.h"
#include "genattr/GenAttrThreadSlot.h"

class GenAttrBase;
class GenAttrList;
class GenAttrListImpl;
struct GenAttrNodeRecord;
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

// A node of an attribute tree.
//
// Ownership: nodes live on the heap and end only through their reference count.
// Every link from a parent holds one count of its child; UnRef() (or Free())
// destroys a node when its count drops to 0 or below, and a node's destruction
// gives back the counts of its links, so Free() on an unlinked root releases the
// whole tree. Texts handed in are copied; texts handed out are borrowed from the
// node and stay valid until the node changes them or is destroyed.
//
// References. A reference node (made by the reference constructor) shares the
// child chain of the node it refers to; a reference made from a sharing
// reference shares the same chain, whose owner is the node that was referred to
// first. What a reference sees is its own front links (put there through it)
// followed by the shared chain from the link that was first when the reference
// was made. A reference made from a node that sees no children and shares
// nothing has a chain of its own, like any node. The editing calls act on
// exactly what a node sees, in whichever chain holds a link:
// - AddAttr() appends to the end of the owner's chain: every sharer sees it.
// - AddAttrAtTop(), and InsertAttr() in front of the first child seen, put a
//   front link of the reference's own: only it (and references made from it
//   afterwards) see the child.
// - InsertAttr() anywhere else puts the link into the chain that holds the link
//   before it, so every node that sees both neighbours sees the new child.
// - RemoveAttr() unlinks the first link to the child that the node sees,
//   whichever chain holds it, so every node that saw that link loses it (the
//   owner too, for a link of the shared chain); RemoveAllAttr() does so for
//   every link the node sees, and leaves the links that only others see.
// A reference keeps sharing when the shared part it sees becomes empty: what is
// appended to the owner later shows through it again. Either may end first:
// - When the owner ends, every reference sharing its chain keeps only its own
//   front links and from then on is a node of its own.
// - When a reference ends while the owner lives, its front links are released;
//   references made from it go on with what it shared, without those links.
//   Children it added to the shared chain stay there, held by the owner, and
//   no longer name it as their initial parent.
//
// Threads: a tree is used by one thread at a time; distinct trees may be used
// by distinct threads at the same time, and a tree may move from one thread to
// another between calls. Nodes shared between two trees (a child linked into
// both, a reference and the node it refers to) make them one tree for this rule.
// The node bookkeeping (references, initial parents, destruction, walks) is kept
// in the nodes and in the call; value rendering uses the buffers named below.
// The one process-wide setting is the UTF transfer switch (GenAttrUtfTransfer.h):
// it is the host's, set before threads start; no code of the library, its
// reader, command or bindings turns it on or off.
//
// Null arguments never crash: a null name or value is taken as the empty text,
// a null description or id as none, a null child or node is ignored, and
// lookups with a null name find nothing.
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
  // owns and releases the calling thread's value buffer (not for a reference).
  virtual ~GenAttrBase();

  // Nodes of every class, a host's own subclasses included, are made with
  // `new` and ended through Free() or UnRef() as always; the memory comes from
  // the library's pool of small blocks, which a node may be returned to from
  // any thread. Placement `new` works as for any class, and `new
  // (std::nothrow)` gives null when no memory is left (a constructor that then
  // throws leaves that node's block allocated: the block's size is not known
  // to the matching placement delete).
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void* node, std::size_t size) noexcept;
  static void operator delete(void*, void*) noexcept {}

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
  // Links `child` in front of the first link to `before` that this node sees
  // (appends as AddAttr() when `before` is null); counts and initial parent as
  // AddAttr(). Returns 1, or 0 (and changes nothing) when `child` is null or
  // `before` is not a child seen here.
  int InsertAttr(GenAttrBase* child, GenAttrBase* before);
  // Unlinks the first link to `child` that this node sees and gives back that
  // link's count, so the child ends unless other holders count it. A child
  // whose initial parent was this node (or the owner of the removed link) and
  // that no other link seen there still reaches gets a null initial parent.
  // Every cursor that stood on the link is left so that the next GetNextAttr()
  // returns the child that followed it: a host may remove while it iterates.
  // Returns 1 when a link was removed, else 0.
  int RemoveAttr(GenAttrBase* child);
  // As RemoveAttr(), for the link at `index` (0 for the first child seen)
  // instead of the first link to a child: of a child linked twice, the second
  // link can be removed. Returns 1 when a link was removed, 0 when `index` is
  // not below GetNumberChildren(). Takes time proportional to the distance
  // from the nearer end of the chain (from its start through a reference that
  // shares a chain).
  int RemoveAttrAt(std::uint32_t index);
  // RemoveAttr() of every child this node sees, in chain order; the cursor ends
  // past the end.
  void RemoveAllAttr();
  // Moves this node's single child cursor to the first child and returns it,
  // or null when there are no children.
  GenAttrBase* GetFirstAttr();
  // Moves the cursor on and returns the child under it, or null past the end
  // (and on every further call, until GetFirstAttr() starts again).
  GenAttrBase* GetNextAttr();
  // 1 when the node has at least one child, else 0.
  int HasChildren() const;
  // Number of links in the chain; a child linked twice counts twice. The
  // first call on a node with many children (or one that takes part in a
  // reference) walks them and keeps the number in the node's bookkeeping,
  // which every later edit keeps up to date, so further calls take constant
  // time; an edit of a chain that references share makes the next call of
  // each node sharing it walk again. The only call here that writes into the
  // node: as for any call, one thread at a time.
  std::uint32_t GetNumberChildren() const;
  // The child at `index` (0 for the first), borrowed, or null when `index` is
  // not below GetNumberChildren(); no cursor moves. Takes time proportional
  // to the distance from the nearer end of the chain (from its start through
  // a reference that shares a chain).
  GenAttrBase* GetAttrAt(std::uint32_t index) const;
  // 1 for a node made by a reference constructor, else 0.
  int IsReference() const;
  // The first node this node was added to, or null. Cleared when that parent
  // is destroyed while this node lives on, or no longer links it.
  GenAttrBase* GetInitialParent() const;

  // --- walking without side effects ------------------------------------------
  // The children this node sees, in chain order, for range-for; each element is
  // a borrowed GenAttrBase*. Reads the links directly: no cursor moves, no count
  // is added, nothing is written. The range and its iterators stay valid until
  // this node is edited or destroyed (see GenAttrChildIterator).
  GenAttrChildRange GetChildren() const;
  // Every node below this one in pre-order (depth first, a node before its
  // children, a child's subtree before its next sibling), each with its depth
  // (1 for the children of this node); this node itself is not included. The
  // walk keeps its path on the heap, so chains of any depth work, and it never
  // descends into a node that is already on its path (a loop made by the
  // caller): that node is listed once more, without its children. The
  // iterator's SkipChildren() leaves out the subtree of the node it is on. No
  // cursor moves and nothing in the tree is written. Editing a node on the walk's
  // path invalidates the walk (a build without NDEBUG stops at the next
  // increment); destroying any node below invalidates it too.
  GenAttrDescendantRange GetDescendants() const;

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
  // The type name ("Base" ... "Ptr", or "<unknown>") in a buffer of the
  // calling thread, valid until the thread's next call or its end.
  const char* GetTypeAsString() const;
  // The value as text, never null. Numbers and empty texts live in the calling
  // thread's smpBuffer (valid until the thread's next rendering into it, or
  // until the thread destroys any non-reference node, or ends); a String's own
  // value is returned as is. A wide value rendered in the locale's encoding
  // lives in the result buffer of the thread's GenAttrStringUtils::Instance(),
  // valid until any next text operation of that object; one rendered as UTF-8
  // (the UTF flag set, or a value the locale cannot represent) lives in a
  // buffer of the thread valid until its next UTF-8 rendering of a wide value.
  // Every such buffer is released when its thread ends.
  const char* GetValueAsString() const;
  // Prints the chain of initial parents, root first, to standard output.
  void DumpPath() const;

protected:
  // Stores the initial parent; prints a warning when there already is one.
  void SetInitialParent(GenAttrBase* parent);
  // Appends the matching descendants of this node to `list` in pre-order.
  void FillAttrList(GenAttrListImpl* list, const char* name, const char* value);

private:
  // The calling thread's value buffer and its length, behind smpBuffer and
  // smBufferLen.
  static char*& ThreadValueBuffer();
  static std::uint64_t& ThreadValueBufferLen();

protected:
  // The value buffer of GetValueAsString(), one per thread: each name stands
  // for the calling thread's own variable (see GenAttrThreadSlot). Null and 0
  // on a new thread; 128 bytes once the thread renders a number; released,
  // with smBufferLen kept, whenever the thread destroys a non-reference node,
  // and for good when the thread ends.
  static GenAttrThreadSlot<char*, &GenAttrBase::ThreadValueBuffer> smpBuffer;
  static GenAttrThreadSlot<std::uint64_t, &GenAttrBase::ThreadValueBufferLen> smBufferLen;

  // The texts a node owns (these two, and the value and id texts of the
  // typed classes) are the library's blocks: a subclass may read them, and
  // changes them only through the Set functions (their length at release
  // tells the block's size).
  char* mpName;
  char* mpDescription;
  GenAttrType mType;

private:
  // Counts the edits of the chain seen here, so that a walk can notice one.
  std::uint32_t mEdits;

protected:
  GenAttrChildLink* mpFirst;
  // The cursor: null before the first GetFirstAttr() and past the end; after
  // RemoveAttr() took the first link from under it, an internal position from
  // which GetNextAttr() returns the first child.
  GenAttrChildLink* mpCurrent;
  GenAttrBase* mpInitialParent;
  int mIsReference;
  int mRefCount;

private:
  friend struct GenAttrTreeAccess;
  // The last link of the chain this node owns (null when it owns none or
  // shares), or, with its lowest bit set, the node's record of references and
  // recorded initial parents, which then holds that link. Most nodes take part
  // in neither and have no record.
  void* mpLastOrRecord;
  // A name this short is kept here, mpName pointing at it, instead of in an
  // array of its own.
  char mShortName[8];
};

#endif // GENATTR_GENATTRBASE_H
