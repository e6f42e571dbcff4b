#include "python/PyText.h"

#include <cstring>
#include <cwchar>

namespace genattr_python {

namespace {

std::string WithoutNul(const char* data, Py_ssize_t size, const char* what) {
  std::string bytes(data, static_cast<std::size_t>(size));
  if (bytes.find('\0') != std::string::npos) {
    throw py::value_error(std::string(what) + " must not contain a NUL character");
  }
  return bytes;
}

void RequireStr(py::handle text, const char* what) {
  if (!PyUnicode_Check(text.ptr())) {
    throw py::type_error(std::string(what) + " must be a str, not " +
                         std::string(py::str(py::type::handle_of(text).attr("__name__"))));
  }
}

} // namespace

std::string NarrowFromPy(py::handle text, const char* what) {
  RequireStr(text, what);
  const py::bytes bytes = py::reinterpret_steal<py::bytes>(
      PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape"));
  if (!bytes) {
    throw py::error_already_set();
  }
  return WithoutNul(PyBytes_AS_STRING(bytes.ptr()), PyBytes_GET_SIZE(bytes.ptr()), what);
}

py::str PyFromNarrow(const char* text) {
  if (text == nullptr) {
    text = "";
  }
  PyObject* decoded =
      PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(std::strlen(text)), "surrogateescape");
  if (decoded == nullptr) {
    throw py::error_already_set();
  }
  return py::reinterpret_steal<py::str>(decoded);
}

std::wstring WideFromPy(py::handle text, const char* what) {
  RequireStr(text, what);
  Py_ssize_t size = 0;
  wchar_t* wide = PyUnicode_AsWideCharString(text.ptr(), &size);
  if (wide == nullptr) {
    throw py::error_already_set();
  }
  std::wstring result(wide, static_cast<std::size_t>(size));
  PyMem_Free(wide);
  if (result.find(L'\0') != std::wstring::npos) {
    throw py::value_error(std::string(what) + " must not contain a NUL character");
  }
  return result;
}

py::str PyFromWide(const wchar_t* text) {
  if (text == nullptr) {
    text = L"";
  }
  PyObject* decoded = PyUnicode_FromWideChar(text, static_cast<Py_ssize_t>(std::wcslen(text)));
  if (decoded == nullptr) {
    throw py::error_already_set();
  }
  return py::reinterpret_steal<py::str>(decoded);
}

std::string PathFromPy(py::handle path) {
  PyObject* converted = nullptr;
  // PyUnicode_FSConverter takes str, bytes and os.PathLike and rejects NULs.
  if (PyUnicode_FSConverter(path.ptr(), &converted) == 0) {
    throw py::error_already_set();
  }
  const py::bytes bytes = py::reinterpret_steal<py::bytes>(converted);
  return std::string(PyBytes_AS_STRING(bytes.ptr()),
                     static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.ptr())));
}

} // namespace genattr_python
