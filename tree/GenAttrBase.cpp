#include "genattr/GenAttrBase.h"

#include <cstdio>

#include "text/LibraryState.h"
#include "tree/DeepCopy.h"
#include "tree/InitialParents.h"
#include "tree/OwnedText.h"
#include "tree/SharedChains.h"

using namespace genattr::detail;

namespace {

// Destruction never recurses: a child whose count a destructor brings to 0 is
// not deleted there but put on this stack, threaded through the link that
// held it (so a destructor allocates nothing), and the outermost destructor
// deletes the stacked nodes one by one. A chain of any depth then needs
// constant stack.
GenAttrChildLink* gDoomed = nullptr;
// Number of node destructors running.
int gDestructorDepth = 0;

void DeleteDoomed() {
  while (gDoomed != nullptr) {
    GenAttrChildLink* link = gDoomed;
    gDoomed = link->mpNext;
    GenAttrBase* node = link->mpAttr;
    delete link;
    delete node;
  }
}

} // namespace

GenAttrBase::GenAttrBase(const char* name)
    : mpName(CopyText(name)), mpDescription(nullptr), mType(Base), mWalkMark(0), mpFirst(nullptr),
      mpCurrent(nullptr), mpInitialParent(nullptr), mIsReference(0), mRefCount(0), mpLast(nullptr),
      mpRefInfo(nullptr) {}

// Delegating constructors: once the name constructor is done, an exception
// later on runs the destructor, which releases whatever was taken so far.
GenAttrBase::GenAttrBase(const char* name, const char* description) : GenAttrBase(name) {
  mpDescription = CopyOptionalText(description);
}

GenAttrBase::GenAttrBase(const char* name, GenAttrBase* referenced) : GenAttrBase(name) {
  mpRefInfo = new GenAttrRefInfo();
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
  // The outermost deep copy builds the whole subtree in one loop; the
  // constructors it runs for the children must not do it again.
  if (source != nullptr && !CopyingSubtree()) {
    CopySubtree(*this, *source);
  }
}

GenAttrBase::~GenAttrBase() {
  ++gDestructorDepth;
  if (mRefCount > 0) {
    std::printf("WARNING: deleting a GenAttrBase (%s) with RefCount = %d\n", mpName, mRefCount);
  }
  ForgetInitialParents(*this);
  LeaveSharedChains(*this);

  // A reference has now left any shared chain: what mpFirst reaches is this
  // node's own to release.
  for (GenAttrChildLink* link = mpFirst; link != nullptr;) {
    GenAttrChildLink* const next = link->mpNext;
    GenAttrBase* const child = link->mpAttr;
    if (child->mpInitialParent == this) {
      child->mpInitialParent = nullptr;
    }
    if (--child->mRefCount <= 0) {
      link->mpNext = gDoomed;
      gDoomed = link;
    } else {
      delete link;
    }
    link = next;
  }

  if (mIsReference == 0) {
    ReleaseValueBuffer();
  }
  delete[] mpName;
  delete[] mpDescription;
  delete mpRefInfo;
  if (gDestructorDepth == 1) {
    DeleteDoomed();
  }
  --gDestructorDepth;
}

const char* GenAttrBase::GetName() const {
  return mpName;
}

const char* GenAttrBase::GetDescription() const {
  return mpDescription;
}

void GenAttrBase::SetName(const char* name) {
  ReplaceText(mpName, name);
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
  const bool shared = mpRefInfo != nullptr && mpRefInfo->mpOwner != nullptr;
  GenAttrBase& owner = shared ? *mpRefInfo->mpOwner : *this;
  GenAttrChildLink* const link = new GenAttrChildLink{child, nullptr, owner.mpLast};
  if (owner.mpLast != nullptr) {
    owner.mpLast->mpNext = link;
  } else {
    owner.mpFirst = link;
  }
  owner.mpLast = link;
  if (shared && mpRefInfo->mpFirstAppended == nullptr) {
    mpRefInfo->mpFirstAppended = link;
  }
  ++child->mRefCount;
  if (child->mpInitialParent == nullptr) {
    child->mpInitialParent = this;
  }
}

void GenAttrBase::AddAttrAtTop(GenAttrBase* child) {
  if (child == nullptr) {
    return;
  }
  GenAttrChildLink* const link = new GenAttrChildLink{child, mpFirst, nullptr};
  if (mpFirst == nullptr) {
    mpLast = link;
  } else if (mpRefInfo == nullptr || mpRefInfo->mpOwner == nullptr ||
             mpFirst != mpRefInfo->mpFirstShared) {
    // A link of the shared chain keeps its previous link: the new one belongs
    // to this reference alone.
    mpFirst->mpPrev = link;
  }
  mpFirst = link;
  ++child->mRefCount;
  if (child->mpInitialParent == nullptr) {
    child->mpInitialParent = this;
  }
}

GenAttrBase* GenAttrBase::GetFirstAttr() {
  mpCurrent = mpFirst;
  return mpCurrent != nullptr ? mpCurrent->mpAttr : nullptr;
}

GenAttrBase* GenAttrBase::GetNextAttr() {
  if (mpCurrent != nullptr) {
    mpCurrent = mpCurrent->mpNext;
  }
  return mpCurrent != nullptr ? mpCurrent->mpAttr : nullptr;
}

int GenAttrBase::HasChildren() const {
  return mpFirst != nullptr ? 1 : 0;
}

std::uint32_t GenAttrBase::GetNumberChildren() const {
  std::uint32_t count = 0;
  for (const GenAttrChildLink* link = mpFirst; link != nullptr; link = link->mpNext) {
    ++count;
  }
  return count;
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
