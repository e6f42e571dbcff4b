// Operating-system calls of the writers behind one interface. Internal.
#ifndef GENATTR_SERIALIZE_PLATFORM_H
#define GENATTR_SERIALIZE_PLATFORM_H

#include <ctime>

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

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_PLATFORM_H
