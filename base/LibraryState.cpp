#include "base/LibraryState.h"

#include <memory>

#include "base/Platform.h"

namespace genattr {
namespace detail {

// A plain pointer, so that the common path is a single thread-local load
// with no initialisation check.
GENATTR_THREAD_POINTER ThreadState* gThreadState GENATTR_FAST_TLS = nullptr;

namespace {

std::atomic<std::size_t> gStatesAlive{0};

// Deletes the thread's state when the thread ends; registered only on
// threads that create a state. A state created after it ran (a host's
// thread-local object destroyed later that renders) is not released. The
// pointer is set while the state is deleted: the string-utility destructor
// clears its slot in it.
void DeleteThreadState(void* state) {
  gThreadState = static_cast<ThreadState*>(state);
  delete gThreadState;
  gThreadState = nullptr;
  gStatesAlive.fetch_sub(1, std::memory_order_relaxed);
}

std::atomic<bool> gUtfTransferEnabled{false};

} // namespace

ThreadState::~ThreadState() {
  delete[] mpValueBuffer;
  delete mpStringUtils;
}

ThreadState& CreateThreadState() {
  std::unique_ptr<ThreadState> state(new ThreadState());
  CallAtThreadEnd<DeleteThreadState>(state.get());
  gThreadState = state.release();
  gStatesAlive.fetch_add(1, std::memory_order_relaxed);
  return *gThreadState;
}

#ifdef GENATTR_TEST_HOOKS
std::size_t ThreadStatesAlive() noexcept {
  return gStatesAlive.load(std::memory_order_relaxed);
}
#endif

std::atomic<bool>& UtfTransferSwitch() {
  return gUtfTransferEnabled;
}

} // namespace detail
} // namespace genattr
