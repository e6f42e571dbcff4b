// An example host: builds the metadata tree of a small gearbox assembly, writes
// it as a plain-text listing, as an XML document, as an HTML page and as the
// typed XML document into an output folder, reads the typed document back and
// checks that the same tree came back, and prints where the files are and the
// listing itself.
//
//   assembly_host [output-folder]        (default: genattr-example-output)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>

#include "genattr/GenAttr.h"
#if defined(GENATTR_EXAMPLE_READS_BACK)
#include "genattr/GenAttrXMLReader.h"
#endif

namespace {

struct PartRow {
  const char* number;
  const wchar_t* title; // shown to users, so kept as wide text
  const char* material;
  int quantity;
  double massKg;
  float toleranceMm;
};

// Names and descriptions are 8-bit text read as ISO 8859-1 by both formats, so
// they are given in that encoding ("\xE4" is a-umlaut, "\xF8" o-slash).
const PartRow kParts[] = {
    {"GH-100", L"Geh\u00E4useoberteil", "AlSi9Cu3", 1, 4.82, 0.05f},
    {"GH-101", L"Geh\u00E4useunterteil", "AlSi9Cu3", 1, 5.10, 0.05f},
    {"SH-200", L"Antriebswelle \u00D8 32", "42CrMo4", 1, 1.94, 0.01f},
    {"SH-201", L"Abtriebswelle \u00D8 45", "42CrMo4", 1, 3.37, 0.01f},
    {"GR-310", L"Stirnrad z=17", "18CrNiMo7-6", 1, 0.62, 0.005f},
    {"GR-311", L"Stirnrad z=71", "18CrNiMo7-6", 1, 6.45, 0.005f},
    {"BR-400", L"Rillenkugellager 6206", "100Cr6", 2, 0.20, 0.002f},
    {"BR-401", L"Rillenkugellager 6209", "100Cr6", 2, 0.41, 0.002f},
    {"SE-500", L"Radialwellendichtring 32\u00D747\u00D77", "FKM", 1, 0.012, 0.1f},
    {"SE-501", L"Radialwellendichtring 45\u00D762\u00D78", "FKM", 1, 0.019, 0.1f},
    {"PL-600", L"Verschlussschraube M16\u00D71,5", "St 8.8", 2, 0.03, 0.1f},
    {"PL-601", L"\u00D6lschauglas G3/4", "PA66 / Glas", 1, 0.045, 0.2f},
    {"SC-700", L"Zylinderschraube M8\u00D725", "St 10.9", 12, 0.016, 0.1f},
    {"SC-701", L"Zylinderschraube M10\u00D740", "St 10.9", 8, 0.031, 0.1f},
    {"WA-800", L"Passfeder A10\u00D78\u00D740", "C45", 2, 0.025, 0.01f},
    {"LB-900", L"Typenschild \u201EGetriebe G-71\u201C", "1.4301", 1, 0.008, 0.5f},
    {"JP-910", L"\u6B6F\u8ECA\u30AB\u30D0\u30FC (JP)", "AlSi9Cu3", 1, 0.74, 0.05f},
    {"EM-920", L"Sensorhalter \U0001F527 Service", "PA6 GF30", 1, 0.021, 0.2f},
};

// Releases the whole tree when the host is done with it.
struct TreeOwner {
  GenAttrBase* root;
  ~TreeOwner() { GenAttrBase::Free(root); }
};

GenAttrBase* MakePart(const PartRow& row, int index, GenAttrBase* screwStandard) {
  auto* part = new GenAttrCont("Part", "Einzelteil der St\xFC"
                                       "ckliste");
  part->SetId(row.number);
  part->AddAttr(new GenAttrString("PartNumber", row.number));
  part->AddAttr(new GenAttrUnicodeString("Title", row.title));
  part->AddAttr(new GenAttrString("Material", row.material));
  part->AddAttr(new GenAttrInt("Quantity", row.quantity));
  part->AddAttr(new GenAttrDouble("Mass", "Masse in kg", row.massKg));
  part->AddAttr(new GenAttrFloat("Tolerance", "Ma\xDFtoleranz in mm", row.toleranceMm));
  part->AddAttr(new GenAttrInt("Position", index + 1));
  if (row.number[0] == 'S' && row.number[1] == 'C') {
    // One standard node, linked under every screw.
    part->AddAttr(screwStandard);
  }
  return part;
}

GenAttrBase* MakeAssembly(void* hostHandle) {
  auto* root = new GenAttrCont("Assembly", "Stirnradgetriebe G-71, Baugruppe");
  root->SetId("ASM-4711");

  auto* header = new GenAttrCont("Header");
  header->AddAttr(new GenAttrString("Title", "Gearbox G-71 <helical, 2-stage>"));
  header->AddAttr(new GenAttrUnicodeString("Designer", L"J\u00F6rg M\u00FCller"));
  header->AddAttr(new GenAttrString("Approved by", "QA & Release"));
  header->AddAttr(new GenAttrInt("Revision", 7));
  header->AddAttr(new GenAttrDouble("TotalMass", "kg", 29.814));
  header->AddAttr(new GenAttrPtr("HostHandle", "owned by the host", hostHandle));
  header->AddAttr(new GenAttrBase("Placeholder", "a node without a value"));
  // A value with details below it.
  auto* units = new GenAttrString("Units", "SI");
  units->AddAttr(new GenAttrString("Length", "mm"));
  units->AddAttr(new GenAttrString("Mass", "kg"));
  header->AddAttr(units);
  root->AddAttr(header);

  auto* screwStandard = new GenAttrString("Standard", "Norm", "ISO 4762");
  auto* parts = new GenAttrCont("Parts", "St\xFC"
                                         "ckliste");
  int index = 0;
  for (int batch = 0; batch < 2; ++batch) {
    auto* group = new GenAttrCont(batch == 0 ? "Stage 1" : "Stage 2");
    group->SetId(batch == 0 ? "ST-1" : "ST-2");
    for (const PartRow& row : kParts) {
      group->AddAttr(MakePart(row, index++, screwStandard));
    }
    parts->AddAttr(group);
  }
  root->AddAttr(parts);

  // The mirrored variant shares the parts of the first stage.
  GenAttrBase* stage1 = parts->GetAttr("Stage 1");
  auto* variants = new GenAttrCont("Variants");
  variants->AddAttr(new GenAttrCont("Mirrored stage", static_cast<GenAttrCont*>(stage1)));
  root->AddAttr(variants);

  auto* notes = new GenAttrCont("Notes");
  notes->AddAttr(new GenAttrString("Assembly", "Torque M8: 35 Nm; M10: 70 Nm"));
  notes->AddAttr(new GenAttrUnicodeString("Geh\xE4use", L"Dichtfl\u00E4chen fettfrei \u2013 "
                                                        L"Loctite 5188 d\u00FCnn auftragen"));
  notes->AddAttr(new GenAttrUnicodeString("Packaging", L"\u68B1\u5305 / Palette 1200\u00D7800"));
  root->AddAttr(notes);
  return root;
}

#if defined(GENATTR_EXAMPLE_READS_BACK)
// The text listing of `root`, without the lines of Ptr nodes: a pointer
// comes back from a document as null.
std::string ListingWithoutPointers(GenAttrBase* root) {
  std::ostringstream out;
  GenAttrSTSerializer(root, &out).Write();
  std::istringstream lines(out.str());
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("(Type: Ptr)") == std::string::npos) {
      kept += line + "\n";
    }
  }
  return kept;
}

