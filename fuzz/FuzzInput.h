// Reading the bytes of one fuzz input as a small program, and stopping the
// run on a broken expectation. Shared by the fuzz targets.
#ifndef GENATTR_FUZZ_FUZZINPUT_H
#define GENATTR_FUZZ_FUZZINPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzz {

// Hands out the input front to back. Past the end every read yields zeros,
// so a short input is still a whole program.
class FuzzInput {
public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}

  bool Empty() const { return mPos >= mSize; }
  std::size_t Left() const { return mSize - mPos; }

  std::uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }

  // A value from 0 to n - 1 (n at least 1), from as few bytes as it needs.
  std::uint32_t Below(std::uint32_t n) {
    if (n <= 256) {
      return Byte() % n;
    }
    return Raw<std::uint32_t>() % n;
  }

  // The next sizeof(T) bytes taken as a T, bit for bit (NaNs and infinities
  // included for floating types).
  template <typename T> T Raw() {
    unsigned char bytes[sizeof(T)] = {};
    for (unsigned char& b : bytes) {
      b = Byte();
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }

  // Up to `maxLength` bytes announced by a length byte, stopping early at a
  // zero byte so that the result is a whole C text.
  std::string Text(std::size_t maxLength) {
    const std::size_t length = Byte() % (maxLength + 1);
    std::string text;
    for (std::size_t i = 0; i < length && !Empty(); ++i) {
      const char c = static_cast<char>(Byte());
      if (c == '\0') {
        break;
      }
      text += c;
    }
    return text;
  }

  // The rest of the input.
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(mData + mPos), mSize - mPos);
    mPos = mSize;
    return rest;
  }

private:
  const std::uint8_t* mData;
  std::size_t mSize;
  std::size_t mPos = 0;
};

// Ends the run as a finding: the fuzzer keeps the input that got here.
[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: expectation failed: %s\n", file, line, what);
  std::abort();
}

} // namespace fuzz

// Variadic, so that a condition may hold template arguments with commas.
#define FUZZ_CHECK(...)                                                                            \
  do {                                                                                             \
    if (!(__VA_ARGS__)) {                                                                          \
      ::fuzz::Fail(__FILE__, __LINE__, #__VA_ARGS__);                                              \
    }                                                                                              \
  } while (false)

#endif // GENATTR_FUZZ_FUZZINPUT_H
