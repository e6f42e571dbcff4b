#include "xml/TextRun.h"

#include <new>
#include <utility>

namespace genattr {
namespace xml {

void CharBuffer::Grow(std::size_t length) {
  if (length >= SIZE_MAX / 2 - mSize) {
    throw std::bad_alloc();
  }
  std::size_t capacity = mCapacity < 64 ? 64 : mCapacity;
  while (capacity - mSize <= length) {
    capacity *= 2;
  }
  std::unique_ptr<char[]> data(new char[capacity]);
  if (mSize != 0) {
    std::memcpy(data.get(), mData.get(), mSize);
  }
  mData = std::move(data);
  mCapacity = capacity;
}

} // namespace xml
} // namespace genattr
