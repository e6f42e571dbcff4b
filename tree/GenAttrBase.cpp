#include "genattr/GenAttrBase.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "base/LibraryState.h"
#include "tree/BlockPool.h"
#include "tree/DeepCopy.h"
#include "tree/InitialParents.h"
#include "tree/OwnedText.h"
#include "tree/SharedChains.h"

using namespace genattr::detail;

namespace {

using Access = GenAttrTreeAccess;

// Ends the bookkeeping of `node` and takes the links it owns off it.
GenAttrChildLink* TakeOwnLinks(GenAttrBase& node) {
  if (Access::Record(node) != nullptr) {
    ForgetInitialParents(node);
    LeaveSharedChains(node);
  }
  GenAttrChildLink* const links = Access::First(node);
  Access::First(node) = nullptr;
  Access::SetLast(node, nullptr);
  Access::Cursor(node) = nullptr;
  return links;
}

// Stores a copy of `text` (null as empty) in `shortText` when it fits, else
// in an array of its own, and then releases the old array (never
// `shortText`). `text` may point into the current name: a short one is
// gathered before `shortText` is written, a long one copied before anything
// is freed.
template <std::size_t kCapacity>
void StoreName(char*& field, char (&shortText)[kCapacity], const char* text) {
  if (text == nullptr) {
    text = "";
  }
  // Scanning and gathering in one loop, then storing the whole array at
  // once, spares a short name a call to memcpy.
  char gathered[kCapacity] = {};
  std::size_t length = 0;
  for (; length < kCapacity; ++length) {
    const char c = text[length];
    if (c == '\0') {
      break;
    }
    gathered[length] = c;
  }
  char* const old = field;
  if (length < kCapacity) {
    std::memcpy(shortText, gathered, kCapacity);
    field = shortText;
  } else {
    field = CopyText(text);
  }
  if (old != shortText) {
    ReleaseText(old);
  }
}

// Gives back the count each of the links from `links` holds. The links whose
// child thereby ends go, in their order, on top of `doomed` (threaded through
// their next fields, so nothing is allocated) instead of being released: the
// first child is then taken next, and its children before the second, so a
// tree ends in the order it was built, which is the order of its memory.
void GiveBack(GenAttrBase& parent, GenAttrChildLink* links, GenAttrChildLink*& doomed) {
  GenAttrChildLink* first = nullptr;
  GenAttrChildLink* last = nullptr;
  for (GenAttrChildLink* link = links; link != nullptr;) {
    GenAttrChildLink* const next = link->mpNext;
    GenAttrBase& child = *link->mpAttr;
    if (Access::InitialParent(child) == &parent) {
      // A child without a record is listed nowhere.
      if (Access::Record(child) != nullptr) {
        ClearInitialParent(child);
      } else {
        Access::InitialParent(child) = nullptr;
      }
    }
    if (--Access::RefCount(child) <= 0) {
      (last != nullptr ? last->mpNext : first) = link;
      last = link;
    } else {
      genattr::detail::DeleteLink(link);
    }
    link = next;
  }
  if (last != nullptr) {
    last->mpNext = doomed;
    doomed = first;
  }
}

// Releases the links `node` owns and every node that thereby ends, without
// recursion: a doomed child gives back its own links before it is deleted, so
// its destructor finds nothing left to release, and a chain of any depth needs
// constant stack. The list of doomed nodes is local to the call, so trees on
// different threads never meet here.
void ReleaseChain(GenAttrBase& node) {
  GenAttrChildLink* doomed = nullptr;
  GiveBack(node, TakeOwnLinks(node), doomed);
  while (doomed != nullptr) {
    GenAttrChildLink* const link = doomed;
    doomed = link->mpNext;
    GenAttrBase* const child = link->mpAttr;
    genattr::detail::DeleteLink(link);
    // Most doomed nodes are leaves outside every reference.
    if (!Access::Bare(*child)) {
      GiveBack(*child, TakeOwnLinks(*child), doomed);
    }
    delete child;
  }
}

} // namespace

void* GenAttrBase::operator new(std::size_t size) {
  return genattr::detail::AllocateBlock(size);
}

