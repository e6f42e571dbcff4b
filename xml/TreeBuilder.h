// Builds an attribute tree from the events of an XML parser. Internal to
// genattr_xml.
#ifndef GENATTR_XML_TREEBUILDER_H
#define GENATTR_XML_TREEBUILDER_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "genattr/GenAttrXMLReader.h"

class GenAttrBase;

namespace genattr {
namespace xml {

// Receives start tags, character data and end tags in document order and
// builds the tree as it goes, without recursion: only the innermost element
// may still lack its node (it becomes a container or a value node once it is
// known whether child elements follow). A failure stops the build; the owner
// then stops the parser. Whatever was built and not handed out is released
// by the destructor, on success and failure alike.
class TreeBuilder {
public:
  TreeBuilder() = default;
  TreeBuilder(const TreeBuilder&) = delete;
  TreeBuilder& operator=(const TreeBuilder&) = delete;
  ~TreeBuilder();

  // Whether elements without ga:type or ga:link keep their attributes (other
  // than desc and value) as "@" children and the text beside their child
  // elements as "#text" children; on unless turned off before the first event.
  void KeepAttributes(bool keep) { mKeepAttributes = keep; }

  // `attributes` as the parser gives them: name, value, name, value, ..., null.
  void Start(const char* element, const char** attributes);
  void Text(const char* text, std::size_t length);
  void End();
  // After the last event of a complete document: makes the references that
  // still wait for their targets. Returns the root, now owned by the caller,
  // or null after a failure.
  GenAttrBase* Finish();

  // Records a failure with its status and message; the first failure wins.
  void Fail(GenAttrReadStatus status, const char* message);
  bool Failed() const { return mStatus != GENATTR_READ_OK; }
  GenAttrReadStatus Status() const { return mStatus; }
  const char* Message() const { return mMessage.c_str(); }

private:
  struct Entry;
  struct PendingRef;

  // How the children of an open element are treated.
  enum class Role : unsigned char {
    Link,      // linked to the element's node
    Reference, // collected by a reference that waits for its target
  };
  struct Frame {
    GenAttrBase* node;      // null while the element has no node yet
    Entry* entry;           // the serial the element defines, if any
    std::uint32_t ref;      // Reference: index of the waiting reference
    std::uint32_t children; // child elements met so far
    Role role;
    bool stampAllowed; // the root, before its first child element
    bool keepsText;    // its runs of text between child elements become children
  };
  // The attributes of the innermost element, kept until its node is made.
  struct Element {
    std::string name;
    std::string text;
    bool textClosed = false;
    bool typed = false;
    bool hasDesc = false, hasValue = false;
    std::string desc, value;
    // The other attributes, kept when the element is untyped: name, value,
    // name, value, ..., each ended by a zero byte.
    std::string attributes;
    std::size_t attributeCount = 0;
    std::string typeName, gaName, gaXName, xdesc, xvalue, bits, id, xid, node, link, ref, own, utf;
    bool hasGaName = false, hasXName = false, hasXDesc = false, hasXValue = false, hasBits = false,
         hasId = false, hasXId = false, hasNode = false, hasLink = false, hasRef = false,
         hasOwn = false, hasUtf = false;
  };
  // A node that a serial names; defined at the element that carries it.
  struct Entry {
    GenAttrBase* node = nullptr;
    std::uint32_t ref = NO_REF; // a waiting reference that will become the node
    bool defined = false;
    bool open = false;                  // its element has not ended: a link to it makes a cycle
    bool complete = false;              // its element ended
    std::vector<std::uint32_t> waiting; // references to make when it completes
  };
  // A child waiting to be linked behind a reference that is not made yet.
  struct Queued {
    GenAttrBase* node; // held; null for a waiting reference
    std::uint32_t ref;
  };
  // A reference whose target was not complete when its element began.
  struct PendingRef {
    GenAttrBase* made = nullptr;
    bool isCont = true;
    bool closed = false; // its element ended
    std::string name, desc, id;
    bool hasDesc = false, hasId = false;
    std::uint64_t target = 0;
    std::uint32_t own = 0;
    Entry* entry = nullptr;            // its own serial, if it has one
    std::vector<GenAttrBase*> front;   // its own links in front, held
    std::vector<Queued> shared;        // the shared children met under it, held
    std::vector<GenAttrBase*> parents; // parents whose queue holds it
    bool isRoot = false;
    // Linked below one of its own shared children. Sharing, it is no cycle:
    // those children are its target's; without a target they would be its own.
    bool linkedInside = false;
  };
  static constexpr std::uint32_t NO_REF = 0xFFFFFFFFu;

