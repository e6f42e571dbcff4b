// Linking the nodes of a typed document into a tree while references may come
// before the nodes whose chains they share. Internal to genattr_xml.
#ifndef GENATTR_XML_REFERENCERESOLVER_H
#define GENATTR_XML_REFERENCERESOLVER_H

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "xml/BuildStatus.h"

namespace genattr {
namespace xml {

// What a reference that waits for its target will be: its texts, the serial
// of the node whose chain it shares, and how many of its first children are
// links of its own.
struct ReferenceTexts {
  std::string name;
  std::optional<std::string> desc;
  std::optional<std::string> id; // a container's; none for a Base node
  bool isCont = true;
  std::uint64_t target = 0;
  std::uint32_t own = 0;
};

// Receives the nodes of a document in document order, each with its parent,
// and links them. A reference is made from its target, so one whose target
// is not complete yet waits: it gets an index, takes its place among its
// siblings at once, and collects the children shown under it. A parent whose
// next child is a waiting reference queues its later children behind it, so
// that every chain ends up in document order. Serials name the nodes that a
// link or a reference names.
//
// Every node handed in is owned from then on: linked, held by a queue or a
// waiting reference, or the root. The destructor releases whatever Finish()
// did not hand out, on success and failure alike (a made reference that
// nothing links included); as it counts every reference it made, it must run
// before the tree handed out is released. A failure is recorded in the
// BuildStatus given at construction; the owner stops handing in nodes after
// one.
class ReferenceResolver {
public:
  // No waiting reference: a child that is a node.
  static constexpr std::uint32_t NO_REF = 0xFFFFFFFFu;

  // A node that a serial names, defined by the element that carries it.
  struct Entry {
    GenAttrBase* node = nullptr;
    std::uint32_t ref = NO_REF; // a waiting reference that will become the node
    bool defined = false;
    bool open = false;                  // its element has not ended: a link to it makes a cycle
    bool complete = false;              // its element ended
    std::vector<std::uint32_t> waiting; // references to make when it completes
  };

  explicit ReferenceResolver(BuildStatus& status) : mStatus(status) {}
  ReferenceResolver(const ReferenceResolver&) = delete;
  ReferenceResolver& operator=(const ReferenceResolver&) = delete;
  ~ReferenceResolver() { ReleaseHolds(); }

  // A reference named `name`: a container (`isCont`) or a Base node that
  // shares the chain of `target`, or has a chain of its own when `target` is
  // null. Count 0, no description or id.
  static GenAttrBase* MakeReference(bool isCont, const char* name, GenAttrBase* target);

  // The entry of `serial`, or null when nothing defined or awaited it.
  Entry* Find(std::uint64_t serial);
  // The entry that a new definition of `serial` takes; null, with a failure,
  // when an element defined it already.
  Entry* Claim(std::uint64_t serial);
  // `node`, of the element now open, is what the claimed `entry` names.
  void Define(Entry& entry, GenAttrBase* node);
  // The element that defined `entry` ended: the references waiting for it
  // are made.
  void Close(Entry& entry);

  // Starts a reference that waits for its target, defining `entry` (or
  // none); returns its index, or NO_REF after a failure.
  std::uint32_t Wait(ReferenceTexts&& texts, Entry* entry);
  // The element of the waiting reference `index` ended: it is made as soon
  // as its target is complete.
  void EndWaiting(std::uint32_t index);
  // How many of the first children of the waiting reference `index` are
  // links of its own.
  std::uint32_t OwnLinks(std::uint32_t index) const { return mRefs[index].texts.own; }
  // Whether a link met as a descendant of the `position`th child (1-based)
  // of the waiting reference `index`, to that reference itself, can be
  // taken: only below a shared child. If so, the reference must end up
  // sharing, or the link closes a cycle.
  bool AcceptLinkInside(std::uint32_t index, std::uint32_t position);

  // Makes `node`, or the waiting reference `ref` when it is not NO_REF, the
  // root.
  void AdoptRoot(GenAttrBase* node, std::uint32_t ref);
  // Gives `node`, or the waiting reference `ref`, to the waiting reference
  // `index` as its `position`th child (1-based).
  void AdoptBelow(std::uint32_t index, std::uint32_t position, GenAttrBase* node,
                  std::uint32_t ref);
  // Links `node`, or the waiting reference `ref`, under `parent`, behind
  // whatever waits in the queue of `parent`. Inline for the common case, a
  // node while no queue waits, which is every node of most documents.
  void Link(GenAttrBase* parent, GenAttrBase* node, std::uint32_t ref) {
    if (ref == NO_REF && mQueues.empty()) {
      parent->AddAttr(node);
    } else {
      LinkQueued(parent, node, ref);
    }
  }

  // After the last node of a complete document: makes the references whose
  // targets never came, with chains of their own. Returns the root, now
  // owned by the caller, or null after a failure.
  GenAttrBase* Finish();

private:
  // A child waiting to be linked behind a reference that is not made yet.
  struct Queued {
    GenAttrBase* node; // held; null for a waiting reference
    std::uint32_t ref;
  };
  // A reference whose target was not complete when its element began.
  struct PendingRef {
    ReferenceTexts texts;
    GenAttrBase* made = nullptr;
    Entry* entry = nullptr;            // its own serial, if it has one
    std::vector<GenAttrBase*> front;   // its own links in front, held
    std::vector<Queued> shared;        // the shared children met under it, held
    std::vector<GenAttrBase*> parents; // parents whose queue holds it
    bool isRoot = false;
    // Linked below one of its own shared children. Sharing, it is no cycle:
    // those children are its target's; without a target they would be its own.
    bool linkedInside = false;
  };

  void Fail(const char* message) { mStatus.Fail(GENATTR_READ_NOT_A_TREE, message); }
  // Link() where a queue may wait or `ref` is a waiting reference.
  void LinkQueued(GenAttrBase* parent, GenAttrBase* node, std::uint32_t ref);
  // Appends `node` to `held` and adds a count for the hold.
  static void Hold(std::vector<GenAttrBase*>& held, GenAttrBase* node);
  void Complete(Entry& entry);
  // Makes the waiting reference `index` from `target` (null: with a chain
  // of its own); the queues it unblocks are flushed by Settle().
  void MakeRef(std::uint32_t index, GenAttrBase* target);
  // Whether the reference `ref` can be made now on `target`, or must first
  // wait for the queue of `target` to be linked; fails when it cannot be
  // made at all.
  bool ReadyToMake(std::uint32_t index, GenAttrBase* target, bool sharing);
  // Gives the made reference of `ref` the children held for it, and the
  // holds back.
  void HandOverChildren(PendingRef& ref, GenAttrBase* made, bool sharing);
  // Flushes the queues and makes the references that earlier steps released.
  void Settle();
  void Flush(GenAttrBase* parent);
  void ReleaseHolds();

  BuildStatus& mStatus;
  GenAttrBase* mRoot = nullptr;
  std::unordered_map<std::uint64_t, Entry> mEntries;
  std::vector<PendingRef> mRefs;
  std::unordered_map<GenAttrBase*, std::deque<Queued>> mQueues;
  // References to make once the queue of their target is linked.
  std::unordered_map<GenAttrBase*, std::vector<std::uint32_t>> mAfterFlush;
  // The work of Settle().
  std::vector<std::pair<std::uint32_t, GenAttrBase*>> mToMake;
  std::vector<GenAttrBase*> mToFlush;
};

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_REFERENCERESOLVER_H
