// Typed documents of random trees are well-formed, namespace-well-formed XML
// 1.0 for libxml2 too, and it sees the same elements as in the plain document.
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include "tests/xml/RandomTree.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

// Element names in document order, or "" when libxml2 refuses the document.
std::string ElementNames(const std::string& document) {
  xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "typed.xml",
                                nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
  if (doc == nullptr) {
    return "";
  }
  std::string names;
  std::vector<xmlNodePtr> work{xmlDocGetRootElement(doc)};
  while (!work.empty()) {
    xmlNodePtr node = work.back();
    work.pop_back();
    names += reinterpret_cast<const char*>(node->name);
    names += ' ';
    std::vector<xmlNodePtr> children;
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) {
        children.push_back(child);
      }
    }
    work.insert(work.end(), children.rbegin(), children.rend());
  }
  xmlFreeDoc(doc);
  return names;
}

TEST(TypedDocument, WellFormedForLibxml2WithThePlainElements) {
  for (std::uint32_t seed = 1; seed <= 100; ++seed) {
    SCOPED_TRACE(seed);
    readertest::Tree tree(readertest::RandomTree(seed, true).Make());
    testing::internal::CaptureStdout();
    const std::string typed = readertest::Document(tree.root, true);
    const std::string plain = readertest::Document(tree.root, false);
    testing::internal::GetCapturedStdout();
    const std::string names = ElementNames(typed);
    EXPECT_NE(names, "") << typed;
    EXPECT_EQ(names, ElementNames(plain));
  }
}

} // namespace
