#include "tree/BlockPool.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>

#include "text/LibraryState.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kToolBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kToolBuild = true;
#else
constexpr bool kToolBuild = false;
#endif
#else
constexpr bool kToolBuild = false;
#endif

bool PoolBypassed() {
  static const bool bypassed = kToolBuild || std::getenv("GENATTR_NO_POOL") != nullptr;
  return bypassed;
}

// Sizes are served in steps of 8 bytes up to kLargestBlock; a size that is a
// multiple of 16 gets blocks at multiples of 16 from a 16-aligned start, which
// is all the alignment a type of that size can need here.
constexpr std::size_t kStep = 8;
constexpr std::size_t kLargestBlock = 128;
constexpr std::size_t kClasses = kLargestBlock / kStep;
// Small enough that the heap carves aligned slabs from its own pages without
// waste (larger ones are mapped alone with a slack as big as the alignment).
constexpr std::size_t kSlabBytes = 16 * 1024;
constexpr std::size_t kHeaderBytes = 64;

struct Arena;

struct Slab {
  Arena* owner;
  // Neighbours in the owner's list of slabs with free room.
  Slab* prev;
  Slab* next;
  void* freeList;
  std::uint32_t live;
  // Blocks never handed out start at this offset from the slab.
  std::uint32_t untouched;
  std::uint32_t blockSize;
  bool listed;
};
static_assert(sizeof(Slab) <= kHeaderBytes, "the slab header fits before the first block");

struct SizeClass {
  Slab* roomy = nullptr; // slabs with free room, the one allocated from first
  Slab* spare = nullptr; // one slab with no live block, kept for reuse
};

// A lock held for a few instructions: cheaper than a mutex when, as almost
// always, only the owning thread takes it.
class SpinLock {
public:
  void lock() noexcept {
    while (mBusy.exchange(true, std::memory_order_acquire)) {
      while (mBusy.load(std::memory_order_relaxed)) {
        std::this_thread::yield();
      }
    }
  }
  void unlock() noexcept { mBusy.store(false, std::memory_order_release); }

private:
  std::atomic<bool> mBusy{false};
};

struct Arena {
  // Guards the classes: the owning thread allocates and frees under it, other
  // threads free under it.
  SpinLock lock;
  SizeClass classes[kClasses];
  Arena* nextIdle = nullptr;
};

// Arenas of ended threads, handed to new ones; never released, so a block
// freed after its thread ended still finds its arena.
std::mutex gIdleLock;
Arena* gIdle = nullptr;

Slab* SlabOf(void* block) {
  return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) & ~(kSlabBytes - 1));
}

void Unlist(SizeClass& sizeClass, Slab& slab) {
  (slab.prev != nullptr ? slab.prev->next : sizeClass.roomy) = slab.next;
  if (slab.next != nullptr) {
    slab.next->prev = slab.prev;
  }
  slab.listed = false;
}

void List(SizeClass& sizeClass, Slab& slab) {
  slab.prev = nullptr;
  slab.next = sizeClass.roomy;
  if (slab.next != nullptr) {
    slab.next->prev = &slab;
  }
  sizeClass.roomy = &slab;
  slab.listed = true;
}

void ReleaseSlab(Slab* slab) {
  ::operator delete (static_cast<void*>(slab), std::align_val_t{kSlabBytes});
}

void ReleaseSpares(Arena& arena) {
  std::lock_guard<SpinLock> guard(arena.lock);
  for (SizeClass& sizeClass : arena.classes) {
    if (sizeClass.spare != nullptr) {
      ReleaseSlab(sizeClass.spare);
      sizeClass.spare = nullptr;
    }
  }
}

// The calling thread's arena: a plain pointer, so that the common path is
// one thread-local load.
thread_local Arena* tArena GENATTR_FAST_TLS = nullptr;

// Gives the thread's arena back, without its spare slabs, when the thread
// ends. Constructed, and its destructor registered, on the thread's first
// allocation.
struct ArenaRelease {
  ArenaRelease() = default;
  ArenaRelease(const ArenaRelease&) = delete;
  ArenaRelease& operator=(const ArenaRelease&) = delete;
  ~ArenaRelease() {
    if (tArena == nullptr) {
      return;
    }
    ReleaseSpares(*tArena);
    std::lock_guard<std::mutex> guard(gIdleLock);
    tArena->nextIdle = gIdle;
    gIdle = tArena;
    tArena = nullptr;
  }
};
thread_local ArenaRelease tArenaRelease;

Arena& CurrentArena() {
  if (tArena == nullptr) {
    ArenaRelease& release = tArenaRelease;
    static_cast<void>(release);
    std::lock_guard<std::mutex> guard(gIdleLock);
    if (gIdle != nullptr) {
      tArena = gIdle;
      gIdle = gIdle->nextIdle;
    } else {
      tArena = new Arena();
    }
  }
  return *tArena;
}

Slab* NewSlab(Arena& arena, std::size_t blockSize) {
  auto* slab = static_cast<Slab*>(::operator new (kSlabBytes, std::align_val_t{kSlabBytes}));
  slab->owner = &arena;
  slab->prev = slab->next = nullptr;
  slab->freeList = nullptr;
  slab->live = 0;
  slab->untouched = kHeaderBytes;
  slab->blockSize = static_cast<std::uint32_t>(blockSize);
  slab->listed = false;
  return slab;
}

bool HasRoom(const Slab& slab) {
  return slab.freeList != nullptr || slab.untouched + slab.blockSize <= kSlabBytes;
}

} // namespace

namespace genattr {
namespace detail {

void* AllocateBlock(std::size_t size) {
  if (size == 0 || size > kLargestBlock || PoolBypassed()) {
    return ::operator new(size);
  }
  const std::size_t index = (size - 1) / kStep;
  Arena& arena = CurrentArena();
  std::lock_guard<SpinLock> guard(arena.lock);
  SizeClass& sizeClass = arena.classes[index];
  Slab* slab = sizeClass.roomy;
  if (slab == nullptr) {
    slab = sizeClass.spare;
    sizeClass.spare = nullptr;
    if (slab == nullptr) {
      slab = NewSlab(arena, (index + 1) * kStep);
    }
    List(sizeClass, *slab);
  }
  void* block;
  if (slab->freeList != nullptr) {
    block = slab->freeList;
    slab->freeList = *static_cast<void**>(block);
  } else {
    block = reinterpret_cast<char*>(slab) + slab->untouched;
    slab->untouched += slab->blockSize;
  }
  ++slab->live;
  if (!HasRoom(*slab)) {
    Unlist(sizeClass, *slab);
  }
  return block;
}

void FreeBlock(void* block, std::size_t size) noexcept {
  if (block == nullptr) {
    return;
  }
  if (size == 0 || size > kLargestBlock || PoolBypassed()) {
    ::operator delete(block);
    return;
  }
  Slab* const slab = SlabOf(block);
  Arena& arena = *slab->owner;
  std::lock_guard<SpinLock> guard(arena.lock);
  SizeClass& sizeClass = arena.classes[(size - 1) / kStep];
  *static_cast<void**>(block) = slab->freeList;
  slab->freeList = block;
  if (--slab->live == 0) {
    // Empty: kept as the class's spare, or given back to the heap.
    if (slab->listed) {
      Unlist(sizeClass, *slab);
    }
    slab->freeList = nullptr;
    slab->untouched = kHeaderBytes;
    if (sizeClass.spare == nullptr) {
      sizeClass.spare = slab;
    } else {
      ReleaseSlab(slab);
    }
  } else if (!slab->listed) {
    List(sizeClass, *slab);
  }
}

} // namespace detail
} // namespace genattr
