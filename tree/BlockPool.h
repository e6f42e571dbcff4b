// Small blocks for nodes, links and short texts, carved from slabs instead of
// taken one by one from the general-purpose heap. Internal to the library.
//
// Slabs belong to an arena, one per thread (no contention while trees stay on
// their threads). In front of its arena each thread keeps a short stack of
// free blocks per size class, so that the common allocation and release touch
// no lock: the stack is refilled from, and drained into, the arena's slabs a
// batch at a time under the arena's lock. A block freed on another thread
// goes straight back to its slab under the lock of the arena that made it.
// A slab whose blocks are all free goes back to the heap, except one spare
// per size class of a live thread's arena; when a thread ends its stacks are
// drained, its spares released and its arena kept for the next thread. So a
// process that frees every tree holds at most the stacks and spare slabs of
// each running thread.
//
// The pool is bypassed (every block comes from ::operator new) in builds with
// AddressSanitizer or ThreadSanitizer, and when the environment variable
// GENATTR_NO_POOL is set at the first allocation (memcheck runs set it), so
// that those tools still see every block alone.
#ifndef GENATTR_TREE_BLOCKPOOL_H
#define GENATTR_TREE_BLOCKPOOL_H

#include <cstddef>
#include <cstdint>
#include <new>

#include "base/LibraryState.h"
#include "genattr/GenAttrChildLink.h"

namespace genattr {
namespace detail {

// Sizes are served in steps of kPoolStep bytes up to kLargestPooledBlock.
constexpr std::size_t kPoolStep = 8;
constexpr std::size_t kLargestPooledBlock = 128;
constexpr std::size_t kPoolClasses = kLargestPooledBlock / kPoolStep;
// Slabs are this big and aligned to their size, so a block finds the header
// of its slab by masking its address; the header starts with the owning arena.
constexpr std::size_t kSlabBytes = 16 * 1024;

struct PoolArena;

// The calling thread's stacks of free blocks, one per size class, each
// threaded through the blocks' first bytes.
struct PoolCache {
  PoolArena* arena;
  void* top[kPoolClasses];
  std::uint32_t count[kPoolClasses];
};

// Null until the thread's first pooled allocation, and always null when the
// pool is bypassed.
extern GENATTR_THREAD_POINTER PoolCache* gPoolCache GENATTR_FAST_TLS;

// The slow paths: the stack of a class is empty (or the thread has none yet),
// it holds too many blocks, or the block is not the calling thread's.
void* AllocateSlow(std::size_t size);
void FreeSlow(void* block, std::size_t size) noexcept;
void DrainSome(PoolCache& cache, std::size_t sizeClass) noexcept;

// The start of the slab that holds the pooled `block`.
inline void* SlabStart(const void* block) noexcept {
  return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(block) & ~(kSlabBytes - 1));
}

// Whether the pooled `block` came from a slab of the arena of `cache`.
inline bool OwnBlock(const PoolCache& cache, const void* block) noexcept {
  return *static_cast<PoolArena* const*>(SlabStart(block)) == cache.arena;
}

// Most blocks a thread keeps on the stack of one size class.
constexpr std::uint32_t kCachedBlocks = 64;

// A block of `size` bytes, aligned for any type of that size up to 16 bytes;
// throws std::bad_alloc when no memory is left.
inline void* AllocateBlock(std::size_t size) {
  PoolCache* const cache = gPoolCache;
  if (cache != nullptr && size - 1 < kLargestPooledBlock) {
    const std::size_t sizeClass = (size - 1) / kPoolStep;
    if (void* const block = cache->top[sizeClass]) {
      cache->top[sizeClass] = *static_cast<void**>(block);
      --cache->count[sizeClass];
      return block;
    }
  }
  return AllocateSlow(size);
}

// Releases a block of AllocateBlock(size), from any thread (null is ignored).
inline void FreeBlock(void* block, std::size_t size) noexcept {
  PoolCache* const cache = gPoolCache;
  if (cache != nullptr && block != nullptr && size - 1 < kLargestPooledBlock &&
      OwnBlock(*cache, block)) {
    const std::size_t sizeClass = (size - 1) / kPoolStep;
    *static_cast<void**>(block) = cache->top[sizeClass];
    cache->top[sizeClass] = block;
    if (++cache->count[sizeClass] > kCachedBlocks) {
      DrainSome(*cache, sizeClass);
    }
    return;
  }
  FreeSlow(block, size);
}

#ifdef GENATTR_TEST_HOOKS
// Slabs and segments the pool holds at the moment, all arenas together, and
// whether the pool is in use at all. Only in the tests that compile the pool
// in themselves (with GENATTR_TEST_HOOKS): never part of a library.
std::size_t PoolSlabsHeld() noexcept;
std::size_t PoolSegmentsHeld() noexcept;
bool PoolInUse() noexcept;
#endif

// A link of a child chain, a copy of `link`, in a block of the pool.
inline GenAttrChildLink* NewLink(const GenAttrChildLink& link) {
  return new (AllocateBlock(sizeof(GenAttrChildLink))) GenAttrChildLink(link);
}
inline void DeleteLink(GenAttrChildLink* link) noexcept {
  FreeBlock(link, sizeof(GenAttrChildLink));
}

// Owns a link made by NewLink() until released.
struct LinkDeleter {
  void operator()(GenAttrChildLink* link) const noexcept { DeleteLink(link); }
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_BLOCKPOOL_H
