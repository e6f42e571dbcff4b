#include "xml/ReferenceResolver.h"

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrCont.h"

namespace genattr {
namespace xml {

namespace {

// A node of `Node` made only to be referenced while it has no children, and
// released again: a reference made from it has a chain of its own.
template <class Node> struct Scratch {
  Scratch() : node(new Node("")) {}
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() { GenAttrBase::Free(node); }
  Node* node;
};

} // namespace

GenAttrBase* ReferenceResolver::MakeReference(bool isCont, const char* name, GenAttrBase* target) {
  if (isCont) {
    if (target != nullptr) {
      return new GenAttrCont(name, static_cast<GenAttrCont*>(target));
    }
    const Scratch<GenAttrCont> empty;
    return new GenAttrCont(name, empty.node);
  }
  if (target != nullptr) {
    return new GenAttrBase(name, target);
  }
  const Scratch<GenAttrBase> empty;
  return new GenAttrBase(name, empty.node);
}

ReferenceResolver::Entry* ReferenceResolver::Find(std::uint64_t serial) {
  const auto found = mEntries.find(serial);
  return found == mEntries.end() ? nullptr : &found->second;
}

ReferenceResolver::Entry* ReferenceResolver::Claim(std::uint64_t serial) {
  Entry& entry = mEntries[serial];
  if (entry.defined) {
    Fail("two elements define the same node");
    return nullptr;
  }
  return &entry;
}

void ReferenceResolver::Define(Entry& entry, GenAttrBase* node) {
  entry.node = node;
  entry.defined = entry.open = true;
}

void ReferenceResolver::Close(Entry& entry) {
  entry.open = false;
  Complete(entry);
}

std::uint32_t ReferenceResolver::Wait(ReferenceTexts&& texts, Entry* entry) {
  if (mRefs.size() >= NO_REF) {
    mStatus.Fail(GENATTR_READ_LIMIT, "too many references");
    return NO_REF;
  }
  const auto index = static_cast<std::uint32_t>(mRefs.size());
  PendingRef ref;
  ref.texts = std::move(texts);
  ref.entry = entry;
  mRefs.push_back(std::move(ref));
  if (entry != nullptr) {
    entry->ref = index;
    entry->defined = entry->open = true;
  }
  return index;
}

void ReferenceResolver::EndWaiting(std::uint32_t index) {
  const std::uint64_t target = mRefs[index].texts.target;
  const auto found = mEntries.find(target);
  if (found != mEntries.end() && found->second.complete) {
    MakeRef(index, found->second.node);
    Settle();
  } else {
    mEntries[target].waiting.push_back(index);
  }
}

bool ReferenceResolver::AcceptLinkInside(std::uint32_t index, std::uint32_t position) {
  PendingRef& ref = mRefs[index];
  if (position - 1 < ref.texts.own) {
    return false;
  }
  ref.linkedInside = true;
  return true;
}

void ReferenceResolver::AdoptRoot(GenAttrBase* node, std::uint32_t ref) {
  if (ref != NO_REF) {
    mRefs[ref].isRoot = true;
  } else {
    mRoot = node;
  }
}

void ReferenceResolver::AdoptBelow(std::uint32_t index, std::uint32_t position, GenAttrBase* node,
                                   std::uint32_t ref) {
  PendingRef& waiting = mRefs[index];
  const bool front = position <= waiting.texts.own;
  if (ref == NO_REF && front) {
    Hold(waiting.front, node);
  } else if (ref == NO_REF) {
    try {
      waiting.shared.push_back(Queued{node, NO_REF});
    } catch (...) {
      GenAttrBase::Free(node);
      throw;
    }
    node->AddRef();
  } else if (!front) {
    // A shared child that is itself a waiting reference: the target links it.
    waiting.shared.push_back(Queued{nullptr, ref});
  } else {
    Fail("a link of a reference's own is a reference that waits for its target");
  }
}

void ReferenceResolver::LinkQueued(GenAttrBase* parent, GenAttrBase* node, std::uint32_t ref) {
  if (ref != NO_REF && mRefs[ref].made != nullptr) {
    node = mRefs[ref].made;
    ref = NO_REF;
  }
  auto queue = mQueues.empty() ? mQueues.end() : mQueues.find(parent);
  if (queue == mQueues.end() && ref == NO_REF) {
    parent->AddAttr(node);
    return;
  }
  if (queue == mQueues.end()) {
    queue = mQueues.emplace(parent, std::deque<Queued>()).first;
  }
  if (ref != NO_REF) {
    mRefs[ref].parents.push_back(parent);
    queue->second.push_back(Queued{nullptr, ref});
    return;
  }
  try {
    queue->second.push_back(Queued{node, NO_REF});
  } catch (...) {
    if (node->GetRefCount() == 0) {
      GenAttrBase::Free(node);
    }
    throw;
  }
  node->AddRef();
}

GenAttrBase* ReferenceResolver::Finish() {
  // What still waits names a target that is not in the document.
  for (std::uint32_t index = 0; index < mRefs.size() && !mStatus.Failed(); ++index) {
    if (mRefs[index].made == nullptr) {
      MakeRef(index, nullptr);
      Settle();
    }
  }
  if (!mQueues.empty() || mRoot == nullptr) {
    Fail("the document does not describe a tree");
  }
  if (mStatus.Failed()) {
    return nullptr;
  }
  GenAttrBase* root = mRoot;
  mRoot = nullptr;
  return root;
}

void ReferenceResolver::Hold(std::vector<GenAttrBase*>& held, GenAttrBase* node) {
  try {
    held.push_back(node);
  } catch (...) {
    if (node->GetRefCount() == 0) {
      GenAttrBase::Free(node);
    }
    throw;
  }
  node->AddRef();
}

void ReferenceResolver::Complete(Entry& entry) {
  entry.complete = true;
  std::vector<std::uint32_t> waiting;
  waiting.swap(entry.waiting);
  for (const std::uint32_t index : waiting) {
    if (mRefs[index].made == nullptr && !mStatus.Failed()) {
      MakeRef(index, entry.node);
    }
  }
  Settle();
}

bool ReferenceResolver::ReadyToMake(std::uint32_t index, GenAttrBase* target, bool sharing) {
  const PendingRef& ref = mRefs[index];
  if (sharing && target->HasChildren() == 0 && !mQueues.empty() && mQueues.count(target) != 0) {
    // The target's chain has not begun yet: a reference made on an empty
    // chain would never see it. Once it has begun, links appended later show
    // through the reference, so waiting for them could only deadlock (two
    // references, each in the other's target's queue).
    mAfterFlush[target].push_back(index);
    return false;
  }
  if (!sharing && ref.linkedInside) {
    Fail("a link names an enclosing element: the tree would hold a cycle");
    return false;
  }
  if (sharing) {
    // Children defined under the reference belong to the target's chain, so
    // the target links them; one it did not link would end with our hold
    // while a serial still names it.
    for (const Queued& item : ref.shared) {
      if (item.node != nullptr && item.node->GetRefCount() < 2) {
        Fail("a child shown under a reference is not in the chain of its target");
        return false;
      }
    }
  }
  return true;
}

void ReferenceResolver::MakeRef(std::uint32_t index, GenAttrBase* target) {
  const bool sharing =
      target != nullptr && (!mRefs[index].texts.isCont || target->GetType() == Cont);
  if (!ReadyToMake(index, target, sharing)) {
    return;
  }
  PendingRef& ref = mRefs[index];
  const ReferenceTexts& texts = ref.texts;
  GenAttrBase* made = MakeReference(texts.isCont, texts.name.c_str(), sharing ? target : nullptr);
  if (texts.isCont) {
    static_cast<GenAttrCont*>(made)->SetId(texts.id ? texts.id->c_str() : nullptr);
  }
  ref.made = made;
  made->SetDescription(texts.desc ? texts.desc->c_str() : nullptr);
  HandOverChildren(ref, made, sharing);
  PendingRef& done = mRefs[index];
  if (done.entry != nullptr) {
    done.entry->node = made;
    done.entry->ref = NO_REF;
  }
  if (done.isRoot) {
    mRoot = made;
  }
  mToFlush.insert(mToFlush.end(), done.parents.begin(), done.parents.end());
  done.parents.clear();
}

void ReferenceResolver::HandOverChildren(PendingRef& ref, GenAttrBase* made, bool sharing) {
  if (sharing) {
    for (auto it = ref.front.rbegin(); it != ref.front.rend(); ++it) {
      made->AddAttrAtTop(*it);
    }
  } else {
    // Without its target the reference keeps the children it showed, as
    // links of its own.
    for (GenAttrBase* child : ref.front) {
      made->AddAttr(child);
    }
    for (const Queued& child : ref.shared) {
      Link(made, child.node, child.ref);
    }
  }
  std::vector<GenAttrBase*> front;
  front.swap(ref.front);
  std::vector<Queued> shared;
  shared.swap(ref.shared);
  for (GenAttrBase* node : front) {
    node->UnRef();
  }
  for (const Queued& item : shared) {
    if (item.node != nullptr) {
      item.node->UnRef();
    }
  }
}

void ReferenceResolver::Settle() {
  // A worklist, not recursion: references may wait on one another in chains
  // as long as a document is.
  while (!mStatus.Failed() && (!mToMake.empty() || !mToFlush.empty())) {
    if (!mToMake.empty()) {
      const auto [index, target] = mToMake.back();
      mToMake.pop_back();
      MakeRef(index, target);
    } else {
      GenAttrBase* parent = mToFlush.back();
      mToFlush.pop_back();
      Flush(parent);
    }
  }
}

void ReferenceResolver::Flush(GenAttrBase* parent) {
  const auto queue = mQueues.find(parent);
  if (queue == mQueues.end()) {
    return;
  }
  std::deque<Queued>& items = queue->second;
  while (!items.empty()) {
    const Queued item = items.front();
    if (item.node == nullptr) {
      GenAttrBase* made = mRefs[item.ref].made;
      if (made == nullptr) {
        return;
      }
      parent->AddAttr(made);
    } else {
      parent->AddAttr(item.node);
      item.node->UnRef();
    }
    items.pop_front();
  }
  mQueues.erase(queue);
  const auto after = mAfterFlush.find(parent);
  if (after != mAfterFlush.end()) {
    std::vector<std::uint32_t> waiting;
    waiting.swap(after->second);
    mAfterFlush.erase(after);
    for (const std::uint32_t index : waiting) {
      mToMake.emplace_back(index, parent);
    }
  }
}

void ReferenceResolver::ReleaseHolds() {
  // Every made reference and the root get a count of ours first. Releasing
  // one hold may end a subtree that links a made reference, and releasing a
  // made reference may end the subtree of another: with our count none of
  // them ends before its own release at the end, and none is touched after
  // it. (The root is the made node of a reference that is the root.)
  const auto pinned = [](const PendingRef& ref) { return ref.made != nullptr && !ref.isRoot; };
  for (const PendingRef& ref : mRefs) {
    if (pinned(ref)) {
      ref.made->AddRef();
    }
  }
  GenAttrBase* const root = mRoot;
  mRoot = nullptr;
  if (root != nullptr) {
    root->AddRef();
  }
  for (auto& queue : mQueues) {
    for (const Queued& item : queue.second) {
      if (item.node != nullptr) {
        item.node->UnRef();
      }
    }
  }
  mQueues.clear();
  for (PendingRef& ref : mRefs) {
    for (GenAttrBase* node : ref.front) {
      node->UnRef();
    }
    ref.front.clear();
    for (const Queued& item : ref.shared) {
      if (item.node != nullptr) {
        item.node->UnRef();
      }
    }
    ref.shared.clear();
  }
  for (const PendingRef& ref : mRefs) {
    if (pinned(ref)) {
      ref.made->UnRef();
    }
  }
  mRefs.clear();
  if (root != nullptr) {
    root->UnRef();
  }
}

} // namespace xml
} // namespace genattr