void* GenAttrBase::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return genattr::detail::AllocateBlock(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void GenAttrBase::operator delete(void* node, std::size_t size) noexcept {
  genattr::detail::FreeBlock(node, size);
}

GenAttrBase::GenAttrBase(const char* name)
    : mpName(nullptr), mpDescription(nullptr), mType(Base), mEdits(0), mpFirst(nullptr),
      mpCurrent(nullptr), mpInitialParent(nullptr), mIsReference(0), mRefCount(0),
      mpLastOrRecord(nullptr) {
  StoreName(mpName, mShortName, name);
}

// Delegating constructors: once the name constructor is done, an exception
// later on runs the destructor, which releases whatever was taken so far.
GenAttrBase::GenAttrBase(const char* name, const char* description) : GenAttrBase(name) {
  mpDescription = CopyOptionalText(description);
}

GenAttrBase::GenAttrBase(const char* name, GenAttrBase* referenced) : GenAttrBase(name) {
  mIsReference = 1;
  if (referenced == nullptr) {
    return;
  }
  mpDescription = CopyOptionalText(referenced->mpDescription);
  ShareChain(*this, *referenced);
  if (referenced->mpInitialParent != nullptr) {
    RecordInitialParent(*this, referenced->mpInitialParent);
  }
}

GenAttrBase::GenAttrBase(const GenAttrBase* source)
    : GenAttrBase(source != nullptr ? source->mpName : nullptr,
                  source != nullptr ? source->mpDescription : nullptr) {
  if (source != nullptr) {
    CopySubtree(*this, *source);
  }
}

GenAttrBase::~GenAttrBase() {
  if (mRefCount > 0) {
    std::printf("WARNING: deleting a GenAttrBase (%s) with RefCount = %d\n", mpName, mRefCount);
  }
  if (!Access::Bare(*this)) {
    ReleaseChain(*this);
  }
  if (mIsReference == 0) {
    ReleaseValueBuffer();
  }
  if (mpName != mShortName) {
    ReleaseText(mpName);
  }
  ReleaseText(mpDescription);
  Access::DropRecord(*this);
}

const char* GenAttrBase::GetName() const {
  return mpName;
}

const char* GenAttrBase::GetDescription() const {
  return mpDescription;
}

void GenAttrBase::SetName(const char* name) {
  StoreName(mpName, mShortName, name);
}

void GenAttrBase::SetDescription(const char* description) {
  ReplaceOptionalText(mpDescription, description);
}

GenAttrType GenAttrBase::GetType() const {
  return mType;
}

void GenAttrBase::AddAttr(GenAttrBase* child) {
  if (child == nullptr) {
    return;
  }
  // Through a sharing reference the child goes to the end of the shared
  // chain, which its owner holds.
  GenAttrBase& owner = ChainOwner(*this);
  ChildAdoption adopt(*this, *child, &owner == this);
  GenAttrChildLink* const last = Access::Last(owner);
  GenAttrChildLink* const link = genattr::detail::NewLink(GenAttrChildLink{child, nullptr, last});
  if (last != nullptr) {
    last->mpNext = link;
  } else {
    owner.mpFirst = link;
  }
  Access::SetLast(owner, link);
  if (Access::Record(owner) != nullptr) {
    JoinAppended(owner, link);
    Access::CountAdded(owner);
  }
  ++owner.mEdits;
  ++mEdits;
  adopt.Done();
}

void GenAttrBase::AddAttrAtTop(GenAttrBase* child) {
  if (child == nullptr) {
    return;
  }
  ChildAdoption adopt(*this, *child, true);
  GenAttrChildLink* const link =
      genattr::detail::NewLink(GenAttrChildLink{child, mpFirst, nullptr});
  if (mpFirst == nullptr) {
    if (SharingRecord(*this) == nullptr) {
      Access::SetLast(*this, link);
    }
  } else if (mpFirst != OwnEnd(*this)) {
    // A link of the shared chain keeps its previous link: the new one belongs
    // to this node alone.
    mpFirst->mpPrev = link;
  }
  mpFirst = link;
  Access::CountAdded(*this); // a front link: no other node sees it
  ++mEdits;
  adopt.Done();
}

GenAttrBase* GenAttrBase::GetFirstAttr() {
  mpCurrent = mpFirst;
  return mpCurrent != nullptr ? mpCurrent->mpAttr : nullptr;
}

GenAttrBase* GenAttrBase::GetNextAttr() {
  if (mpCurrent == Access::BeforeFirst()) {
    mpCurrent = mpFirst;
  } else if (mpCurrent != nullptr) {
    mpCurrent = mpCurrent->mpNext;
  }
  return mpCurrent != nullptr ? mpCurrent->mpAttr : nullptr;
}

int GenAttrBase::HasChildren() const {
  return mpFirst != nullptr ? 1 : 0;
}

std::uint32_t GenAttrBase::GetNumberChildren() const {
  GenAttrNodeRecord* record = Access::Record(*this);
  if (record != nullptr && record->mCounted) {
    return record->mCount;
  }
  std::uint32_t count = 0;
  for (const GenAttrChildLink* link = mpFirst; link != nullptr; link = link->mpNext) {
    ++count;
  }
  // Kept where a record exists anyway, and for a chain long enough that the
  // record (which then also holds the last link) costs less than the walks.
  if (record == nullptr && count >= Access::KEPT_COUNT_FROM) {
    try {
      // The node is never a constant object: nodes are made with new.
      record = &Access::EnsureRecord(const_cast<GenAttrBase&>(*this));
    } catch (const std::bad_alloc&) {
      return count;
    }
  }
  if (record != nullptr) {
    record->mCount = count;
    record->mCounted = true;
  }
  return count;
}

GenAttrBase* GenAttrBase::GetAttrAt(std::uint32_t index) const {
  const ChainPosition position = PositionAt(const_cast<GenAttrBase&>(*this), index);
  return position.link != nullptr ? position.link->mpAttr : nullptr;
}

int GenAttrBase::IsReference() const {
  return mIsReference;
}

GenAttrBase* GenAttrBase::GetInitialParent() const {
  return mpInitialParent;
}

void GenAttrBase::SetInitialParent(GenAttrBase* parent) {
  if (mpInitialParent != nullptr) {
    std::printf("WARNING: GenAttrBase::SetInitialParent called twice!\n");
  }
  RecordInitialParent(*this, parent);
}

void GenAttrBase::AddRef() {
  ++mRefCount;
}

void GenAttrBase::UnRef() {
  if (--mRefCount <= 0) {
    delete this;
  }
}

int GenAttrBase::GetRefCount() const {
  return mRefCount;
}

void GenAttrBase::Free(GenAttrBase* node) {
  if (node != nullptr) {
    node->UnRef();
  }
}
