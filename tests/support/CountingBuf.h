// A stream buffer that counts bytes and line feeds and drops them, so that
// huge documents cost no memory. Shared by the writer tests and benchmarks.
#ifndef GENATTR_TESTS_SUPPORT_COUNTINGBUF_H
#define GENATTR_TESTS_SUPPORT_COUNTINGBUF_H

#include <algorithm>
#include <cstddef>
#include <streambuf>

namespace genattr_test {

class CountingBuf : public std::streambuf {
public:
  std::size_t bytes = 0;
  std::size_t lines = 0;

protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    bytes += static_cast<std::size_t>(n);
    lines += static_cast<std::size_t>(std::count(s, s + n, '\n'));
    return n;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
      return traits_type::not_eof(c);
    }
    const char ch = traits_type::to_char_type(c);
    xsputn(&ch, 1);
    return c;
  }
};

} // namespace genattr_test

#endif // GENATTR_TESTS_SUPPORT_COUNTINGBUF_H
