#include "xml/Transcode.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace genattr {
namespace xml {

namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

iconv_t Handle(void* handle) {
  return static_cast<iconv_t>(handle);
}

} // namespace

bool IsEncodingName(const char* name) {
  if (name == nullptr || !IsAsciiLetter(name[0])) {
    return false;
  }
  for (const char* c = name + 1; *c != '\0'; ++c) {
    if (!IsAsciiLetter(*c) && !(*c >= '0' && *c <= '9') && *c != '.' && *c != '_' && *c != '-') {
      return false;
    }
  }
  return true;
}

Utf8Converter::Utf8Converter(const char* name) : mHandle(nullptr), mReady(false) {
  if (!IsEncodingName(name)) {
    return;
  }
  const iconv_t handle = iconv_open("UTF-8", name);
  if (handle != reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) {
    mHandle = handle;
    mReady = true;
  }
}

Utf8Converter::~Utf8Converter() {
  if (mReady) {
    iconv_close(Handle(mHandle));
  }
}

Utf8Converter::Stop Utf8Converter::Convert(const char*& in, const char* inEnd, char*& out,
                                           char* outEnd) {
  if (in == inEnd) {
    return Stop::InputUsed;
  }
  // iconv's input is not const in its declaration only: it never writes there.
  char* from = const_cast<char*>(in);
  std::size_t fromLeft = static_cast<std::size_t>(inEnd - in);
  std::size_t toLeft = static_cast<std::size_t>(outEnd - out);
  const std::size_t done = iconv(Handle(mHandle), &from, &fromLeft, &out, &toLeft);
  const int reason = errno;
  in = from;
  if (done != static_cast<std::size_t>(-1)) {
    return Stop::InputUsed;
  }
  switch (reason) {
  case E2BIG:
    return Stop::OutputFull;
  case EINVAL:
    return Stop::Incomplete;
  default:
    return Stop::Invalid;
  }
}

} // namespace xml
} // namespace genattr
