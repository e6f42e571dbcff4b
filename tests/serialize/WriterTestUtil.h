// Shared helpers of the writer tests: tree ownership, the sample tree, time
// stamp masking and an output sink that only counts.
#ifndef GENATTR_TESTS_SERIALIZE_WRITERTESTUTIL_H
#define GENATTR_TESTS_SERIALIZE_WRITERTESTUTIL_H

#include <cstddef>
#include <memory>
#include <regex>
#include <streambuf>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"

namespace writertest {

struct FreeNode {
  void operator()(GenAttrBase* node) const { GenAttrBase::Free(node); }
};
// Owns a root made with new; the tree below goes with it.
using Tree = std::unique_ptr<GenAttrBase, FreeNode>;

// The sample tree: a container Model (id M1) with a described string, a
// container Part (id P7) holding Mass and Count, Count again, a reference to
// Part, and a string Color holding Alpha.
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

// The time stamp every "<DateAndTime>" holds, once checked for its layout,
// replaced by the fixed one of the golden documents.
inline ::testing::AssertionResult MaskTimeStamps(std::string& document) {
  static const std::regex layout("(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                                 "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                 "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}");
  const std::string tag = "<DateAndTime>";
  for (std::size_t at = document.find(tag); at != std::string::npos;
       at = document.find(tag, at + 1)) {
    const std::string stamp = document.substr(at + tag.size(), 24);
    if (!std::regex_match(stamp, layout)) {
      return ::testing::AssertionFailure() << "bad time stamp \"" << stamp << "\"";
    }
    document.replace(at + tag.size(), 24, "Sun Dec 06 15:38:51 2026");
  }
  return ::testing::AssertionSuccess();
}

// Discards what it is given but counts bytes and line feeds, so that huge
// documents cost no memory.
class CountingBuf : public std::streambuf {
public:
  std::size_t bytes = 0;
  std::size_t lines = 0;
  std::string tail; // the last bytes written, up to 256

protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      const char ch = traits_type::to_char_type(c);
      xsputn(&ch, 1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) {
      lines += s[i] == '\n' ? 1 : 0;
    }
    bytes += static_cast<std::size_t>(n);
    tail.append(s, static_cast<std::size_t>(n));
    if (tail.size() > 256) {
      tail.erase(0, tail.size() - 256);
    }
    return n;
  }
};

// A chain of `depth` containers, each holding the next; the deepest is a leaf.
inline Tree MakeChain(std::size_t depth) {
  GenAttrBase* root = new GenAttrCont("n");
  GenAttrBase* last = root;
  for (std::size_t i = 1; i < depth; ++i) {
    GenAttrBase* next = new GenAttrCont("n");
    last->AddAttr(next);
    last = next;
  }
  return Tree(root);
}

} // namespace writertest

#endif // GENATTR_TESTS_SERIALIZE_WRITERTESTUTIL_H
