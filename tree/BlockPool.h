// Small blocks for nodes and links, carved from slabs instead of taken one by
// one from the general-purpose heap. Internal to the library.
//
// Each thread allocates from an arena of its own (no contention while trees
// stay on their threads); a block may be freed on any thread, which returns
// it to the arena that made it under that arena's lock. A slab whose blocks
// are all free goes back to the heap, except one spare per size class of a
// live thread's arena; a thread's spares are released when it ends and its
// arena is kept for the next thread. So a process that frees every tree holds
// at most a spare slab per size class of each running thread.
//
// The pool is bypassed (every block comes from ::operator new) in builds with
// AddressSanitizer or ThreadSanitizer, and when the environment variable
// GENATTR_NO_POOL is set at the first allocation (memcheck runs set it), so
// that those tools still see every block alone.
#ifndef GENATTR_TREE_BLOCKPOOL_H
#define GENATTR_TREE_BLOCKPOOL_H

#include <cstddef>
#include <new>

#include "genattr/GenAttrChildLink.h"

namespace genattr {
namespace detail {

// A block of `size` bytes, aligned for any type of that size up to 16 bytes;
// throws std::bad_alloc when no memory is left.
void* AllocateBlock(std::size_t size);
// Releases a block of AllocateBlock(size) (null is ignored).
void FreeBlock(void* block, std::size_t size) noexcept;

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
