#include "text/LibraryState.h"

namespace genattr {
namespace detail {

// A plain pointer, so that the common path is a single thread-local load
// with no initialisation check.
thread_local ThreadState* gThreadState GENATTR_FAST_TLS = nullptr;

namespace {

std::atomic<std::size_t> gStatesAlive{0};

// Deletes the thread's state when the thread ends. It is constructed, and
// its destructor registered, only on threads that create a state. A state
// created after it ran (a host's thread-local object destroyed later that
// renders) is not released. It keeps its own pointer to the state: where
// thread-local variables are emulated (MinGW-w64), gThreadState may already
// read null when this destructor runs.
struct ThreadEnd {
  ThreadState* state = nullptr;

  ThreadEnd() = default;
  ThreadEnd(const ThreadEnd&) = delete;
  ThreadEnd& operator=(const ThreadEnd&) = delete;
  // The pointer is set while the state is deleted: the string-utility
  // destructor clears its slot in it.
  ~ThreadEnd() {
    if (state == nullptr) {
      return;
    }
    gThreadState = state;
    delete state;
    gThreadState = nullptr;
    state = nullptr;
    gStatesAlive.fetch_sub(1, std::memory_order_relaxed);
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
  end.state = new ThreadState();
  gThreadState = end.state;
  gStatesAlive.fetch_add(1, std::memory_order_relaxed);
  return *end.state;
}

std::size_t ThreadStatesAlive() noexcept {
  return gStatesAlive.load(std::memory_order_relaxed);
}

std::atomic<bool>& UtfTransferSwitch() {
  return gUtfTransferEnabled;
}

} // namespace detail
} // namespace genattr
