// Documents: genattr.read(), genattr.parse(), genattr.tostring(), node.write(),
// pickling, and the errors of reading. The library's work runs with the GIL
// released: Python objects are turned into plain bytes and names before, and
// results into Python objects after.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <string>

#include "genattr/GenAttrHTMLSerializer.h"
#include "genattr/GenAttrSTSerializer.h"
#include "genattr/GenAttrXMLSerializer.h"

#include "genattr/GenAttrXMLReader.h"
#include "python/Bindings.h"
#include "python/PyStreams.h"
#include "python/PyText.h"

namespace genattr_python {

namespace {

constexpr auto kBorrowed = py::return_value_policy::reference;

// The Python classes of read failures, made once by BindFiles(): ReadError;
// FileReadError, also an OSError, for a file that cannot be read; and below
// it the classes that are also the OSError subclass Python raises for their
// errno values, so that `except FileNotFoundError` works as for open().
PyObject* gReadError = nullptr;
PyObject* gFileReadError = nullptr;

struct ErrnoClass {
  const char* name;
  PyObject* base;
  int errno1, errno2;
  PyObject* made;
};
ErrnoClass gErrnoClasses[] = {
    {"FileNotFoundReadError", PyExc_FileNotFoundError, ENOENT, ENOENT, nullptr},
    {"PermissionReadError", PyExc_PermissionError, EACCES, EPERM, nullptr},
    {"IsADirectoryReadError", PyExc_IsADirectoryError, EISDIR, EISDIR, nullptr},
    {"NotADirectoryReadError", PyExc_NotADirectoryError, ENOTDIR, ENOTDIR, nullptr},
};

PyObject* FileErrorClass(int cause) {
  for (const ErrnoClass& each : gErrnoClasses) {
    if (cause == each.errno1 || cause == each.errno2) {
      return each.made;
    }
  }
  return gFileReadError;
}

// Why the file `name` cannot be read, as an errno value. The reader says
// only that it cannot; the system is asked again once it has given up.
int WhyUnreadable(const std::string& name) {
  errno = 0;
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) {
    return errno != 0 ? errno : EIO;
  }
  char byte = 0;
  errno = 0;
  const std::size_t got = std::fread(&byte, 1, 1, file);
  const int cause = got == 0 && std::ferror(file) != 0 ? errno : 0;
  std::fclose(file);
  // Readable now: it changed meanwhile.
  return cause != 0 ? cause : EIO;
}

// The tree of a read, or the ReadError of its outcome. `cause` is the errno
// value of a file that cannot be read (status 1), named `file`. The root comes
// with count 0 and gets its one count from the Python object made of it.
GenAttrBase* TreeOrRaise(GenAttrBase* root, const GenAttrReadError& error, int cause = 0,
                         py::handle file = py::none()) {
  if (root != nullptr) {
    return root;
  }
  const py::str message = PyFromNarrow(error.mMessage);
  py::object exception;
  if (error.mStatus == 1 && cause != 0) {
    const py::object reason = py::module_::import("os").attr("strerror")(cause);
    exception = py::reinterpret_borrow<py::object>(FileErrorClass(cause))(cause, reason, file);
  } else {
    exception = py::reinterpret_borrow<py::object>(gReadError)(message);
  }
  exception.attr("status") = error.mStatus;
  exception.attr("line") = error.mLine;
  exception.attr("column") = error.mColumn;
  exception.attr("message") = message;
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
  throw py::error_already_set();
}

GenAttrReadOptions Options(bool attributes) {
  GenAttrReadOptions options;
  options.mKeepAttributes = attributes;
  return options;
}

// A file name rather than a document or a file object: str, bytes,
// os.PathLike.
bool IsPath(py::handle source) {
  return PyUnicode_Check(source.ptr()) || PyBytes_Check(source.ptr()) ||
         py::hasattr(source, "__fspath__");
}

std::string TypeName(py::handle object) {
  return py::str(py::type::handle_of(object).attr("__name__"));
}

GenAttrBase* Parse(py::handle data, bool attributes) {
  const DocumentBytes bytes(data);
  const GenAttrReadOptions options = Options(attributes);
  GenAttrReadError error{};
  GenAttrBase* root = nullptr;
  {
    const py::gil_scoped_release release;
    root = GenAttrXMLReader::ReadBuffer(bytes.Data(), bytes.Size(), options, &error);
  }
  return TreeOrRaise(root, error);
}

GenAttrBase* Read(py::handle source, bool attributes) {
  if (!IsPath(source)) {
    if (!py::hasattr(source, "read")) {
      throw py::type_error("read() takes a path (str, bytes, os.PathLike) or a binary file, not " +
                           TypeName(source));
    }
    return Parse(source.attr("read")(), attributes);
  }
  const std::string name = PathFromPy(source);
  const GenAttrReadOptions options = Options(attributes);
  GenAttrReadError error{};
  GenAttrBase* root = nullptr;
  int cause = 0;
  {
    const py::gil_scoped_release release;
    root = GenAttrXMLReader::ReadFile(name.c_str(), options, &error);
    if (root == nullptr && error.mStatus == 1) {
      cause = WhyUnreadable(name);
    }
  }
  return TreeOrRaise(root, error, cause, source);
}

enum class Format { Text, Xml, Typed, Html };

Format FormatNamed(const std::string& name) {
  if (name == "text") {
    return Format::Text;
  }
  if (name == "xml") {
    return Format::Xml;
  }
  if (name == "typed") {
    return Format::Typed;
  }
  if (name == "html") {
    return Format::Html;
  }
  throw py::value_error("format must be \"text\", \"xml\", \"typed\" or \"html\", not \"" + name +
                        "\"");
}

// Writes `node` to `out` in `format`; touches no Python object, so it runs
// without the GIL. Texts set from Python are UTF-8, and so are those of trees
// read from documents.
void WriteTo(GenAttrBase& node, std::ostream& out, Format format, bool timeStamp) {
  const auto setUp = [timeStamp](GenAttrSerializer& writer) {
    writer.SetFlushEachLine(false);
    writer.SetUtf8Texts(true);
    writer.SetTimeStamp(timeStamp);
  };
  switch (format) {
  case Format::Text: {
    GenAttrSTSerializer writer(&node, &out);
    setUp(writer);
    writer.Write();
    break;
  }
  case Format::Html: {
    GenAttrHTMLSerializer writer(&node, &out);
    setUp(writer);
    writer.Write();
    break;
  }
  case Format::Xml:
  case Format::Typed: {
    GenAttrXMLSerializer writer(&node, &out);
    setUp(writer);
    writer.SetTypedOutput(format == Format::Typed);
    writer.Write();
    break;
  }
  }
  out.flush();
}

py::bytes ToBytes(GenAttrBase& node, Format format, bool timeStamp) {
  StringBuf text;
  {
    std::ostream out(&text);
    const py::gil_scoped_release release;
    WriteTo(node, out, format, timeStamp);
  }
  std::string written = text.Take();
  // Copied into the new object without the GIL, which a document of many
  // megabytes would hold for a while: no other thread can see the object yet.
  auto bytes = py::reinterpret_steal<py::bytes>(
      PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(written.size())));
  if (!bytes) {
    throw py::error_already_set();
  }
  char* const target = PyBytes_AS_STRING(bytes.ptr());
  {
    const py::gil_scoped_release release;
    std::copy(written.begin(), written.end(), target);
    std::string().swap(written);
  }
  return bytes;
}

