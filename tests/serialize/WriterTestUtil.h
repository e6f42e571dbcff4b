// Helpers of the writer tests: tree ownership, the sample tree, time stamp
// masking, a sink that only counts.
#ifndef GENATTR_TESTS_SERIALIZE_WRITERTESTUTIL_H
#define GENATTR_TESTS_SERIALIZE_WRITERTESTUTIL_H

#include <algorithm>
#include <cstddef>
#include <memory>
#include <regex>
#include <streambuf>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/support/CountingBuf.h"

namespace writertest {

struct FreeNode {
  void operator()(GenAttrBase* node) const { GenAttrBase::Free(node); }
};
// Owns a root made with new, and so the whole tree.
using Tree = std::unique_ptr<GenAttrBase, FreeNode>;

// Model (id M1): Material (described), Part (id P7: Mass, Count), Count
// again, PartRef (a reference to Part), Color (holding Alpha).
inline Tree MakeModelTree() {
  auto* model = new GenAttrCont("Model");
  model->SetId("M1");
  model->AddAttr(new GenAttrString("Material", "surface material", "Steel"));
  auto* part = new GenAttrCont("Part");
  part->SetId("P7");
  part->AddAttr(new GenAttrDouble("Mass", 12.5));
  auto* count = new GenAttrInt("Count", 3);
  part->AddAttr(count);
  model->AddAttr(part);
  model->AddAttr(count);
  model->AddAttr(new GenAttrCont("PartRef", part));
  auto* color = new GenAttrString("Color", "red & blue");
  color->AddAttr(new GenAttrInt("Alpha", 255));
  model->AddAttr(color);
  return Tree(model);
}

// A chain of `depth` containers, each holding the next.
inline Tree MakeChain(std::size_t depth) {
  Tree root(new GenAttrCont("n"));
  GenAttrBase* last = root.get();
  for (std::size_t i = 1; i < depth; ++i) {
    auto* next = new GenAttrCont("n");
    last->AddAttr(next);
    last = next;
  }
  return root;
}

// Checks the layout of every time stamp (after each `tag`) and replaces it by
// the one of the golden documents.
inline ::testing::AssertionResult MaskTimeStamps(std::string& document,
                                                 const std::string& tag = "<DateAndTime>") {
  static const std::regex layout("(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                 "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                 "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}");
  for (std::size_t at = document.find(tag); at != std::string::npos;
       at = document.find(tag, at + 1)) {
    if (!std::regex_match(document.substr(at + tag.size(), 24), layout)) {
      return ::testing::AssertionFailure() << "bad time stamp in " << document;
    }
    document.replace(at + tag.size(), 24, "Sun Dec 06 15:38:51 2026");
  }
  return ::testing::AssertionSuccess();
}

using genattr_test::CountingBuf;

} // namespace writertest

#endif // GENATTR_TESTS_SERIALIZE_WRITERTESTUTIL_H
