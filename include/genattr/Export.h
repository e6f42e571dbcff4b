/* Export annotations of the genattr library.
 *
 * GENATTR_API marks every exported class, function and static data member.
 * CMake defines GENATTR_BUILDING while the shared library itself is compiled,
 * and GENATTR_SHARED for every consumer of the shared library; a consumer of a
 * static build defines neither, and the macro expands to nothing.
 *
 * This header is valid C and C++, so that genattr_c.h can use it. */
#ifndef GENATTR_EXPORT_H
#define GENATTR_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(GENATTR_BUILDING)
#define GENATTR_API __declspec(dllexport)
#elif defined(GENATTR_SHARED)
#define GENATTR_API __declspec(dllimport)
#else
#define GENATTR_API
#endif
#elif defined(GENATTR_BUILDING) || defined(GENATTR_SHARED)
#define GENATTR_API __attribute__((visibility("default")))
#else
#define GENATTR_API
#endif

#endif /* GENATTR_EXPORT_H */
