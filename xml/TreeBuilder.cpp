#include "xml/TreeBuilder.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "tree/TreeAccess.h"
#include "tree/Vocabulary.h"
#include "xml/TypedValues.h"

namespace genattr {
namespace xml {

namespace {

namespace names = genattr::detail::vocab;

// A string node of class `Node` with `value` and the UTF flag `utf`, as the
// document says, whatever the host's switch is at this moment.
template <class Node, class Value>
GenAttrBase* MakeFlagged(const char* name, const char* desc, const Value* value, bool utf) {
  auto* node =
      static_cast<Node*>(desc != nullptr ? new Node(name, desc, value) : new Node(name, value));
  GenAttrTreeAccess::UtfFlag(*node) = utf;
  return node;
}

// Whether the attributes make an element typed: a definition or a link.
bool IsTyped(const char** attributes) {
  for (const char** a = attributes; *a != nullptr; a += 2) {
    if (std::strcmp(a[0], names::kType) == 0 || std::strcmp(a[0], names::kLink) == 0) {
      return true;
    }
  }
  return false;
}

// A node of `Node` made only to be referenced while it has no children, and
// released again.
template <class Node> struct Scratch {
  Scratch() : node(new Node("")) {}
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() { GenAttrBase::Free(node); }
  Node* node;
};

// A node of class `Node` with `value`, and with `desc` when it is not null.
template <class Node, class Value>
GenAttrBase* Make(const char* name, const char* desc, Value value) {
  return desc != nullptr ? new Node(name, desc, value) : new Node(name, value);
}

// Whether `text` is only XML white space: a run of it is the indentation
// between elements, not content.
bool IsWhiteSpace(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

bool IsTimeStamp(const char* element) {
  return std::strcmp(element, names::kDateAndTime) == 0 ||
         std::strcmp(element, names::kCssStyleSheet) == 0;
}

template <class Number, class Bits>
bool ReadNumber(const std::string* bits, const std::string& text, unsigned digits,
                Number (*parse)(const char*, char**), Number& value) {
  if (bits != nullptr) {
    std::uint64_t raw = 0;
    if (!ParseHexBits(bits->c_str(), digits, raw)) {
      return false;
    }
    const auto narrow = static_cast<Bits>(raw);
    std::memcpy(&value, &narrow, sizeof value);
    return true;
  }
  // Without the bits, the rendered text is the best there is.
  char* end = nullptr;
  value = parse(text.c_str(), &end);
  return !text.empty() && *end == '\0';
}

} // namespace

TreeBuilder::~TreeBuilder() {
  ReleaseHolds();
}

void TreeBuilder::Fail(GenAttrReadStatus status, const char* message) {
  if (mStatus == GENATTR_READ_OK) {
    mStatus = status;
    mMessage = message;
  }
}

void TreeBuilder::Hold(std::vector<GenAttrBase*>& held, GenAttrBase* node) {
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

void TreeBuilder::Start(const char* element, const char** attributes) {
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
  ReadAttributes(element, attributes);
  if (!mFrames.empty()) {
    Frame& parent = mFrames.back();
    const std::uint32_t index = parent.children++;
    if (parent.role == Role::Reference && index >= mRefs[parent.ref].own && !mElement.typed &&
        !mElement.hasLink) {
      // A copy of a shared child, written for viewers.
      mSkip = 1;
      return;
    }
  }
  if (mElement.hasLink) {
    Entry* entry = Lookup(mElement.link, false);
    if (Failed()) {
      return;
    }
    if (entry == nullptr || !entry->defined) {
      Fail(GENATTR_READ_NOT_A_TREE, "a link names a node that was not defined before");
      return;
    }
    if (entry->open && !AcceptLinkBelowSharedChild(*entry)) {
      Fail(GENATTR_READ_NOT_A_TREE,
           "a link names an enclosing element: the tree would hold a cycle");
      return;
    }
    if (mFrames.empty()) {
      Fail(GENATTR_READ_NOT_A_TREE, "the root element is a link");
      return;
    }
    Adopt(&mFrames.back(), entry->node, entry->node == nullptr ? entry->ref : NO_REF);
    mSkip = 1;
    return;
  }
  mFrames.push_back(Frame{nullptr, nullptr, NO_REF, 0, Role::Link, mFrames.empty(), false});
  mPending = true;
}

void TreeBuilder::Text(const char* text, std::size_t length) {
  if (mSkip != 0 || Failed()) {
    return;
  }
  if (mPending) {
    if (!mElement.textClosed) {
      mElement.text.append(text, length);
    } else if (mKeepAttributes && !mElement.typed) {
      // The root after a time stamp: no longer its value, but a run should
      // it have child elements.
      mRun.append(text, length);
    }
  } else if (!mFrames.empty() && mFrames.back().keepsText) {
    mRun.append(text, length);
  }
}

void TreeBuilder::End() {
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
    EndPendingRef(frame.ref);
  }
  if (frame.entry != nullptr) {
    frame.entry->open = false;
    Complete(*frame.entry);
  }
}

GenAttrBase* TreeBuilder::Finish() {
  if (Failed()) {
    return nullptr;
  }
  // What still waits names a target that is not in the document.
  for (std::uint32_t index = 0; index < mRefs.size() && !Failed(); ++index) {
    if (mRefs[index].made == nullptr) {
      MakeRef(index, nullptr);
      Settle();
    }
  }
  if (!mQueues.empty() || mRoot == nullptr) {
    Fail(GENATTR_READ_NOT_A_TREE, "the document does not describe a tree");
  }
  if (Failed()) {
    return nullptr;
  }
  GenAttrBase* root = mRoot;
  mRoot = nullptr;
  return root;
}

void TreeBuilder::ReadAttributes(const char* element, const char** attributes) {
  Element& e = mElement;
  e.name.assign(element);
  e.text.clear();
  e.textClosed = false;
  e.typed = e.hasDesc = e.hasValue = false;
  e.hasGaName = e.hasXName = e.hasXDesc = e.hasXValue = e.hasBits = e.hasId = e.hasXId = false;
  e.hasNode = e.hasLink = e.hasRef = e.hasOwn = e.hasUtf = false;
  struct Field {
    const char* name;
    std::string Element::*text;
    bool Element::*present;
  };
  static const Field fields[] = {
      {names::kDesc, &Element::desc, &Element::hasDesc},
      {names::kValue, &Element::value, &Element::hasValue},
      {names::kType, &Element::typeName, &Element::typed},
      {names::kName, &Element::gaName, &Element::hasGaName},
      {names::kXName, &Element::gaXName, &Element::hasXName},
      {names::kXDesc, &Element::xdesc, &Element::hasXDesc},
      {names::kXValue, &Element::xvalue, &Element::hasXValue},
      {names::kBits, &Element::bits, &Element::hasBits},
      {names::kId, &Element::id, &Element::hasId},
      {names::kXId, &Element::xid, &Element::hasXId},
      {names::kUtf, &Element::utf, &Element::hasUtf},
      {names::kNode, &Element::node, &Element::hasNode},
      {names::kLink, &Element::link, &Element::hasLink},
      {names::kRef, &Element::ref, &Element::hasRef},
      {names::kOwn, &Element::own, &Element::hasOwn},
  };
  for (const char** a = attributes; *a != nullptr; a += 2) {
    const char* name = a[0];
    // Every attribute but the two plain ones is in the prefix ga.
    if (name[0] != 'g' && name[0] != 'd' && name[0] != 'v') {
      continue;
    }
    for (const Field& field : fields) {
      if (std::strcmp(name, field.name) == 0) {
        (e.*field.text).assign(a[1]);
        e.*field.present = true;
        break;
      }
    }
  }
  e.attributes.clear();
  e.attributeCount = 0;
  // The ga attributes of a typed element are the format's; on any other
  // element they are as foreign as the rest.
  if (!mKeepAttributes || e.typed || e.hasLink) {
    return;
  }
  for (const char** a = attributes; *a != nullptr; a += 2) {
    if (std::strcmp(a[0], names::kDesc) != 0 && std::strcmp(a[0], names::kValue) != 0) {
      e.attributes.append(a[0], std::strlen(a[0]) + 1);
      e.attributes.append(a[1], std::strlen(a[1]) + 1);
      ++e.attributeCount;
    }
  }
}

void TreeBuilder::Materialize(bool children) {
  mPending = false;
  if (mElement.typed && mElement.hasRef && !mElement.ref.empty()) {
    StartPendingRef();
    return;
  }
  Entry* entry = nullptr;
  if (mElement.typed && mElement.hasNode) {
    entry = Lookup(mElement.node, true);
    if (entry != nullptr && entry->defined) {
      Fail(GENATTR_READ_NOT_A_TREE, "two elements define the same node");
    }
    if (Failed()) {
      return;
    }
  }
  GenAttrBase* node = mElement.typed ? MakeTyped() : MakeUntyped(children);
  if (node == nullptr) {
    return;
  }
  mFrames.back().node = node;
  Adopt(Parent(), node, NO_REF);
  if (entry != nullptr) {
    entry->node = node;
    entry->defined = entry->open = true;
    mFrames.back().entry = entry;
  }
  if (!mElement.typed && mKeepAttributes) {
    mFrames.back().keepsText = children;
    AddMarkup(node, children);
  }
  // A leaf's runs are its value, already taken.
  mRun.clear();
  mRunsAside.clear();
}

void TreeBuilder::AddMarkup(GenAttrBase* node, bool children) {
  const Element& e = mElement;
  const char* at = e.attributes.c_str();
  for (std::size_t i = 0; i < e.attributeCount; ++i) {
    const std::size_t nameLength = std::strlen(at);
    mChildName.assign(1, names::kAttributePrefix).append(at, nameLength);
    at += nameLength + 1;
    Link(node, new GenAttrString(mChildName.c_str(), at), NO_REF);
    at += std::strlen(at) + 1;
  }
  if (!children) {
    return;
  }
  for (const std::string& run : mRunsAside) {
    Link(node, new GenAttrString(names::kTextChild, run.c_str()), NO_REF);
  }
  // After a time stamp the root's text no longer grows; its run does.
  const std::string& run = e.textClosed ? mRun : e.text;
  if (!IsWhiteSpace(run)) {
    Link(node, new GenAttrString(names::kTextChild, run.c_str()), NO_REF);
  }
}

void TreeBuilder::EndRun() {
  if (mRun.empty()) {
    return;
  }
  if (!IsWhiteSpace(mRun)) {
    Link(mFrames.back().node, new GenAttrString(names::kTextChild, mRun.c_str()), NO_REF);
  }
  mRun.clear();
}

void TreeBuilder::SetRunAside() {
  if (!mKeepAttributes || mElement.typed) {
    return;
  }
  const std::string& run = mElement.textClosed ? mRun : mElement.text;
  if (!IsWhiteSpace(run)) {
    mRunsAside.push_back(run);
  }
  mRun.clear();
}

GenAttrBase* TreeBuilder::MakeUntyped(bool children) {
  const Element& e = mElement;
  const char* desc = e.hasDesc ? e.desc.c_str() : nullptr;
  if (children && !e.hasValue) {
    return desc != nullptr ? new GenAttrCont(e.name.c_str(), desc)
                           : new GenAttrCont(e.name.c_str());
  }
  const char* value = e.hasValue ? e.value.c_str() : e.text.c_str();
  return Make<GenAttrString>(e.name.c_str(), desc, value);
}

GenAttrBase* TreeBuilder::MakeTyped() {
  Element& e = mElement;
  int type = -1;
  for (int t = Base; t <= Ptr; ++t) {
    if (e.typeName == names::kTypeNames[t]) {
      type = t;
    }
  }
  if (type < 0) {
    Fail(GENATTR_READ_NOT_A_TREE, "ga:type names no node type");
    return nullptr;
  }
  if (e.hasXName) {
    if (!DecodeEscaped8(e.gaXName.c_str(), e.gaName)) {
      Fail(GENATTR_READ_NOT_A_TREE, "ga:xname is not a valid escaped text");
      return nullptr;
    }
  }
  const char* name = e.hasXName || e.hasGaName ? e.gaName.c_str() : e.name.c_str();
  if (e.hasXDesc) {
    if (!DecodeEscaped8(e.xdesc.c_str(), e.desc)) {
      Fail(GENATTR_READ_NOT_A_TREE, "ga:xdesc is not a valid escaped text");
      return nullptr;
    }
    e.hasDesc = true;
  }
  const char* desc = e.hasDesc ? e.desc.c_str() : nullptr;
  const std::string& text = e.hasValue ? e.value : e.text;
  const bool utf = e.hasUtf && e.utf == names::kUtfSet;

  if (e.hasRef) {
    // A reference with a chain of its own: made from a container without
    // children, then given its own texts.
    if (type != Cont && type != Base) {
      Fail(GENATTR_READ_NOT_A_TREE, "only containers and Base nodes can be references");
      return nullptr;
    }
    GenAttrBase* made = nullptr;
    if (type == Cont) {
      const Scratch<GenAttrCont> empty;
      auto* cont = new GenAttrCont(name, empty.node);
      made = cont;
      if (e.hasXId && !DecodeEscaped8(e.xid.c_str(), e.id)) {
        GenAttrBase::Free(made);
        Fail(GENATTR_READ_NOT_A_TREE, "ga:xid is not a valid escaped text");
        return nullptr;
      }
      cont->SetId(e.hasId || e.hasXId ? e.id.c_str() : nullptr);
    } else {
      const Scratch<GenAttrBase> empty;
      made = new GenAttrBase(name, empty.node);
    }
    made->SetDescription(desc);
    return made;
  }

  switch (type) {
  case Base:
    return desc != nullptr ? new GenAttrBase(name, desc) : new GenAttrBase(name);
  case Cont: {
    if (e.hasXId && !DecodeEscaped8(e.xid.c_str(), e.id)) {
      Fail(GENATTR_READ_NOT_A_TREE, "ga:xid is not a valid escaped text");
      return nullptr;
    }
    auto* cont = desc != nullptr ? new GenAttrCont(name, desc) : new GenAttrCont(name);
    if (e.hasId || e.hasXId) {
      cont->SetId(e.id.c_str());
    }
    return cont;
  }
  case String: {
    if (e.hasXValue && !DecodeEscaped8(e.xvalue.c_str(), mBytes)) {
      Fail(GENATTR_READ_NOT_A_TREE, "ga:xvalue is not a valid escaped text");
      return nullptr;
    }
    const char* value = e.hasXValue ? mBytes.c_str() : text.c_str();
    return MakeFlagged<GenAttrString>(name, desc, value, utf);
  }
  case UnicodeString: {
    if (e.hasXValue) {
      if (!DecodeEscapedWide(e.xvalue.c_str(), mWide)) {
        Fail(GENATTR_READ_NOT_A_TREE, "ga:xvalue is not a valid escaped wide text");
        return nullptr;
      }
    } else {
      Utf8ToWide(text.data(), text.size(), mWide);
    }
    return MakeFlagged<GenAttrUnicodeString>(name, desc, mWide.c_str(), utf);
  }
  case Int: {
    int value = 0;
    if (!ParseInt(text.c_str(), value)) {
      Fail(GENATTR_READ_NOT_A_TREE, "the value of an Int is not a 32-bit decimal integer");
      return nullptr;
    }
    return Make<GenAttrInt>(name, desc, value);
  }
  case Float: {
    float value = 0;
    if (!ReadNumber<float, std::uint32_t>(e.hasBits ? &e.bits : nullptr, text, 8, &std::strtof,
                                          value)) {
      Fail(GENATTR_READ_NOT_A_TREE,
           "the value of a Float is not a number or ga:bits is not 8 hexadecimal digits");
      return nullptr;
    }
    return Make<GenAttrFloat>(name, desc, value);
  }
  case Double: {
    double value = 0;
    if (!ReadNumber<double, std::uint64_t>(e.hasBits ? &e.bits : nullptr, text, 16, &std::strtod,
                                           value)) {
      Fail(GENATTR_READ_NOT_A_TREE,
           "the value of a Double is not a number or ga:bits is not 16 hexadecimal digits");
      return nullptr;
    }
    return Make<GenAttrDouble>(name, desc, value);
  }
  default:
    // A pointer means nothing in another process.
    return Make<GenAttrPtr>(name, desc, static_cast<void*>(nullptr));
  }
}

bool TreeBuilder::AcceptLinkBelowSharedChild(const Entry& entry) {
  // The frame of the link's parent is the last; a link directly under the
  // reference would be its own child.
  for (std::size_t i = 0; i + 1 < mFrames.size(); ++i) {
    const Frame& frame = mFrames[i];
    if (frame.entry == &entry) {
      if (frame.role != Role::Reference || frame.children - 1 < mRefs[frame.ref].own) {
        return false;
      }
      mRefs[frame.ref].linkedInside = true;
      return true;
    }
  }
  return false;
}

void TreeBuilder::StartPendingRef() {
  Element& e = mElement;
  const bool isCont = e.typeName == names::kTypeNames[Cont];
  if (!isCont && e.typeName != names::kTypeNames[Base]) {
    Fail(GENATTR_READ_NOT_A_TREE, "only containers and Base nodes can be references");
    return;
  }
  PendingRef ref;
  std::uint32_t own = 0;
  if (!ParseSerial(e.ref.c_str(), ref.target) || (e.hasOwn && !ParseCount(e.own.c_str(), own))) {
    Fail(GENATTR_READ_NOT_A_TREE, "ga:ref or ga:own is not a number");
    return;
  }
  if ((e.hasXName && !DecodeEscaped8(e.gaXName.c_str(), ref.name)) ||
      (e.hasXDesc && !DecodeEscaped8(e.xdesc.c_str(), ref.desc)) ||
      (e.hasXId && !DecodeEscaped8(e.xid.c_str(), ref.id))) {
    Fail(GENATTR_READ_NOT_A_TREE, "an escaped text of a reference is not valid");
    return;
  }
  if (!e.hasXName) {
    ref.name = e.hasGaName ? e.gaName : e.name;
  }
  if (!e.hasXDesc) {
    ref.desc = e.desc;
  }
  if (!e.hasXId) {
    ref.id = e.id;
  }
  ref.hasDesc = e.hasDesc || e.hasXDesc;
  ref.hasId = isCont && (e.hasId || e.hasXId);
  ref.isCont = isCont;
  ref.own = own;
  Entry* entry = nullptr;
  if (e.hasNode) {
    entry = Lookup(e.node, true);
    if (entry != nullptr && entry->defined) {
      Fail(GENATTR_READ_NOT_A_TREE, "two elements define the same node");
    }
    if (Failed()) {
      return;
    }
  }
  if (mRefs.size() >= NO_REF) {
    Fail(GENATTR_READ_LIMIT, "too many references");
    return;
  }
  const auto index = static_cast<std::uint32_t>(mRefs.size());
  ref.entry = entry;
  mRefs.push_back(std::move(ref));
  Frame& frame = mFrames.back();
  frame.role = Role::Reference;
  frame.ref = index;
  if (entry != nullptr) {
    entry->ref = index;
    entry->defined = entry->open = true;
    frame.entry = entry;
  }
  // Its place among its siblings is taken now; the node follows.
  Adopt(Parent(), nullptr, index);
}

void TreeBuilder::EndPendingRef(std::uint32_t index) {
  PendingRef& ref = mRefs[index];
  ref.closed = true;
  const auto found = mEntries.find(ref.target);
  if (found != mEntries.end() && found->second.complete) {
    MakeRef(index, found->second.node);
    Settle();
  } else {
    mEntries[ref.target].waiting.push_back(index);
  }
}

void TreeBuilder::Complete(Entry& entry) {
  entry.complete = true;
  std::vector<std::uint32_t> waiting;
  waiting.swap(entry.waiting);
  for (const std::uint32_t index : waiting) {
    if (mRefs[index].made == nullptr && !Failed()) {
      MakeRef(index, entry.node);
    }
  }
  Settle();
}

void TreeBuilder::MakeRef(std::uint32_t index, GenAttrBase* target) {
  PendingRef& ref = mRefs[index];
  const bool sharing = target != nullptr && (!ref.isCont || target->GetType() == Cont);
  if (sharing && target->HasChildren() == 0 && !mQueues.empty() && mQueues.count(target) != 0) {
    // The target's chain has not begun yet: a reference made on an empty
    // chain would never see it. Once it has begun, links appended later show
    // through the reference, so waiting for them could only deadlock (two
    // references, each in the other's target's queue).
    mAfterFlush[target].push_back(index);
    return;
  }
  if (!sharing && ref.linkedInside) {
    Fail(GENATTR_READ_NOT_A_TREE, "a link names an enclosing element: the tree would hold a cycle");
    return;
  }
  if (sharing) {
    // Children defined under the reference belong to the target's chain, so
    // the target links them; one it did not link would end with our hold
    // while a serial still names it.
    for (const Queued& item : ref.shared) {
      if (item.node != nullptr && item.node->GetRefCount() < 2) {
        Fail(GENATTR_READ_NOT_A_TREE,
             "a child shown under a reference is not in the chain of its target");
        return;
      }
    }
  }
  GenAttrBase* made = nullptr;
  if (ref.isCont) {
    const Scratch<GenAttrCont> empty;
    made =
        new GenAttrCont(ref.name.c_str(), sharing ? static_cast<GenAttrCont*>(target) : empty.node);
    static_cast<GenAttrCont*>(made)->SetId(ref.hasId ? ref.id.c_str() : nullptr);
  } else {
    const Scratch<GenAttrBase> empty;
    made = new GenAttrBase(ref.name.c_str(), sharing ? target : empty.node);
  }
  ref.made = made;
  made->SetDescription(ref.hasDesc ? ref.desc.c_str() : nullptr);
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
  shared.swap(mRefs[index].shared);
  for (GenAttrBase* node : front) {
    node->UnRef();
  }
  for (const Queued& item : shared) {
    if (item.node != nullptr) {
      item.node->UnRef();
    }
  }
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

void TreeBuilder::Settle() {
  // A worklist, not recursion: references may wait on one another in chains
  // as long as a document is.
  while (!Failed() && (!mToMake.empty() || !mToFlush.empty())) {
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

TreeBuilder::Frame* TreeBuilder::Parent() {
  return mFrames.size() >= 2 ? &mFrames[mFrames.size() - 2] : nullptr;
}

void TreeBuilder::Adopt(Frame* parentFrame, GenAttrBase* node, std::uint32_t ref) {
  if (parentFrame == nullptr) {
    if (ref != NO_REF) {
      mRefs[ref].isRoot = true;
    } else {
      mRoot = node;
    }
    return;
  }
  const Frame& parent = *parentFrame;
  if (parent.role == Role::Reference) {
    PendingRef& waiting = mRefs[parent.ref];
    const bool front = parent.children <= waiting.own;
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
      Fail(GENATTR_READ_NOT_A_TREE,
           "a link of a reference's own is a reference that waits for its target");
    }
    return;
  }
  Link(parent.node, node, ref);
}

void TreeBuilder::Link(GenAttrBase* parent, GenAttrBase* node, std::uint32_t ref) {
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

void TreeBuilder::Flush(GenAttrBase* parent) {
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

TreeBuilder::Entry* TreeBuilder::Lookup(const std::string& serialText, bool create) {
  std::uint64_t serial = 0;
  if (!ParseSerial(serialText.c_str(), serial)) {
    Fail(GENATTR_READ_NOT_A_TREE, "a serial of ga:node or ga:link is not a number from 1 to 2^63");
    return nullptr;
  }
  if (!create) {
    const auto found = mEntries.find(serial);
    return found == mEntries.end() ? nullptr : &found->second;
  }
  return &mEntries[serial];
}

void TreeBuilder::ReleaseHolds() {
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
