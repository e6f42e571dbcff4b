// A run of character data as the parser hands it over. Internal to
// genattr_xml.
#ifndef GENATTR_XML_TEXTRUN_H
#define GENATTR_XML_TEXTRUN_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace genattr {
namespace xml {

// Whether `length` bytes at `text` are all XML white space.
inline bool IsBlank(const char* text, std::size_t length) {
  // Indentation is mostly spaces: eight of them are one comparison, and the
  // last eight bytes of a piece of at least eight are one more.
  constexpr std::uint64_t kEightSpaces = 0x2020202020202020u;
  std::uint64_t word = 0;
  if (length >= sizeof word) {
    std::size_t i = 0;
    for (; i + sizeof word <= length; i += sizeof word) {
      std::memcpy(&word, text + i, sizeof word);
      if (word != kEightSpaces) {
        break;
      }
    }
    if (i + sizeof word > length) {
      std::memcpy(&word, text + length - sizeof word, sizeof word);
      if (word == kEightSpaces) {
        return true;
      }
    }
  }
  constexpr std::uint64_t kSpaces = (std::uint64_t{1} << ' ') | (std::uint64_t{1} << '\t') |
                                    (std::uint64_t{1} << '\n') | (std::uint64_t{1} << '\r');
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte > ' ' || ((kSpaces >> byte) & 1) == 0) {
      return false;
    }
  }
  return true;
}

// A text that ends in a zero byte, kept in storage that stays from text to
// text: allocated only when a text outgrows those before it, and filled
// inline rather than through std::string's out-of-line members.
class CharBuffer {
public:
  CharBuffer() = default;
  CharBuffer(const CharBuffer&) = delete;
  CharBuffer& operator=(const CharBuffer&) = delete;

  void Assign(const char* text) {
    mSize = 0;
    Append(text, std::strlen(text));
  }
  void Append(const char* text, std::size_t length) {
    if (length >= mCapacity - mSize) {
      Grow(length);
    }
    if (length == 1) {
      // A line break, as the parser hands each one over.
      mData[mSize] = *text;
    } else {
      std::memcpy(mData.get() + mSize, text, length);
    }
    mSize += length;
    mData[mSize] = '\0';
  }
  void Clear() {
    if (mSize != 0) {
      mSize = 0;
      mData[0] = '\0';
    }
  }

  const char* CStr() const { return mData ? mData.get() : ""; }
  std::size_t Size() const { return mSize; }

private:
  // Makes room for `length` more bytes and the zero byte; out of line, so
  // that appending stays small.
  void Grow(std::size_t length);

  std::unique_ptr<char[]> mData;
  std::size_t mSize = 0;
  std::size_t mCapacity = 0;
};

// The text of an element, or between two of its child elements, gathered from
// the pieces the parser hands over (between every two elements a line break
// and a piece of indentation), and whether it is only white space, which is
// known as the pieces come: a blank run is never looked at again.
class TextRun {
public:
  void Append(const char* text, std::size_t length) {
    mText.Append(text, length);
    mBlank = mBlank && IsBlank(text, length);
  }
  void Clear() {
    mText.Clear();
    mBlank = true;
  }

  const char* CStr() const { return mText.CStr(); }
  std::size_t Size() const { return mText.Size(); }
  bool Empty() const { return mText.Size() == 0; }
  // Only white space, or nothing.
  bool Blank() const { return mBlank; }

private:
  CharBuffer mText;
  bool mBlank = true;
};

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_TEXTRUN_H
