// Helpers of the reader tests: documents written to memory and read back.
#ifndef GENATTR_TESTS_XML_READERTESTUTIL_H
#define GENATTR_TESTS_XML_READERTESTUTIL_H

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/serialize/WriterTestUtil.h"

namespace readertest {

// The XML document of `root`, typed or not, its time stamp masked.
inline std::string Document(GenAttrBase* root, bool typed) {
  std::ostringstream out;
  GenAttrXMLSerializer writer(root, &out);
  writer.SetTypedOutput(typed);
  writer.SetFlushEachLine(false);
  writer.Write();
  std::string document = out.str();
  // Only the root's time stamp: nodes may be named DateAndTime too.
  const std::string tag = "<DateAndTime>";
  const std::size_t at = document.find(tag);
  EXPECT_NE(at, std::string::npos);
  if (at != std::string::npos) {
    document.replace(at + tag.size(), 24, "Sun Dec 06 15:38:51 2026");
  }
  return document;
}

// Reads `document`; the status lands in `error`.
inline GenAttrBase* Read(const std::string& document, GenAttrReadError& error) {
  return GenAttrXMLReader::ReadBuffer(document.data(), document.size(), &error);
}

// Reads `document` without the "@" and "#text" children; the status lands in
// `error`.
inline GenAttrBase* ReadElements(const std::string& document, GenAttrReadError& error) {
  GenAttrReadOptions elementsOnly;
  elementsOnly.mKeepAttributes = false;
  return GenAttrXMLReader::ReadBuffer(document.data(), document.size(), elementsOnly, &error);
}

// Frees a tree at the end of a scope.
struct Tree {
  explicit Tree(GenAttrBase* node) : root(node) {}
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  ~Tree() {
    if (root != nullptr) {
      GenAttrBase::Free(root);
    }
  }
  GenAttrBase* root;
};

} // namespace readertest

#endif // GENATTR_TESTS_XML_READERTESTUTIL_H
