// A growable byte buffer for text being put together. Internal.
#ifndef GENATTR_SERIALIZE_TEXTBUFFER_H
#define GENATTR_SERIALIZE_TEXTBUFFER_H

#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>

namespace genattr {
namespace detail {

// Appends go straight into one array, which grows by doubling and is kept
// from text to text, so a writer appends without a test per byte once it has
// made room for a piece.
class TextBuffer {
public:
  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // Makes room for `length` more bytes at the end and returns where they go;
  // they count as written until Truncate() gives back what was not used.
  char* Extend(std::size_t length) {
    if (mCapacity - mSize < length) {
      Grow(length);
    }
    char* const at = mData.get() + mSize;
    mSize += length;
    return at;
  }
  // Ends the text at `end`, a position within it.
  void Truncate(const char* end) { mSize = static_cast<std::size_t>(end - mData.get()); }

  void Append(const char* text, std::size_t length) {
    if (length != 0) {
      std::memcpy(Extend(length), text, length);
    }
  }
  void Append(const char* text) { Append(text, std::strlen(text)); }
  // Appends a string literal: its length comes from its type, so that editing
  // a label can never leave a stale count behind.
  template <std::size_t N> void AppendLiteral(const char (&literal)[N]) { Append(literal, N - 1); }
  void Append(char c) { *Extend(1) = c; }
  void Fill(std::size_t count, char c) {
    if (count != 0) {
      std::memset(Extend(count), c, count);
    }
  }

  const char* Data() const { return mData.get(); }
  std::size_t Size() const { return mSize; }
  bool Empty() const { return mSize == 0; }
  void Clear() { mSize = 0; }

private:
  void Grow(std::size_t length) {
    std::size_t capacity = mCapacity < 256 ? 256 : mCapacity;
    while (capacity - mSize < length) {
      capacity *= 2;
    }
    std::unique_ptr<char[]> data(new char[capacity]);
    if (mSize != 0) {
      std::memcpy(data.get(), mData.get(), mSize);
    }
    mData = std::move(data);
    mCapacity = capacity;
  }

  std::unique_ptr<char[]> mData;
  std::size_t mSize = 0;
  std::size_t mCapacity = 0;
};

// The length of a text that is usually a few bytes long, such as a node
// name: a plain scan, cheaper for those than a call into strlen.
inline std::size_t ShortTextLength(const char* text) {
  const char* end = text;
  while (*end != '\0') {
    ++end;
  }
  return static_cast<std::size_t>(end - text);
}

// Copies `length` bytes of `text` to `at`, in room made with
// TextBuffer::Extend(), and returns the end of the copy.
inline char* CopyInto(char* at, const char* text, std::size_t length) {
  if (length != 0) {
    std::memcpy(at, text, length);
  }
  return at + length;
}
// Copies a string literal, its length taken from its type.
template <std::size_t N> char* CopyInto(char* at, const char (&literal)[N]) {
  return CopyInto(at, literal, N - 1);
}

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_TEXTBUFFER_H
