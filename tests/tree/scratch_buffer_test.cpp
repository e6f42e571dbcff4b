// Growth and reuse of the conversion scratch buffers.
#include <gtest/gtest.h>

#include "base/ScratchBuffer.h"

namespace {

TEST(ScratchBuffer, DoublesToFitAndRenewsBelowAQuarter) {
  genattr::detail::ScratchBuffer<char16_t> buffer;
  EXPECT_EQ(buffer.Capacity(), 1u);
  buffer.Reserve(7);
  EXPECT_EQ(buffer.Capacity(), 8u);
  char16_t* storage = buffer.Reserve(9);
  EXPECT_EQ(buffer.Capacity(), 16u);
  storage[15] = u'x';                     // the whole capacity is usable (ASan)
  EXPECT_EQ(buffer.Reserve(5), storage);  // above a quarter of 16
  EXPECT_EQ(buffer.Reserve(16), storage); // exactly the capacity
  char16_t* renewed = buffer.Reserve(4);  // a quarter: fresh storage, same size
  EXPECT_NE(renewed, storage);
  EXPECT_EQ(buffer.Capacity(), 16u);
  EXPECT_EQ(renewed, buffer.Data());
}

} // namespace
