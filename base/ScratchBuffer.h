// A reusable array for conversion results. Internal to the library.
#ifndef GENATTR_BASE_SCRATCHBUFFER_H
#define GENATTR_BASE_SCRATCHBUFFER_H

#include <cstdint>

namespace genattr {
namespace detail {

// Owns an array of `T` whose capacity starts at one element and grows by
// doubling. Reserve() may replace the array, so a pointer from Data() stays
// valid only until the next Reserve(); the content is never carried over.
template <typename T> class ScratchBuffer {
public:
  ScratchBuffer() : mpStorage(new T[1]()), mCapacity(1) {}
  ScratchBuffer(const ScratchBuffer&) = delete;
  ScratchBuffer& operator=(const ScratchBuffer&) = delete;
  ~ScratchBuffer() { delete[] mpStorage; }

  // Makes room for `count` elements and returns the storage. A larger count
  // doubles the capacity until it fits; a count of at most a quarter of the
  // capacity takes fresh storage of the same capacity; any other count keeps
  // the storage as it is.
  T* Reserve(std::uint64_t count) {
    std::uint64_t capacity = mCapacity;
    if (count <= capacity && count > capacity / 4) {
      return mpStorage;
    }
    while (capacity < count) {
      capacity *= 2;
    }
    // The new array is taken before the old one goes, so that a failed
    // allocation leaves the buffer as it was.
    T* storage = new T[capacity];
    delete[] mpStorage;
    mpStorage = storage;
    mCapacity = capacity;
    return mpStorage;
  }

  T* Data() const { return mpStorage; }
  std::uint64_t Capacity() const { return mCapacity; }

private:
  T* mpStorage;
  std::uint64_t mCapacity;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_BASE_SCRATCHBUFFER_H
