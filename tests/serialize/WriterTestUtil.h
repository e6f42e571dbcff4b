// Shared helpers of the writer tests: tree ownership, the sample tree, time
// stamp masking and an output sink that only counts.
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

// Discards what it is given but counts bytes and line feeds and keeps the
// last bytes, so that huge documents cost no memory.
class CountingBuf : public std::streambuf {
public:
  CountingBuf() { setp(mBuffer, mBuffer + sizeof mBuffer); }

  std::size_t Bytes() { return Drain(), mBytes; }
  std::size_t Lines() { return Drain(), mLines; }
  // Up to the last 256 bytes.
  std::string Tail() { return Drain(), mTail; }

protected:
  int_type overflow(int_type c) override {
    Drain();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    Drain();
    return 0;
  }

private:
  void Drain() {
    const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
    mBytes += n;
    mLines += static_cast<std::size_t>(std::count(pbase(), pptr(), '\n'));
    mTail.append(pbase(), n);
    if (mTail.size() > 256) {
      mTail.erase(0, mTail.size() - 256);
    }
    setp(mBuffer, mBuffer + sizeof mBuffer);
  }

  char mBuffer[4096];
  std::size_t mBytes = 0;
  std::size_t mLines = 0;
  std::string mTail;
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
