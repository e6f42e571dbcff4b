#include "python/PyStreams.h"

#include <string_view>
#include <utility>

namespace genattr_python {

namespace {

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the value of the encoding of an XML declaration at the start of
// `text` (after a byte order mark) lies, as [*begin, *end); false when there
// is none. Only what a well-formed declaration can hold is recognised; anything
// else is left for the reader to judge.
bool DeclaredEncoding(std::string_view text, std::size_t* begin, std::size_t* end) {
  const std::size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  if (text.substr(start, 5) != "<?xml" || text.size() <= start + 5 ||
      !IsXmlSpace(text[start + 5])) {
    return false;
  }
  const std::size_t close = text.find("?>", start);
  const std::size_t key = text.find("encoding", start);
  if (close == std::string_view::npos || key == std::string_view::npos || key > close) {
    return false;
  }
  std::size_t at = key + 8;
  while (at < close && IsXmlSpace(text[at])) {
    ++at;
  }
  if (at >= close || text[at] != '=') {
    return false;
  }
  ++at;
  while (at < close && IsXmlSpace(text[at])) {
    ++at;
  }
  if (at >= close || (text[at] != '"' && text[at] != '\'')) {
    return false;
  }
  const std::size_t stop = text.find(text[at], at + 1);
  if (stop == std::string_view::npos || stop > close) {
    return false;
  }
  *begin = at + 1;
  *end = stop;
  return true;
}

bool IsUtf8Name(std::string_view name) {
  if (name.size() != 5 && name.size() != 4) {
    return false;
  }
  std::string lower;
  for (const char c : name) {
    lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return lower == "utf-8" || lower == "utf8";
}

constexpr std::size_t kPiece = std::size_t{1} << 20;

} // namespace

DocumentBytes::DocumentBytes(py::handle data) {
  PyObject* const object = data.ptr();
  if (PyBytes_Check(object)) {
    mHeld = py::reinterpret_borrow<py::object>(data);
    mpData = PyBytes_AS_STRING(object);
    mSize = static_cast<std::size_t>(PyBytes_GET_SIZE(object));
    return;
  }
  if (PyUnicode_Check(object)) {
    Py_ssize_t size = 0;
    // Kept by the str itself, which mHeld keeps alive.
    const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size);
    if (utf8 == nullptr) {
      throw py::error_already_set();
    }
    mHeld = py::reinterpret_borrow<py::object>(data);
    mpData = utf8;
    mSize = static_cast<std::size_t>(size);
    const std::string_view text(mpData, mSize);
    std::size_t begin = 0;
    std::size_t end = 0;
    if (DeclaredEncoding(text, &begin, &end) && !IsUtf8Name(text.substr(begin, end - begin))) {
      mCopy.reserve(mSize + 5);
      mCopy.append(text.substr(0, begin));
      mCopy.append("UTF-8");
      mCopy.append(text.substr(end));
      mpData = mCopy.data();
      mSize = mCopy.size();
    }
    return;
  }
  if (PyObject_CheckBuffer(object) != 0) {
    Py_buffer view;
    if (PyObject_GetBuffer(object, &view, PyBUF_FULL_RO) != 0) {
      throw py::error_already_set();
    }
    // Any layout (a strided memoryview too) becomes its bytes in order.
    mCopy.resize(static_cast<std::size_t>(view.len));
    const int copied = PyBuffer_ToContiguous(mCopy.data(), &view, view.len, 'C');
    PyBuffer_Release(&view);
    if (copied != 0) {
      throw py::error_already_set();
    }
    mpData = mCopy.data();
    mSize = mCopy.size();
    return;
  }
  throw py::type_error("a document is bytes, bytearray, memoryview (any buffer) or str, not " +
                       std::string(py::str(py::type::handle_of(data).attr("__name__"))));
}

std::streamsize StringBuf::xsputn(const char* text, std::streamsize size) {
  mText.append(text, static_cast<std::size_t>(size));
  return size;
}

StringBuf::int_type StringBuf::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    mText.push_back(traits_type::to_char_type(c));
  }
  return traits_type::not_eof(c);
}

PyFileBuf::PyFileBuf(py::handle file) : mBuffer(kPiece) {
  if (py::isinstance(file, py::module_::import("io").attr("TextIOBase"))) {
    throw py::type_error("write() takes a binary file (opened with \"wb\"), not a text file");
  }
  mWrite = py::getattr(file, "write");
  setp(mBuffer.data(), mBuffer.data() + mBuffer.size());
}

bool PyFileBuf::Pass() {
  const auto size = static_cast<std::size_t>(pptr() - pbase());
  if (size > 0 && !mFailure) {
    const py::gil_scoped_acquire acquire;
    try {
      const char* at = pbase();
      std::size_t left = size;
      while (left > 0) {
        const py::object written = mWrite(py::bytes(at, left));
        std::size_t taken = left;
        if (PyLong_Check(written.ptr())) {
          int overflow = 0;
          const long long count = PyLong_AsLongLongAndOverflow(written.ptr(), &overflow);
          if (count == -1 && PyErr_Occurred() != nullptr) {
            throw py::error_already_set();
          }
          if (overflow != 0 || count <= 0 || static_cast<unsigned long long>(count) > left) {
            // Nothing taken would never end; more than given cannot be.
            throw py::value_error("the file's write() returned " + std::string(py::repr(written)) +
                                  " for " + std::to_string(left) + " bytes");
          }
          taken = static_cast<std::size_t>(count);
        }
        at += taken;
        left -= taken;
      }
    } catch (...) {
      mFailure = std::current_exception();
    }
  }
  setp(mBuffer.data(), mBuffer.data() + mBuffer.size());
  return !mFailure;
}

PyFileBuf::int_type PyFileBuf::overflow(int_type c) {
  if (!Pass()) {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int PyFileBuf::sync() {
  return Pass() ? 0 : -1;
}

void PyFileBuf::RaiseIfFailed() {
  if (mFailure) {
    std::rethrow_exception(std::exchange(mFailure, nullptr));
  }
}

GilBreaks::GilBreaks() {
  const double interval = py::module_::import("sys").attr("getswitchinterval")().cast<double>();
  mGap = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(2 * interval));
  mNext = std::chrono::steady_clock::now() + mGap;
}

void GilBreaks::Break() {
  { const py::gil_scoped_release release; }
  mNext = std::chrono::steady_clock::now() + mGap;
}

} // namespace genattr_python
