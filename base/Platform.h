// Operating-system and runtime calls of the writers, the command and the block
// pool behind one interface. Internal.
#ifndef GENATTR_BASE_PLATFORM_H
#define GENATTR_BASE_PLATFORM_H

#include <cstdio>
#include <ctime>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif
#if defined(__MINGW32__)
#include <cxxabi.h>
#include <new>
#endif

namespace genattr {
namespace detail {

// Converts `time` to the local calendar time of the process's time zone into
// `*out`, without touching the C library's shared result; false when the time
// cannot be represented.
inline bool LocalTime(std::time_t time, std::tm* out) {
#if defined(_WIN32)
  return localtime_s(out, &time) == 0;
#else
  return localtime_r(&time, out) != nullptr;
#endif
}

// Whether `stream` is connected to a terminal (a console window on Windows),
// where progress lines belong; false for files and pipes.
inline bool IsTerminal(std::FILE* stream) {
#if defined(_WIN32)
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

// Has End(value) called when the calling thread ends, where the destructors
// of its thread_local objects run; at most one call per thread for each End.
// Throws std::bad_alloc when the call cannot be noted. End gets `value`
// itself, not an object of thread storage: MinGW-w64 emulates thread-local
// variables and frees a thread's copies of them before the destructors of its
// thread_local objects run, so such a destructor reads freed memory there.
template <void (*End)(void*)> void CallAtThreadEnd(void* value) {
#if defined(__MINGW32__)
  if (abi::__cxa_thread_atexit(End, value, nullptr) != 0) {
    throw std::bad_alloc();
  }
#else
  struct Call {
    void* value = nullptr;
    ~Call() {
      if (value != nullptr) {
        End(value);
      }
    }
  };
  static thread_local Call call;
  call.value = value;
#endif
}

} // namespace detail
} // namespace genattr

#endif // GENATTR_BASE_PLATFORM_H
