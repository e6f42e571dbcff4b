// Text across the boundary between Python and the library.
#ifndef GENATTR_PYTHON_PYTEXT_H
#define GENATTR_PYTHON_PYTEXT_H

#include <string>

#include <pybind11/pybind11.h>

namespace genattr_python {

namespace py = pybind11;

// The library's 8-bit texts (names, descriptions, ids, String values) are
// UTF-8 on the Python side. A str becomes its UTF-8 bytes, lone surrogates
// U+DC80..U+DCFF becoming the single bytes they stand for (Python's
// "surrogateescape"), so that any byte string read from the library comes back
// unchanged. TypeError for anything but a str, ValueError for a str with a NUL,
// which the library's zero-terminated texts cannot hold.
std::string NarrowFromPy(py::handle text, const char* what);
// The text `text` (null taken as empty) as a str, bytes that are not UTF-8
// becoming lone surrogates as above.
py::str PyFromNarrow(const char* text);

// Wide texts (UnicodeString values): a str as wide characters (UTF-16 where
// wchar_t has 16 bits), with the same errors as NarrowFromPy().
std::wstring WideFromPy(py::handle text, const char* what);
py::str PyFromWide(const wchar_t* text);

// A file name for the library: a str or os.PathLike in the file system's
// encoding, or bytes as they are; ValueError for a NUL.
std::string PathFromPy(py::handle path);

} // namespace genattr_python

#endif // GENATTR_PYTHON_PYTEXT_H
