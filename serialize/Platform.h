// Operating-system calls of the writers and the command behind one interface. Internal.
#ifndef GENATTR_SERIALIZE_PLATFORM_H
#define GENATTR_SERIALIZE_PLATFORM_H

#include <cstdio>
#include <ctime>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
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

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_PLATFORM_H
