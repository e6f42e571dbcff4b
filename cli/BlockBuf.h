// The stream buffer both the progress display and the listing filter build on.
// Internal.
#ifndef GENATTR_CLI_BLOCKBUF_H
#define GENATTR_CLI_BLOCKBUF_H

#include <streambuf>

namespace genattr {
namespace cli {

// Gathers what is written into blocks of 64 KiB and hands each block, and the
// rest on a flush, to Pass(), which forwards what it keeps to the target.
class BlockBuf : public std::streambuf {
public:
  explicit BlockBuf(std::streambuf* target) : mpTarget(target) {
    setp(mBuffer, mBuffer + sizeof mBuffer);
  }

protected:
  // Hands the bytes [begin, end) on; false when the target failed.
  virtual bool Pass(const char* begin, const char* end) = 0;

  // Passes the pending bytes on and empties the block.
  bool Drain() {
    const bool good = Pass(pbase(), pptr());
    setp(mBuffer, mBuffer + sizeof mBuffer);
    return good;
  }

  int_type overflow(int_type c) override {
    if (!Drain()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Drain() && mpTarget->pubsync() == 0 ? 0 : -1; }

  std::streambuf* const mpTarget;

private:
  char mBuffer[1 << 16];
};

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_BLOCKBUF_H
