#include "genattr/GenAttrSerializerFactory.h"

#include <fstream>

#include "genattr/GenAttrSTSerializer.h"
#include "genattr/GenAttrXMLSerializer.h"

namespace {

// `setUp` is given the writer before it writes.
template <class Writer, class SetUp = void (*)(Writer&)>
int WriteToFile(
    GenAttrBase* root, const char* fileName, SetUp setUp = [](Writer&) {}) {
  if (root == nullptr || fileName == nullptr) {
    return 1;
  }
  // Text mode: on Windows every line end is stored as CR LF.
  std::ofstream file(fileName, std::ios::out | std::ios::trunc);
  if (!file.good()) {
    return 1;
  }
  // A fresh writer indents the root by 0 and every level by 2 more.
  Writer writer(root, &file);
  setUp(writer);
  writer.Write();
  // Every line was flushed, so a full disk has already failed the stream;
  // close() adds a failure to write out the rest or to release the file.
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

int GenAttrSerializerFactory::WriteToTypedXmlFile(GenAttrBase* root, const char* fileName) {
  return WriteToFile<GenAttrXMLSerializer>(
      root, fileName, [](GenAttrXMLSerializer& writer) { writer.SetTypedOutput(true); });
}
