// The pool of small blocks behind nodes and links: blocks never overlap while
// live, whichever thread frees them; and sanitizer builds still see a node's
// memory after it is freed.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/support/HeapAtThreadEnd.h"
#include "tree/BlockPool.h"

namespace {

using genattr::detail::AllocateBlock;
using genattr::detail::FreeBlock;

struct Block {
  unsigned char* bytes;
  std::size_t size;
  unsigned char mark;
};

bool Intact(const Block& block) {
  for (std::size_t i = 0; i < block.size; ++i) {
    if (block.bytes[i] != block.mark) {
      return false;
    }
  }
  return true;
}

// Random sizes in and beyond the pooled range, each block filled with its own
// mark and checked before it is freed: an overlap or a corrupt free list
// shows as a changed byte. Half of the blocks are freed by a second thread.
TEST(BlockPool, LiveBlocksKeepTheirBytesWhoeverFreesThem) {
  std::mt19937 random(7);
  std::vector<Block> live;
  std::vector<Block> handed;
  unsigned char mark = 0;
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < 5000; ++i) {
      const std::size_t size = 1 + random() % 160;
      auto* bytes = static_cast<unsigned char*>(AllocateBlock(size));
      std::memset(bytes, ++mark, size);
      live.push_back({bytes, size, mark});
    }
    std::shuffle(live.begin(), live.end(), random);
    handed.assign(live.begin(), live.begin() + live.size() / 2);
    live.erase(live.begin(), live.begin() + live.size() / 2);
    bool handedIntact = true;
    std::thread other([&] {
      for (const Block& block : handed) {
        handedIntact = handedIntact && Intact(block);
        FreeBlock(block.bytes, block.size);
      }
    });
    for (std::size_t i = 0; i < live.size() / 2; ++i) {
      ASSERT_TRUE(Intact(live.back()));
      FreeBlock(live.back().bytes, live.back().size);
      live.pop_back();
    }
    other.join();
    ASSERT_TRUE(handedIntact);
  }
  for (const Block& block : live) {
    ASSERT_TRUE(Intact(block));
    FreeBlock(block.bytes, block.size);
  }
}

// Blocks of three node-like sizes, freed in the reverse order of their making
// (as a tree is), either by the thread that made them while it lives or by
// another thread after it ended: in both cases the pool gives the slabs back,
// keeping at most a spare and the slabs of the few blocks its stacks hold.
TEST(BlockPool, FreedMemoryGoesBackToTheHeap) {
  if (!genattr::detail::PoolInUse()) {
    GTEST_SKIP() << "every block comes from the heap in this build";
  }
  const std::size_t sizes[] = {24, 88, 96};
  const std::size_t before = genattr::detail::PoolSlabsHeld();
  const std::size_t segmentsBefore = genattr::detail::PoolSegmentsHeld();
  std::vector<Block> made;
  std::size_t heldWhileAlive = 0;
  std::thread maker([&] {
    for (int i = 0; i < 60000; ++i) {
      const std::size_t size = sizes[i % 3];
      made.push_back({static_cast<unsigned char*>(AllocateBlock(size)), size, 0});
    }
    EXPECT_GT(genattr::detail::PoolSlabsHeld(), before + 200);
    for (auto block = made.rbegin(); block != made.rend(); ++block) {
      FreeBlock(block->bytes, block->size);
    }
    heldWhileAlive = genattr::detail::PoolSlabsHeld();
    for (int i = 0; i < 60000; ++i) {
      made[i].bytes = static_cast<unsigned char*>(AllocateBlock(sizes[i % 3]));
    }
  });
  maker.join();
  // Per class a spare and the one or two slabs of the blocks on the stack.
  EXPECT_LE(heldWhileAlive, before + 3 * 3);
  for (const Block& block : made) {
    FreeBlock(block.bytes, block.size);
  }
  EXPECT_EQ(genattr::detail::PoolSlabsHeld(), before);
  EXPECT_EQ(genattr::detail::PoolSegmentsHeld(), segmentsBefore);
}

// The thread's stacks still go back, and its slabs with them, when the
// thread's other thread-local objects, made after its first block and so
// destroyed before the pool lets go of the thread, use the heap (and so
// overwrite freed thread-local storage where it is emulated).
TEST(BlockPool, ThreadEndReleasesTheStacksAfterOtherThreadLocals) {
  if (!genattr::detail::PoolInUse()) {
    GTEST_SKIP() << "every block comes from the heap in this build";
  }
  const std::size_t before = genattr::detail::PoolSlabsHeld();
  for (int round = 0; round < 4; ++round) {
    std::thread([] {
      void* const block = AllocateBlock(40);
      static thread_local genattr_test::HeapAtThreadEnd later;
      later.Touch();
      FreeBlock(block, 40);
    }).join();
    EXPECT_EQ(genattr::detail::PoolSlabsHeld(), before) << "round " << round;
  }
}

// A node the host places and ends by hand, its own count given up first.
class PlacedNode : public GenAttrBase {
public:
  using GenAttrBase::GenAttrBase;
  void Forget() { mRefCount = 0; }
};

// The host's ways of making nodes keep working with the class's allocation.
TEST(BlockPool, NodesMadeWithEveryFormOfNew) {
  GenAttrBase* plain = new (std::nothrow) GenAttrInt("n", 1);
  ASSERT_NE(plain, nullptr);
  alignas(GenAttrInt) unsigned char place[sizeof(GenAttrInt)];
  auto* placed = new (place) GenAttrBase("placed");
  plain->AddAttr(new GenAttrString("s", "a value longer than any short name"));
  EXPECT_STREQ(plain->GetAttr("s")->GetValueAsString(), "a value longer than any short name");
  placed->~GenAttrBase();
  // A placed node can be linked as long as the host keeps a count of its own.
  alignas(PlacedNode) unsigned char room[sizeof(PlacedNode)];
  auto* linked = new (room) PlacedNode("linked");
  linked->AddRef();
  plain->AddAttr(linked);
  plain->AddAttrAtTop(linked);
  EXPECT_EQ(plain->GetNumberChildren(), 3);
  EXPECT_EQ(plain->RemoveAttr(linked), 1);
  GenAttrBase::Free(plain);
  EXPECT_EQ(linked->GetRefCount(), 1);
  linked->Forget();
  linked->~PlacedNode();
}

#if defined(__SANITIZE_ADDRESS__)
#define GENATTR_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GENATTR_TEST_ASAN 1
#endif
#endif

#ifdef GENATTR_TEST_ASAN
// A planted use after free: the pool must not hide it from AddressSanitizer.
TEST(BlockPoolDeathTest, AddressSanitizerSeesAFreedNode) {
  EXPECT_DEATH(
      {
        auto* node = new GenAttrInt("n", 1);
        node->AddRef();
        const volatile char* bytes = reinterpret_cast<const volatile char*>(node);
        GenAttrBase::Free(node);
        std::printf("%d\n", bytes[sizeof(void*)]);
      },
      "heap-use-after-free");
}
#endif

} // namespace
