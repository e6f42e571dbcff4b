#include "text/LibraryState.h"

namespace genattr {
namespace detail {

namespace {

// Every node destruction reads this pointer, so its access must be cheap. In
// an ELF shared library the default model calls __tls_get_addr on each
// access; the initial-exec model is one load at a fixed offset from the
// thread pointer, and these eight bytes fit the static TLS reserve that the
// loader keeps even for a library loaded later with dlopen.
#if defined(__ELF__)
#define GENATTR_FAST_TLS __attribute__((tls_model("initial-exec")))
#else
#define GENATTR_FAST_TLS
#endif

// A plain pointer, so that the common path is a single thread-local load
// with no initialisation check.
thread_local ThreadState* gThreadState GENATTR_FAST_TLS = nullptr;

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

ThreadState& CurrentThreadState() {
  if (gThreadState == nullptr) {
    // Naming the object constructs it on this thread, which registers its
    // destructor.
    ThreadEnd& end = gThreadEnd;
    static_cast<void>(end);
    gThreadState = new ThreadState();
  }
  return *gThreadState;
}

void ReleaseValueBuffer() {
  if (ThreadState* state = gThreadState) {
    delete[] state->mpValueBuffer;
    state->mpValueBuffer = nullptr;
  }
}

std::atomic<bool>& UtfTransferSwitch() {
  return gUtfTransferEnabled;
}

} // namespace detail
} // namespace genattr