// Reads the typed document at `path` and compares the tree with `root`.
bool ReadsBackTheSameTree(GenAttrBase* root, const std::filesystem::path& path) {
  GenAttrReadError error;
  GenAttrBase* back = GenAttrXMLReader::ReadFile(path.string().c_str(), &error);
  if (back == nullptr) {
    std::cerr << "reading " << path << " failed: status " << error.mStatus << " at " << error.mLine
              << ":" << error.mColumn << ": " << error.mMessage << "\n";
    return false;
  }
  const bool same = ListingWithoutPointers(back) == ListingWithoutPointers(root);
  GenAttrBase::Free(back);
  if (!same) {
    std::cerr << path << " did not give back the same tree\n";
  }
  return same;
}
#endif // GENATTR_EXAMPLE_READS_BACK

bool PrintFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::cout << in.rdbuf();
  return static_cast<bool>(std::cout);
}

} // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : "genattr-example-output";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "cannot create " << folder << ": " << error.message() << "\n";
    return 1;
  }
  const std::filesystem::path text = folder / "assembly.txt";
  const std::filesystem::path xml = folder / "assembly.xml";
  const std::filesystem::path html = folder / "assembly.html";
  const std::filesystem::path typed = folder / "assembly-typed.xml";

  // Wide values are rendered as UTF-8 in the listing when set with the switch on.
  GenAttr_EnableCatiaJtUtfTransfer();
  int hostHandle = 0;
  TreeOwner tree{MakeAssembly(&hostHandle)};

  const int textStatus =
      GenAttrSerializerFactory::WriteToTextFile(tree.root, text.string().c_str());
  const int xmlStatus = GenAttrSerializerFactory::WriteToXmlFile(tree.root, xml.string().c_str());
  const int htmlStatus =
      GenAttrSerializerFactory::WriteToHtmlFile(tree.root, html.string().c_str());
  const int typedStatus =
      GenAttrSerializerFactory::WriteToTypedXmlFile(tree.root, typed.string().c_str());
  if (textStatus != 0 || xmlStatus != 0 || htmlStatus != 0 || typedStatus != 0) {
    std::cerr << "writing failed: text status " << textStatus << ", XML status " << xmlStatus
              << ", HTML status " << htmlStatus << ", typed XML status " << typedStatus << "\n";
    return 1;
  }
#if defined(GENATTR_EXAMPLE_READS_BACK)
  if (!ReadsBackTheSameTree(tree.root, typed)) {
    return 1;
  }
  const char* const typedLabel = "Typed XML document (read back: the same tree): ";
#else
  const char* const typedLabel = "Typed XML document: ";
#endif
  std::cout << "Text listing: " << std::filesystem::absolute(text).string() << "\n"
            << "XML document: " << std::filesystem::absolute(xml).string() << "\n"
            << "HTML page:    " << std::filesystem::absolute(html).string() << "\n"
            << typedLabel << std::filesystem::absolute(typed).string() << "\n\n";
  return PrintFile(text) ? 0 : 1;
}
