// The XML reader on arbitrary bytes. Whatever the input, the reader returns a
// status from 0 to 4 with a message, a root exactly when the status is 0, and
// leaks nothing. A tree it read is written as a typed document, which must
// read back with status 0 to a tree equal node for node and in shape, whose
// own typed document is the same, byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/support/TreeCompare.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken expectation: %s\n", what);
    std::abort();
  }
}

std::string TypedDocument(GenAttrBase* root) {
  std::ostringstream out;
  GenAttrXMLSerializer writer(root, &out);
  writer.SetTypedOutput(true);
  writer.SetFlushEachLine(false);
  writer.Write();
  std::string document = out.str();
  const std::string tag = "<DateAndTime>";
  const std::size_t at = document.find(tag);
  Check(at != std::string::npos, "the root's time stamp is written");
  document.replace(at + tag.size(), 24, 24, '-');
  return document;
}

GenAttrBase* ReadChecked(const char* data, std::size_t size, GenAttrReadError& error) {
  GenAttrBase* root = GenAttrXMLReader::ReadBuffer(data, size, &error);
  Check(error.mStatus >= 0 && error.mStatus <= 4, "status from 0 to 4");
  Check((root != nullptr) == (error.mStatus == 0), "a root exactly on status 0");
  Check((error.mMessage[0] == '\0') == (error.mStatus == 0), "a message exactly on failure");
  Check(root == nullptr || root->GetRefCount() == 0, "the root has count 0");
  return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GenAttrReadError error;
  GenAttrBase* root = ReadChecked(reinterpret_cast<const char*>(data), size, error);
  if (root == nullptr) {
    return 0;
  }
  const std::string first = TypedDocument(root);
  GenAttrBase* again = ReadChecked(first.data(), first.size(), error);
  if (again == nullptr) {
    std::fprintf(stderr, "status %d at %lu:%lu: %s\n%s\n", error.mStatus, error.mLine,
                 error.mColumn, error.mMessage, first.c_str());
  }
  Check(again != nullptr, "a typed document of ours reads back");
  const std::string difference = genattr_test::TreeCompare().Compare(root, again);
  if (!difference.empty()) {
    std::fprintf(stderr, "%s\n", difference.c_str());
  }
  Check(difference.empty(), "the typed document gives back the same tree");
  Check(TypedDocument(again) == first, "the tree read back writes the same document");
  GenAttrBase::Free(again);
  GenAttrBase::Free(root);
  return 0;
}