py::bytes ToString(GenAttrBase& node, const std::string& format, bool timeStamp) {
  return ToBytes(node, FormatNamed(format), timeStamp);
}

void WriteFile(GenAttrBase& node, py::handle path, Format format, bool timeStamp) {
  const std::string name = PathFromPy(path);
  int cause = 0;
  {
    const py::gil_scoped_release release;
    // Text mode stores line ends as the platform does; the page is the same
    // bytes everywhere.
    errno = 0;
    std::ofstream file(name,
                       std::ios::out | std::ios::trunc |
                           (format == Format::Html ? std::ios::binary : std::ios::openmode{}));
    if (!file) {
      cause = errno != 0 ? errno : EIO;
    } else {
      WriteTo(node, file, format, timeStamp);
      file.close();
      if (file.fail()) {
        cause = errno != 0 ? errno : EIO;
      }
    }
  }
  if (cause != 0) {
    errno = cause;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
  }
}

void Write(GenAttrBase& node, py::handle target, const std::string& formatName, bool timeStamp) {
  const Format format = FormatNamed(formatName);
  if (IsPath(target)) {
    WriteFile(node, target, format, timeStamp);
    return;
  }
  if (!py::hasattr(target, "write")) {
    throw py::type_error("write() takes a path (str, bytes, os.PathLike) or a binary file, not " +
                         TypeName(target));
  }
  PyFileBuf file(target);
  {
    std::ostream out(&file);
    const py::gil_scoped_release release;
    WriteTo(node, out, format, timeStamp);
  }
  file.RaiseIfFailed();
}

