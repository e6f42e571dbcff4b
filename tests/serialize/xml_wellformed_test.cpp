// Random trees with hostile names, values and descriptions are written as XML
// and read back with libxml2: every document must parse, and every value and
// description must come back as the tree holds it, after the replacement of
// what XML cannot carry.
#include <clocale>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"
#include "tests/support/HostileTrees.h"
#include "tests/support/XmlNav.h"

namespace {

// What a parser returns for the code point `c`.
void AppendExpected(std::string& out, std::uint32_t c) {
  const bool carried = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                       (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
  xmlChar bytes[8];
  out.append(reinterpret_cast<char*>(bytes), xmlCopyCharMultiByte(bytes, carried ? c : 0xFFFD));
}

// Under the "C" locale ASCII converts and anything else is read as ISO 8859-1.
std::string Expected(const char* text) {
  std::string out;
  for (; *text != '\0'; ++text) {
    AppendExpected(out, static_cast<unsigned char>(*text));
  }
  return out;
}

std::string Expected(const wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) {
    auto c = static_cast<std::uint32_t>(text[0]);
    const auto next = static_cast<std::uint32_t>(text[1]);
    if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
      ++text;
    }
    AppendExpected(out, c);
  }
  return out;
}

const std::vector<std::string> kNarrow = {
    "a",    "Z",    "&",    "<",    ">",   "\"",    "'", "\t", "\n", "\r", "\x01",
    "\x7F", "\xE9", "\x80", "\xFF", "]]>", "&amp;", " ", "1",  "-",  ".",  ":"};
const wchar_t kWide[] = {L'a',   L'&',   L'"',   L'\t',  L'\r',  0x01,    0xE9,     0x20AC,
                         0xD83D, 0xDE00, 0xD800, 0xDFFF, 0xFFFE, 0x1F600, 0x110000, 0x7FFFFFFF};

using genattr_test::NextElement;
using genattr_test::Take;

// Compares `element` with `node`, subtrees included; the first `skip` child
// elements (the root's time stamp) stand for no node.
::testing::AssertionResult Matches(xmlNode* element, GenAttrBase* node, int skip) {
  const auto failure = [&](const char* what) {
    return ::testing::AssertionFailure() << what << " of <" << element->name << ">";
  };
  const char* description = node->GetDescription();
  if (description == nullptr
          ? xmlHasProp(element, BAD_CAST "desc") != nullptr
          : Take(xmlGetProp(element, BAD_CAST "desc")) != Expected(description)) {
    return failure("desc");
  }
  xmlNode* cursor = element->children;
  if (node->GetType() != Cont) {
    std::string value; // in an attribute, or the text in front of any child element
    if (node->HasChildren() != 0) {
      value = Take(xmlGetProp(element, BAD_CAST "value"));
    } else {
      for (; cursor != nullptr && cursor->type != XML_ELEMENT_NODE; cursor = cursor->next) {
        value += Take(xmlNodeGetContent(cursor));
      }
    }
    if (value != (node->GetType() == UnicodeString
                      ? Expected(static_cast<GenAttrUnicodeString*>(node)->GetValue())
                      : Expected(node->GetValueAsString()))) {
      return failure("value");
    }
  }
  for (; skip > 0; --skip) {
    NextElement(&cursor);
  }
  for (GenAttrBase* child = node->GetFirstAttr(); child != nullptr; child = node->GetNextAttr()) {
    xmlNode* childElement = NextElement(&cursor);
    if (childElement == nullptr) {
      return failure("too few children");
    }
    if (::testing::AssertionResult result = Matches(childElement, child, 0); !result) {
      return result;
    }
  }
  return NextElement(&cursor) == nullptr ? ::testing::AssertionSuccess()
                                         : failure("too many children");
}

::testing::AssertionResult ReadsBack(GenAttrBase* root, int indent) {
  std::ostringstream out;
  GenAttrXMLSerializer writer(root, &out);
  writer.SetIndentIncrement(indent);
  writer.Write();
  const std::string document = out.str();
  xmlDoc* doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "tree.xml",
                              nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  ::testing::AssertionResult result = doc == nullptr ? ::testing::AssertionFailure()
                                                           << xmlGetLastError()->message
                                                     : Matches(xmlDocGetRootElement(doc), root, 1);
  xmlFreeDoc(doc);
  if (!result) {
    result << "\n" << ::testing::PrintToString(document);
  }
  return result;
}

TEST(XmlWellFormed, HostileTreesReadBackExactly) {
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
    const std::wstring wide(std::begin(kWide), std::end(kWide));
    genattr_test::HostileTrees random(seed, kNarrow, wide);
    writertest::Tree tree(random.Node(random.Below(5)));
    ASSERT_TRUE(ReadsBack(tree.get(), random.Below(3))) << "seed " << seed;
  }
}

} // namespace
