// A host's thread-local object whose destructor uses the heap at the
// thread's end. For the tests of what the library releases when a thread
// ends.
#ifndef GENATTR_TESTS_SUPPORT_HEAPATTHREADEND_H
#define GENATTR_TESTS_SUPPORT_HEAPATTHREADEND_H

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace genattr_test {

// Its destructor takes and scribbles over small heap blocks, among them
// those just given back by the thread's storage of thread-local variables
// where these are emulated (MinGW-w64 frees that storage first).
struct HeapAtThreadEnd {
  void Touch() {}
  ~HeapAtThreadEnd() {
    void* taken[256];
    for (std::size_t i = 0; i < 256; ++i) {
      taken[i] = std::malloc(8 + i % 8 * 8);
      if (taken[i] != nullptr) {
        std::memset(taken[i], 0xa5, 8 + i % 8 * 8);
      }
    }
    for (void* block : taken) {
      std::free(block);
    }
  }
};

} // namespace genattr_test

#endif // GENATTR_TESTS_SUPPORT_HEAPATTHREADEND_H