// pickle and copy: the typed document of the node's subtree, without a time
// stamp, read back by parse() through genattr._from_typed, a function of the
// package that pickle can name (it cannot name a function of the extension).
py::tuple Reduce(GenAttrBase& node) {
  const py::object rebuild = py::module_::import("genattr").attr("_from_typed");
  return py::make_tuple(rebuild, py::make_tuple(ToBytes(node, Format::Typed, false)));
}

PyObject* MakeClass(const char* name, const char* doc, PyObject* bases) {
  PyObject* made = PyErr_NewExceptionWithDoc(name, doc, bases, nullptr);
  if (made == nullptr) {
    throw py::error_already_set();
  }
  return made;
}

} // namespace

void BindFiles(py::module_& module, BaseClass& base) {
  gReadError =
      MakeClass("genattr.ReadError",
                "A document could not be read. Attributes: status (1 the file cannot be opened or\n"
                "read, 2 not well-formed XML, 3 not a tree document, 4 a resource limit was hit),\n"
                "line and column where the parser stopped (1-based, 0 when not known), message.\n"
                "Status 1 comes as FileReadError, which is an OSError too.",
                nullptr);
  module.attr("ReadError") = py::reinterpret_borrow<py::object>(gReadError);
  const py::tuple fileBases = py::make_tuple(py::handle(gReadError), py::handle(PyExc_OSError));
  gFileReadError = MakeClass(
      "genattr.FileReadError",
      "A file could not be opened or read (ReadError status 1): also an OSError with\n"
      "errno, strerror and filename as open() gives them, and an instance of the OSError\n"
      "subclass of that errno (FileNotFoundError, PermissionError, IsADirectoryError,\n"
      "NotADirectoryError) where there is one.",
      fileBases.ptr());
  module.attr("FileReadError") = py::reinterpret_borrow<py::object>(gFileReadError);
  for (ErrnoClass& each : gErrnoClasses) {
    const py::tuple bases = py::make_tuple(py::handle(gFileReadError), py::handle(each.base));
    each.made = MakeClass((std::string("genattr.") + each.name).c_str(),
                          "FileReadError for this errno.", bases.ptr());
    module.attr(each.name) = py::reinterpret_borrow<py::object>(each.made);
  }

  module.def("read", &Read, py::arg("source"), py::kw_only(), py::arg("attributes") = true,
             kBorrowed,
             "Reads the XML tree document `source`, a path (str, bytes, os.PathLike) or a\n"
             "binary file object (its read() is called once), and returns its root. A\n"
             "document written with format=\"typed\" comes back exactly. An element without\n"
             "ga:type keeps its attributes other than desc and value as String children\n"
             "\"@name\", and text beside its child elements as String children \"#text\";\n"
             "attributes=False leaves both out. Raises ReadError on any failure, FileReadError\n"
             "(an OSError too) when the file cannot be opened or read. Other Python threads\n"
             "run while the document is read.");
  module.def("parse", &Parse, py::arg("data"), py::kw_only(), py::arg("attributes") = true,
             kBorrowed,
             "As read(), for a document held in `data`: bytes, bytearray, memoryview (any\n"
             "object of the buffer protocol, copied first) or str (its characters: an encoding\n"
             "the XML declaration names is ignored). parse(b\"\") is ReadError status 2.");
  module.def("tostring", &ToString, py::arg("node").none(false), py::arg("format") = "text",
             py::kw_only(), py::arg("timestamp") = true,
             "The bytes node.write() writes to a file: format \"text\", \"xml\", \"typed\" or\n"
             "\"html\"; timestamp=False leaves the time of writing out, so that the same tree\n"
             "gives the same bytes. Other Python threads run while it writes.");
  base.def("write", &Write, py::arg("target"), py::arg("format") = "text", py::kw_only(),
           py::arg("timestamp") = true,
           "Writes this node and everything below it to `target`, a path (str, bytes,\n"
           "os.PathLike; created or truncated) or a binary file object (its write() gets\n"
           "pieces of up to 1 MiB): format \"text\" the plain-text listing, \"xml\" the XML\n"
           "document, \"typed\" the XML document that read() brings back exactly, \"html\" the\n"
           "page to look at in a browser. timestamp=False leaves the time of writing out of\n"
           "the XML documents and the page (the listing has none), so that the same tree\n"
           "gives the same bytes. Raises OSError (with errno and filename) when the file\n"
           "cannot be opened or written, what write() raised for a file object, ValueError\n"
           "for another format. Other Python threads run while it writes.");
  base.def("__reduce__", &Reduce,
           "Pickles the node with everything below it as its typed document (no time\n"
           "stamp): nodes linked more than once and references come back so; Ptr values come\n"
           "back null, and a Python subclass as its node class.");
}

} // namespace genattr_python
