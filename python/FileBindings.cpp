// Files: genattr.read(), genattr.parse(), node.write() and genattr.ReadError.
#include <fstream>
#include <ostream>
#include <string>

#include "genattr/GenAttrHTMLSerializer.h"
#include "genattr/GenAttrSTSerializer.h"
#include "genattr/GenAttrXMLSerializer.h"

#include "genattr/GenAttrXMLReader.h"
#include "python/Bindings.h"
#include "python/PyText.h"

namespace genattr_python {

namespace {

constexpr auto kBorrowed = py::return_value_policy::reference;

// The Python class of read failures, made once by BindFiles().
PyObject* gReadError = nullptr;

// The tree of a read, or ReadError with the reader's outcome. The root comes
// with count 0 and gets its one count from the Python object made of it.
GenAttrBase* TreeOrRaise(GenAttrBase* root, const GenAttrReadError& error) {
  if (root != nullptr) {
    return root;
  }
  py::object exception =
      py::reinterpret_borrow<py::object>(gReadError)(PyFromNarrow(error.mMessage));
  exception.attr("status") = error.mStatus;
  exception.attr("line") = error.mLine;
  exception.attr("column") = error.mColumn;
  exception.attr("message") = PyFromNarrow(error.mMessage);
  PyErr_SetObject(gReadError, exception.ptr());
  throw py::error_already_set();
}

GenAttrReadOptions Options(bool attributes) {
  GenAttrReadOptions options;
  options.mKeepAttributes = attributes;
  return options;
}

GenAttrBase* Read(py::handle path, bool attributes) {
  const std::string name = PathFromPy(path);
  GenAttrReadError error{};
  return TreeOrRaise(GenAttrXMLReader::ReadFile(name.c_str(), Options(attributes), &error), error);
}

GenAttrBase* Parse(py::handle data, bool attributes) {
  std::string bytes;
  if (PyUnicode_Check(data.ptr())) {
    bytes = py::reinterpret_borrow<py::str>(data).cast<std::string>();
  } else if (PyBytes_Check(data.ptr())) {
    bytes = py::reinterpret_borrow<py::bytes>(data).cast<std::string>();
  } else {
    throw py::type_error("parse() takes bytes or a str");
  }
  GenAttrReadError error{};
  return TreeOrRaise(
      GenAttrXMLReader::ReadBuffer(bytes.data(), bytes.size(), Options(attributes), &error), error);
}

// Writes `node` to `out` with a writer of class `Writer`. Texts set from
// Python are UTF-8, and so are those of trees read from documents.
template <class Writer, class SetUp = void (*)(Writer&)>
void WriteWith(
    GenAttrBase& node, std::ostream& out, SetUp setUp = [](Writer&) {}) {
  Writer writer(&node, &out);
  writer.SetFlushEachLine(false);
  writer.SetUtf8Texts(true);
  setUp(writer);
  writer.Write();
}

void Write(GenAttrBase& node, py::handle path, const std::string& format) {
  const bool known = format == "text" || format == "xml" || format == "typed" || format == "html";
  if (!known) {
    throw py::value_error("format must be \"text\", \"xml\", \"typed\" or \"html\", not \"" +
                          format + "\"");
  }
  const std::string name = PathFromPy(path);
  // Text mode stores line ends as the platform does; the page is the same
  // bytes everywhere.
  std::ofstream file(name, std::ios::out | std::ios::trunc |
                               (format == "html" ? std::ios::binary : std::ios::openmode{}));
  int status = 1;
  if (file.good()) {
    if (format == "text") {
      WriteWith<GenAttrSTSerializer>(node, file);
    } else if (format == "html") {
      WriteWith<GenAttrHTMLSerializer>(node, file);
    } else {
      const bool typed = format == "typed";
      WriteWith<GenAttrXMLSerializer>(
          node, file, [typed](GenAttrXMLSerializer& writer) { writer.SetTypedOutput(typed); });
    }
    file.close();
    status = file.fail() ? 2 : 0;
  }
  if (status != 0) {
    const py::object target = py::reinterpret_borrow<py::object>(path);
    PyErr_SetObject(PyExc_OSError,
                    py::str(status == 1 ? "cannot open {!r} for writing" : "writing {!r} failed")
                        .format(target)
                        .ptr());
    throw py::error_already_set();
  }
}

} // namespace

void BindFiles(py::module_& module, BaseClass& base) {
  gReadError = PyErr_NewExceptionWithDoc(
      "genattr.ReadError",
      "A document could not be read. Attributes: status (1 the file cannot be opened or\n"
      "read, 2 not well-formed XML, 3 not a tree document, 4 a resource limit was hit),\n"
      "line and column where the parser stopped (1-based, 0 when not known), message.",
      nullptr, nullptr);
  if (gReadError == nullptr) {
    throw py::error_already_set();
  }
  module.attr("ReadError") = py::reinterpret_borrow<py::object>(gReadError);

  module.def("read", &Read, py::arg("path"), py::kw_only(), py::arg("attributes") = true, kBorrowed,
             "Reads the XML tree document at `path` (str, bytes or os.PathLike) and returns\n"
             "its root. A document written with format=\"typed\" comes back exactly. An\n"
             "element without ga:type keeps its attributes other than desc and value as\n"
             "String children \"@name\", and text beside its child elements as String\n"
             "children \"#text\"; attributes=False leaves both out. Raises ReadError on any\n"
             "failure.");
  module.def("parse", &Parse, py::arg("data"), py::kw_only(), py::arg("attributes") = true,
             kBorrowed,
             "As read(), for a document held in `data` (bytes, or a str taken as UTF-8).");
  base.def("write", &Write, py::arg("path"), py::arg("format") = "text",
           "Writes this node and everything below it to the file `path` (created or\n"
           "truncated): format \"text\" the plain-text listing, \"xml\" the XML document,\n"
           "\"typed\" the XML document that read() brings back exactly, \"html\" the page to\n"
           "look at in a browser. Raises OSError when\n"
           "the file cannot be opened or written, ValueError for another format.");
}

} // namespace genattr_python
