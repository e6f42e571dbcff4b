// Writes the files the command tests read: the README's model tree as the
// listing, the XML document, the typed document and the page, a changed copy of it,
// a chain of 100,000 levels, and a container holding a reference made from itself.
//
//   write_model_files FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

// The model tree with one change of each kind the diff names.
writertest::Tree MakeChangedModel() {
  writertest::Tree tree = writertest::MakeModelTree();
  GenAttrBase* model = tree.get();
  model->GetAttr("Material")->SetDescription("outer material");
  static_cast<GenAttrString*>(model->GetAttr("Color"))->SetValue("red");
  GenAttrBase* part = model->GetAttr("Part");
  part->AddAttrAtTop(new GenAttrString("Supplier", "ACME"));
  auto* extra = new GenAttrCont("Part");
  extra->SetId("P8");
  extra->AddAttr(new GenAttrFloat("Mass", 1.25f));
  model->AddAttr(extra);
  return tree;
}

bool WriteAll(GenAttrBase* root, const std::string& stem) {
  return GenAttrSerializerFactory::WriteToTextFile(root, (stem + ".txt").c_str()) == 0 &&
         GenAttrSerializerFactory::WriteToXmlFile(root, (stem + ".xml").c_str()) == 0 &&
         GenAttrSerializerFactory::WriteToTypedXmlFile(root, (stem + ".typed.xml").c_str()) == 0 &&
         GenAttrSerializerFactory::WriteToHtmlFile(root, (stem + ".html").c_str()) == 0;
}

// A chain of 100,000 containers, typed, without indentation (which would
// make the file grow with the square of the depth).
bool WriteDeepChain(const std::string& fileName) {
  writertest::Tree chain = writertest::MakeChain(100000);
  std::ofstream out(fileName);
  GenAttrXMLSerializer writer(chain.get(), &out);
  writer.SetTypedOutput(true);
  writer.SetIndentIncrement(0);
  writer.SetFlushEachLine(false);
  writer.Write();
  out.close();
  return static_cast<bool>(out);
}

// C holding x and R, a reference made from C, typed: R sees C's children,
// itself among them.
bool WriteReferenceLoop(const std::string& fileName) {
  writertest::Tree c(new GenAttrCont("C"));
  c->AddAttr(new GenAttrInt("x", 1));
  c->AddAttr(new GenAttrCont("R", static_cast<GenAttrCont*>(c.get())));
  return GenAttrSerializerFactory::WriteToTypedXmlFile(c.get(), fileName.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_model_files FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::error_code ignored; // a folder that cannot be made shows when writing
  std::filesystem::create_directories(folder, ignored);
  const bool written = WriteAll(writertest::MakeModelTree().get(), folder + "/model") &&
                       WriteAll(MakeChangedModel().get(), folder + "/model-changed") &&
                       WriteDeepChain(folder + "/deep.typed.xml") &&
                       WriteReferenceLoop(folder + "/loop.typed.xml");
  if (!written) {
    std::fprintf(stderr, "write_model_files: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
