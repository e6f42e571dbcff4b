/* Export annotations of the genattr_xml library (the XML reader).
 *
 * GENATTR_XML_API marks every function and class that libgenattr_xml exports.
 * CMake defines GENATTR_XML_BUILDING while that library is compiled, and
 * GENATTR_XML_SHARED for every consumer of it; a consumer of a static build
 * defines neither, and the macro expands to nothing.
 *
 * Valid C and C++, so that genattr_c_ext.h can use it. */
#ifndef GENATTR_XML_EXPORT_H
#define GENATTR_XML_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(GENATTR_XML_BUILDING)
#define GENATTR_XML_API __declspec(dllexport)
#elif defined(GENATTR_XML_SHARED)
#define GENATTR_XML_API __declspec(dllimport)
#else
#define GENATTR_XML_API
#endif
#elif defined(GENATTR_XML_BUILDING) || defined(GENATTR_XML_SHARED)
#define GENATTR_XML_API __attribute__((visibility("default")))
#else
#define GENATTR_XML_API
#endif

#endif /* GENATTR_XML_EXPORT_H */
