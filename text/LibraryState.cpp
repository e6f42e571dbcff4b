#include "text/LibraryState.h"

namespace genattr {
namespace detail {

// A plain pointer, so that the common path is a single thread-local load
// with no initialisation check.
thread_local ThreadState* gThreadState GENATTR_FAST_TLS = nullptr;

namespace {

// Deletes the thread's state when the thread ends. It is constructed, and
// its destructor registered, only on threads that create a state. A state
// created after it ran (a host's thread-local object destroyed later that
// renders) is not released.
struct ThreadEnd {
  ThreadEnd() = default;
  ThreadEnd(const ThreadEnd&) = delete;
  ThreadEnd& operator=(const ThreadEnd&) = delete;
  // The pointer stays set while the state is deleted: the string-utility
  // destructor clears its slot in it.
  ~ThreadEnd() {
    delete gThreadState;
    gThreadState = nullptr;
  }
};
thread_local ThreadEnd gThreadEnd;

std::atomic<bool> gUtfTransferEnabled{false};

} // namespace

ThreadState::~ThreadState() {
  delete[] mpValueBuffer;
  delete mpStringUtils;
}

ThreadState& CreateThreadState() {
  // Naming the object constructs it on this thread, which registers its
  // destructor.
  ThreadEnd& end = gThreadEnd;
  static_cast<void>(end);
  gThreadState = new ThreadState();
  return *gThreadState;
}

std::atomic<bool>& UtfTransferSwitch() {
  return gUtfTransferEnabled;
}

} // namespace detail
} // namespace genattr
