#include "genattr/GenAttrSerializerFactory.h"

#include <fstream>

#include "genattr/GenAttrHTMLSerializer.h"
#include "genattr/GenAttrSTSerializer.h"
#include "genattr/GenAttrXMLSerializer.h"

namespace {

// Text mode (the listing and the XML document) stores every line end as
// CR LF on Windows; binary mode (the page) keeps the same bytes everywhere.
// `setUp` is given the writer before it writes.
template <class Writer, class SetUp = void (*)(Writer&)>
int WriteToFile(
    GenAttrBase* root, const char* fileName, std::ios::openmode mode = {},
    SetUp setUp = [](Writer&) {}) {
  if (root == nullptr || fileName == nullptr) {
    return 1;
  }
  std::ofstream file(fileName, std::ios::out | std::ios::trunc | mode);
  if (!file.good()) {
    return 1;
  }
  // A fresh writer indents the root by 0 and every level by 2 more.
  Writer writer(root, &file);
  setUp(writer);
  writer.Write();
  // A full disk has failed the stream by now, or fails close(), which writes
  // out the rest and releases the file.
  file.close();
  return file.fail() ? 2 : 0;
}

} // namespace

int GenAttrSerializerFactory::WriteToTextFile(GenAttrBase* root, const char* fileName) {
  return WriteToFile<GenAttrSTSerializer>(root, fileName);
}

int GenAttrSerializerFactory::WriteToXmlFile(GenAttrBase* root, const char* fileName) {
  return WriteToFile<GenAttrXMLSerializer>(root, fileName);
}

int GenAttrSerializerFactory::WriteToHtmlFile(GenAttrBase* root, const char* fileName) {
  return WriteToFile<GenAttrHTMLSerializer>(root, fileName, std::ios::binary);
}

int GenAttrSerializerFactory::WriteToTypedXmlFile(GenAttrBase* root, const char* fileName) {
  return WriteToFile<GenAttrXMLSerializer>(
      root, fileName, {}, [](GenAttrXMLSerializer& writer) { writer.SetTypedOutput(true); });
}
