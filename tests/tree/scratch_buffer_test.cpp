// Growth and reuse of the conversion scratch buffers.
#include <cstdint>

#include <gtest/gtest.h>

#include "tree/ScratchBuffer.h"

namespace {

using genattr::detail::ScratchBuffer;

TEST(ScratchBuffer, DoublesUntilTheRequestFits) {
  ScratchBuffer<char16_t> buffer;
  EXPECT_EQ(buffer.Capacity(), 1u);
  char16_t* first = buffer.Reserve(1);
  EXPECT_EQ(first, buffer.Data());
  EXPECT_EQ(buffer.Capacity(), 1u);
  buffer.Reserve(7);
  EXPECT_EQ(buffer.Capacity(), 8u);
  buffer.Reserve(9);
  EXPECT_EQ(buffer.Capacity(), 16u);
  buffer.Reserve(16);
  EXPECT_EQ(buffer.Capacity(), 16u);
  buffer.Reserve(100);
  EXPECT_EQ(buffer.Capacity(), 128u);
  // Every element of the new storage is usable (checked by ASan).
  char16_t* storage = buffer.Reserve(128);
  storage[127] = u'x';
}

TEST(ScratchBuffer, KeepsStorageOnlyAboveAQuarter) {
  ScratchBuffer<unsigned char> buffer;
  buffer.Reserve(16);
  unsigned char* storage = buffer.Data();
  EXPECT_EQ(buffer.Reserve(5), storage);    // above a quarter of 16
  EXPECT_EQ(buffer.Reserve(16), storage);   // exactly the capacity
  unsigned char* fresh = buffer.Reserve(4); // a quarter: fresh storage, same size
  EXPECT_NE(fresh, storage);
  EXPECT_EQ(buffer.Capacity(), 16u);
  unsigned char* smallest = buffer.Reserve(1);
  EXPECT_NE(smallest, fresh);
  EXPECT_EQ(smallest, buffer.Data());
  EXPECT_EQ(buffer.Capacity(), 16u);
}

} // namespace
