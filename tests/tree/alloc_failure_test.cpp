// Running out of memory: constructors and deep copies release what they took,
// destruction needs no memory at all. This executable replaces the global
// allocation operators with ones that fail on demand and count live blocks.
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrString.h"
#include "tests/tree/TreeProbes.h"

namespace {

long gLiveBlocks = 0;
// Allocations left before one fails; negative for never.
long gAllocationsLeft = -1;

void* Allocate(std::size_t size) {
  if (gAllocationsLeft == 0) {
    throw std::bad_alloc();
  }
  if (gAllocationsLeft > 0) {
    --gAllocationsLeft;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  ++gLiveBlocks;
  return block;
}

void Release(void* block) {
  if (block != nullptr) {
    --gLiveBlocks;
    std::free(block);
  }
}

// Runs `attempt` with the k-th allocation failing, for k = 0, 1, ... until it
// succeeds; every failed attempt must leave the live blocks as they were.
// `attempt` returns the node it made, which is then freed.
template <typename Attempt> testing::AssertionResult FailsCleanly(Attempt attempt) {
  for (long k = 0;; ++k) {
    const long before = gLiveBlocks;
    gAllocationsLeft = k;
    try {
      GenAttrBase* made = attempt();
      gAllocationsLeft = -1;
      GenAttrBase::Free(made);
      if (k == 0) {
        return testing::AssertionFailure() << "nothing was allocated";
      }
      return testing::AssertionSuccess();
    } catch (const std::bad_alloc&) {
      gAllocationsLeft = -1;
    }
    if (gLiveBlocks != before) {
      return testing::AssertionFailure()
             << (gLiveBlocks - before) << " blocks leaked when allocation " << k << " failed";
    }
  }
}

// A root with a string, a container reference that shares a chain through a
// front link of another reference, and a grandchild; the references name an
// initial parent, so both bookkeeping maps are in use.
GenAttrCont* MakeTree() {
  auto* root = new GenAttrCont("root", "d");
  auto* node = new GenAttrCont("n");
  root->AddAttr(node);
  node->AddAttr(new GenAttrString("s", "d", "value"));
  auto* middle = new GenAttrCont("m", node);
  middle->AddAttrAtTop(new GenAttrBase("front"));
  root->AddAttr(middle);
  root->AddAttr(new GenAttrCont("o", middle));
  return root;
}

// On Windows each module binds its allocation operators when it is linked: the
// DLL keeps the runtime's operator new whatever this program defines.
class AllocFailure : public testing::Test {
protected:
  void SetUp() override {
#if defined(_WIN32)
    GTEST_SKIP() << "a program's operator new does not replace the one of a DLL on Windows";
#endif
  }
};

} // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* block) noexcept {
  Release(block);
}
void operator delete[](void* block) noexcept {
  Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
  Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  Release(block);
}

TEST_F(AllocFailure, ConstructorsReleaseWhatTheyTook) {
  GenAttrCont* tree = MakeTree();
  GenAttrBase* middle = ChildAt(*tree, 1);
  EXPECT_TRUE(FailsCleanly([] { return new GenAttrString("name", "description", "value"); }));
  EXPECT_TRUE(
      FailsCleanly([&] { return new GenAttrCont("r", static_cast<GenAttrCont*>(middle)); }));
  EXPECT_EQ(ChildNames(*middle), "front,s");
  GenAttrBase::Free(tree);
}

TEST_F(AllocFailure, DeepCopyReleasesAPartialCopy) {
  GenAttrCont* tree = MakeTree();
  EXPECT_TRUE(FailsCleanly([&] { return new GenAttrCont(tree); }));
  EXPECT_EQ(ChildNames(*tree), "n,m,o");
  EXPECT_EQ(ChildAt(*tree, 0)->GetRefCount(), 1);
  GenAttrBase::Free(tree);
}

TEST_F(AllocFailure, DestructionAllocatesNothing) {
  GenAttrCont* tree = MakeTree();
  auto* copy = new GenAttrCont(tree);
  const long before = gLiveBlocks;
  gAllocationsLeft = 0;
  GenAttrBase::Free(tree);
  GenAttrBase::Free(copy);
  gAllocationsLeft = -1;
  EXPECT_LT(gLiveBlocks, before);
}
