// Helpers of the hostile-input tests: standard output capture, documents
// written to memory, names of a result list, and the release of a tree that
// holds a loop of links.
#ifndef GENATTR_TESTS_HOSTILE_HOSTILEUTIL_H
#define GENATTR_TESTS_HOSTILE_HOSTILEUTIL_H

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace hostile {

template <typename F> std::string Output(F&& call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

// The text listing of the tree below `root`.
inline std::string TextOf(GenAttrBase* root) {
  std::ostringstream out;
  GenAttrSTSerializer(root, &out).Write();
  return out.str();
}

// The XML document of the tree below `root`, its time stamp replaced by the
// one of the golden documents ("Sun Dec 06 15:38:51 2026").
inline std::string XmlOf(GenAttrBase* root) {
  std::ostringstream out;
  GenAttrXMLSerializer(root, &out).Write();
  std::string document = out.str();
  EXPECT_TRUE(writertest::MaskTimeStamps(document));
  return document;
}

// The names in `list`, separated by spaces; frees the list.
inline std::string Names(GenAttrList* list) {
  std::string names;
  for (GenAttrBase* node = list->GetFirst(); node != nullptr; node = list->GetNext()) {
    names += names.empty() ? "" : " ";
    names += node->GetName();
  }
  GenAttrList::Free(list);
  return names;
}

// Releases a structure whose links loop through `node`, a plain node on
// which the test holds one count of its own: deleting it directly gives back
// the counts of its links whatever its own count, and the nodes that this
// destroys give back theirs to `node` while it is still whole (the held count
// keeps it from being destroyed a second time). Returns what was printed: the
// warning about the counts still held.
inline std::string DeleteLoopNode(GenAttrBase* node) {
  return Output([node] { delete node; });
}

inline const std::string kRule = std::string(49, '-') + "\n";
inline const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
inline const std::string kStamp = "<DateAndTime>Sun Dec 06 15:38:51 2026</DateAndTime>\n";

} // namespace hostile

#endif // GENATTR_TESTS_HOSTILE_HOSTILEUTIL_H