  void ReadAttributes(const char* element, const char** attributes);
  // Makes the node of the innermost element, which has `children` or not.
  void Materialize(bool children);
  GenAttrBase* MakeTyped();
  GenAttrBase* MakeUntyped(bool children);
  // Gives the new node of the untyped innermost element its "@" children and,
  // when it has `children`, the runs of text met before its first one.
  void AddMarkup(GenAttrBase* node, bool children);
  // Ends the run of text of the innermost element, which has its node: a run
  // that is not all white space becomes its next child.
  void EndRun();
  // Ends the run of text of the root before a time stamp, while it is not
  // known whether the root has child elements.
  void SetRunAside();
  // Whether a link to the open element of `entry` can be taken: it is a
  // waiting reference and the link lies below one of its shared children. If
  // so, notes on the reference that it must end up sharing.
  bool AcceptLinkBelowSharedChild(const Entry& entry);
  void StartPendingRef();
  void EndPendingRef(std::uint32_t index);
  // The frame of the element around the innermost one, or null.
  Frame* Parent();
  // Gives a new child (a node, or a waiting reference) to the element of
  // `parent`, or makes it the root when `parent` is null.
  void Adopt(Frame* parent, GenAttrBase* node, std::uint32_t ref);
  // Appends `node` to `held` and adds a count for the hold.
  static void Hold(std::vector<GenAttrBase*>& held, GenAttrBase* node);
  void Link(GenAttrBase* parent, GenAttrBase* node, std::uint32_t ref);
  void Flush(GenAttrBase* parent);
  void Complete(Entry& entry);
  // Makes the waiting reference `index` from `target` (null: with a chain
  // of its own); the queues it unblocks are flushed by Settle().
  void MakeRef(std::uint32_t index, GenAttrBase* target);
  // Flushes the queues and makes the references that earlier steps released.
  void Settle();
  Entry* Lookup(const std::string& serialText, bool create);
  void ReleaseHolds();

  std::vector<Frame> mFrames;
  Element mElement;
  bool mPending = false; // the innermost element has no node yet
  bool mKeepAttributes = true;
  // The run of text of the innermost element since its last element boundary,
  // where runs are kept and the element's own text does not hold it.
  std::string mRun;
  // The root's runs of text before and between its time stamps.
  std::vector<std::string> mRunsAside;
  std::string mChildName;
  std::size_t mSkip = 0; // depth inside a skipped element
  GenAttrBase* mRoot = nullptr;
  std::unordered_map<std::uint64_t, Entry> mEntries;
  std::vector<PendingRef> mRefs;
  std::unordered_map<GenAttrBase*, std::deque<Queued>> mQueues;
  // References to make once the queue of their target is linked.
  std::unordered_map<GenAttrBase*, std::vector<std::uint32_t>> mAfterFlush;
  // The work of Settle().
  std::vector<std::pair<std::uint32_t, GenAttrBase*>> mToMake;
  std::vector<GenAttrBase*> mToFlush;
  std::wstring mWide;
  std::string mBytes;
  GenAttrReadStatus mStatus = GENATTR_READ_OK;
  std::string mMessage;
};

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_TREEBUILDER_H
