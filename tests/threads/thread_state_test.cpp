// The rendering state a thread makes ends with the thread, also where
// thread-local variables are emulated and end in no particular order.
#include <thread>

#include <gtest/gtest.h>

#include "text/LibraryState.h"

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

} // namespace
