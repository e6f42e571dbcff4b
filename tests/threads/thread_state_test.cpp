// The rendering state a thread makes ends with the thread, also where
// thread-local variables are emulated and end in no particular order.
#include <thread>

#include <gtest/gtest.h>

#include "base/LibraryState.h"
#include "tests/support/HeapAtThreadEnd.h"

namespace {

using genattr::detail::CurrentThreadState;
using genattr::detail::ThreadStatesAlive;

TEST(ThreadState, EndsWithItsThread) {
  const std::size_t before = ThreadStatesAlive();
  std::thread([before] {
    CurrentThreadState().mpValueBuffer = new char[128];
    EXPECT_EQ(ThreadStatesAlive(), before + 1);
  }).join();
  EXPECT_EQ(ThreadStatesAlive(), before);
}

// The state is still deleted, and only once, when a thread-local object made
// after it uses the heap as the thread ends (and so overwrites freed
// thread-local storage where it is emulated).
TEST(ThreadState, EndsAfterOtherThreadLocals) {
  const std::size_t before = ThreadStatesAlive();
  for (int round = 0; round < 4; ++round) {
    std::thread([] {
      CurrentThreadState().mpValueBuffer = new char[128];
      static thread_local genattr_test::HeapAtThreadEnd later;
      later.Touch();
    }).join();
    EXPECT_EQ(ThreadStatesAlive(), before) << "round " << round;
  }
}

} // namespace
