#include "xml/TreeBuilder.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrString.h"
#include "tree/Vocabulary.h"

namespace genattr {
namespace xml {

namespace {

namespace names = genattr::detail::vocab;

// Whether the attributes make an element typed: a definition or a link.
bool IsTyped(const char** attributes) {
  for (const char** a = attributes; *a != nullptr; a += 2) {
    if (std::strcmp(a[0], names::kType) == 0 || std::strcmp(a[0], names::kLink) == 0) {
      return true;
    }
  }
  return false;
}

bool IsTimeStamp(const char* element) {
  return std::strcmp(element, names::kDateAndTime) == 0 ||
         std::strcmp(element, names::kCssStyleSheet) == 0;
}

} // namespace

void TreeBuilder::StartElement(const char* element, const char** attributes) {
  if (Failed()) {
    return;
  }
  if (mSkip > 0) {
    ++mSkip;
    return;
  }
  if (!mFrames.empty()) {
    if (mFrames.back().stampAllowed) {
      // Only the root's leading time stamp (and CSS text) is left out; the
      // root's text ends where it begins.
      if (IsTimeStamp(element) && !IsTyped(attributes)) {
        SetRunAside();
        mSkip = 1;
        return;
      }
      mFrames.back().stampAllowed = false;
    }
    if (mPending) {
      Materialize(true);
      if (Failed()) {
        return;
      }
    } else {
      EndRun();
    }
  }
  mElement.Read(element, attributes, mKeepAttributes);
  if (!mFrames.empty()) {
    Frame& parent = mFrames.back();
    const std::uint32_t index = parent.children++;
    if (parent.role == Role::Reference && index >= mResolver.OwnLinks(parent.ref) &&
        !mElement.Typed() && !mElement.IsLink()) {
      // A copy of a shared child, written for viewers.
      mSkip = 1;
      return;
    }
  }
  if (mElement.IsLink()) {
    StartLink();
    return;
  }
  mFrames.push_back(Frame{nullptr, nullptr, NO_REF, 0, Role::Link, mFrames.empty(), false});
  mPending = true;
}

void TreeBuilder::StartLink() {
  std::uint64_t serial = 0;
  if (!mDecoder.ReadSerial(mElement.link, serial)) {
    return;
  }
  const Entry* entry = mResolver.Find(serial);
  if (entry == nullptr || !entry->defined) {
    Fail(GENATTR_READ_NOT_A_TREE, "a link names a node that was not defined before");
    return;
  }
  if (entry->open && !AcceptLinkBelowSharedChild(*entry)) {
    Fail(GENATTR_READ_NOT_A_TREE, "a link names an enclosing element: the tree would hold a cycle");
    return;
  }
  if (mFrames.empty()) {
    Fail(GENATTR_READ_NOT_A_TREE, "the root element is a link");
    return;
  }
  Adopt(&mFrames.back(), entry->node, entry->node == nullptr ? entry->ref : NO_REF);
  // Its content is a copy, written for viewers.
  mSkip = 1;
}

void TreeBuilder::EndElement() {
  if (Failed()) {
    return;
  }
  if (mSkip > 0) {
    if (--mSkip == 0 && mPending && !mFrames.empty() && mFrames.back().stampAllowed) {
      mElement.textClosed = true;
    }
    return;
  }
  if (mPending) {
    Materialize(false);
    if (Failed()) {
      return;
    }
  } else {
    EndRun();
  }
  const Frame frame = mFrames.back();
  mFrames.pop_back();
  if (frame.role == Role::Reference) {
    mResolver.EndWaiting(frame.ref);
  }
  if (frame.entry != nullptr) {
    mResolver.Close(*frame.entry);
  }
}

GenAttrBase* TreeBuilder::Finish() {
  if (Failed()) {
    return nullptr;
  }
  return mResolver.Finish();
}

void TreeBuilder::Materialize(bool children) {
  mPending = false;
  if (mElement.NamesTarget()) {
    StartWaitingReference();
    return;
  }
  Entry* entry = nullptr;
  if (mElement.Typed() && mElement.node.Present()) {
    entry = ClaimSerial();
    if (entry == nullptr) {
      return;
    }
  }
  GenAttrBase* node = mElement.Typed() ? mDecoder.MakeTyped(mElement)
                                       : ElementDecoder::MakeUntyped(mElement, children);
  if (node == nullptr) {
    return;
  }
  mFrames.back().node = node;
  Adopt(Parent(), node, NO_REF);
  if (entry != nullptr) {
    mResolver.Define(*entry, node);
    mFrames.back().entry = entry;
  }
  if (!mElement.Typed() && mKeepAttributes) {
    mFrames.back().keepsText = children;
    if (children || mElement.foreignCount != 0) {
      AddMarkup(node, children);
    }
  }
  // A leaf's runs are its value, already taken.
  mRun.Clear();
  mRunsAside.clear();
}

void TreeBuilder::StartWaitingReference() {
  ReferenceTexts texts;
  if (!mDecoder.ReadReference(mElement, texts)) {
    return;
  }
  Entry* entry = nullptr;
  if (mElement.node.Present()) {
    entry = ClaimSerial();
    if (entry == nullptr) {
      return;
    }
  }
  const std::uint32_t index = mResolver.Wait(std::move(texts), entry);
  if (index == NO_REF) {
    return;
  }
  Frame& frame = mFrames.back();
  frame.role = Role::Reference;
  frame.ref = index;
  frame.entry = entry;
  // Its place among its siblings is taken now; the node follows.
  Adopt(Parent(), nullptr, index);
}

TreeBuilder::Entry* TreeBuilder::ClaimSerial() {
  std::uint64_t serial = 0;
  if (!mDecoder.ReadSerial(mElement.node, serial)) {
    return nullptr;
  }
  return mResolver.Claim(serial);
}

void TreeBuilder::AddMarkup(GenAttrBase* node, bool children) {
  const Element& e = mElement;
  const char* at = e.foreign.c_str();
  for (std::size_t i = 0; i < e.foreignCount; ++i) {
    const std::size_t nameLength = std::strlen(at);
    mChildName.assign(1, names::kAttributePrefix).append(at, nameLength);
    at += nameLength + 1;
    mResolver.Link(node, new GenAttrString(mChildName.c_str(), at), NO_REF);
    at += std::strlen(at) + 1;
  }
  if (!children) {
    return;
  }
  for (const std::string& run : mRunsAside) {
    mResolver.Link(node, new GenAttrString(names::kTextChild, run.c_str()), NO_REF);
  }
  // After a time stamp the root's text no longer grows; its run does.
  const TextRun& run = e.textClosed ? mRun : e.text;
  if (!run.Blank()) {
    mResolver.Link(node, new GenAttrString(names::kTextChild, run.CStr()), NO_REF);
  }
}

void TreeBuilder::EndRun() {
  if (mRun.Empty()) {
    return;
  }
  if (!mRun.Blank()) {
    mResolver.Link(mFrames.back().node, new GenAttrString(names::kTextChild, mRun.CStr()), NO_REF);
  }
  mRun.Clear();
}

void TreeBuilder::SetRunAside() {
  if (!mKeepAttributes || mElement.Typed()) {
    return;
  }
  const TextRun& run = mElement.textClosed ? mRun : mElement.text;
  if (!run.Blank()) {
    mRunsAside.emplace_back(run.CStr(), run.Size());
  }
  mRun.Clear();
}

bool TreeBuilder::AcceptLinkBelowSharedChild(const Entry& entry) {
  // The frame of the link's parent is the last; a link directly under the
  // reference would be its own child.
  for (std::size_t i = 0; i + 1 < mFrames.size(); ++i) {
    const Frame& frame = mFrames[i];
    if (frame.entry == &entry) {
      return frame.role == Role::Reference && mResolver.AcceptLinkInside(frame.ref, frame.children);
    }
  }
  return false;
}

TreeBuilder::Frame* TreeBuilder::Parent() {
  return mFrames.size() >= 2 ? &mFrames[mFrames.size() - 2] : nullptr;
}

void TreeBuilder::Adopt(Frame* parent, GenAttrBase* node, std::uint32_t ref) {
  if (parent == nullptr) {
    mResolver.AdoptRoot(node, ref);
  } else if (parent->role == Role::Reference) {
    mResolver.AdoptBelow(parent->ref, parent->children, node, ref);
  } else {
    mResolver.Link(parent->node, node, ref);
  }
}

} // namespace xml
} // namespace genattr
