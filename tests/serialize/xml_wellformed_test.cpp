// Random trees with hostile names, values, descriptions and stylesheets are
// written as XML and read back with libxml2: every document must parse, and
// every value and description must come back as the tree holds it, after the
// replacement of what XML cannot carry.
#include <clocale>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include "genattr/GenAttr.h"
#include "serialize/WriterTestUtil.h"

namespace {

using writertest::Tree;

// --- the reference model of what a parser returns -------------------------

void AppendUtf8(std::string& out, char32_t c) {
  const bool carried = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                       (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
  if (!carried) {
    c = 0xFFFD;
  }
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// 8-bit text under the "C" locale: ASCII converts; anything else is read as
// ISO 8859-1 (which agrees with ASCII on ASCII).
std::string ExpectedNarrow(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    AppendUtf8(out, c);
  }
  return out;
}

std::string ExpectedWide(const std::wstring& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<char32_t>(static_cast<std::uint32_t>(text[i]));
    const auto next =
        i + 1 < text.size() ? static_cast<char32_t>(static_cast<std::uint32_t>(text[i + 1])) : 0;
    if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// --- hostile input --------------------------------------------------------

const char* const kNarrowPieces[] = {"a",   "Z",     "&",    "<",    ">",    "\"",   "'",    "\t",
                                     "\n",  "\r",    "\x01", "\x1F", "\x7F", "\xE9", "\x80", "\xFF",
                                     "]]>", "&amp;", " ",    "1",    "-",    ".",    ":",    "?>"};
const wchar_t kWideUnits[] = {L'a',   L'&',   L'<',   L'>',    L'"',     L'\t',    L'\n',
                              L'\r',  0x01,   0xE9,   0x20AC,  0xD83D,   0xDE00,   0xD800,
                              0xDFFF, 0xFFFE, 0xFFFF, 0x1F600, 0x10FFFF, 0x110000, 0x7FFFFFFF};
// Stylesheet pieces, each with what it reads back as (the pieces are chosen
// so that no piece completes a sequence another one started).
const char* const kStylePieces[][2] = {{"a", "a"},
                                       {"&", "&"},
                                       {"<", "<"},
                                       {">", ">"},
                                       {"]]>", "]]>"},
                                       {"?>", "?>"},
                                       {"\"", "\""},
                                       {"\xC3\xA9", "\xC3\xA9"},
                                       {"\xC3", "\xEF\xBF\xBD"},
                                       {"\xFF", "\xEF\xBF\xBD"},
                                       {"\x01", "\xEF\xBF\xBD"},
                                       {"\r", "\r"},
                                       {"\t", "\t"}};

class Generator {
public:
  explicit Generator(std::uint32_t seed) : mRandom(seed) {}

  std::string Narrow() {
    std::string text;
    for (int n = Below(6); n > 0; --n) {
      text += kNarrowPieces[Below(sizeof kNarrowPieces / sizeof *kNarrowPieces)];
    }
    return text;
  }

  std::wstring Wide() {
    std::wstring text;
    for (int n = Below(8); n > 0; --n) {
      text += kWideUnits[Below(sizeof kWideUnits / sizeof *kWideUnits)];
    }
    return text;
  }

  // A stylesheet text and what it reads back as.
  std::pair<std::string, std::string> Style() {
    std::pair<std::string, std::string> text;
    for (int n = Below(6); n > 0; --n) {
      const auto& piece = kStylePieces[Below(sizeof kStylePieces / sizeof *kStylePieces)];
      text.first += piece[0];
      text.second += piece[1];
    }
    return text;
  }

  // A node with a subtree of at most `depth` more levels. Finished subtrees
  // are linked again now and then (shared children, references): they are
  // never ancestors of the node being built, so no cycle arises.
  GenAttrBase* Node(int depth) {
    GenAttrBase* node = Fresh();
    for (int n = depth > 0 ? Below(5) : 0; n > 0; --n) {
      const int pick = Below(10);
      if (pick == 0 && !mFinished.empty()) {
        node->AddAttr(mFinished[Below(static_cast<int>(mFinished.size()))]);
      } else if (pick == 1 && !mContainers.empty()) {
        GenAttrCont* target = mContainers[Below(static_cast<int>(mContainers.size()))];
        node->AddAttr(new GenAttrCont(Narrow().c_str(), target));
      } else {
        node->AddAttr(Node(depth - 1));
      }
    }
    mFinished.push_back(node);
    if (node->GetType() == Cont) {
      mContainers.push_back(static_cast<GenAttrCont*>(node));
    }
    return node;
  }

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(mRandom); }

private:
  GenAttrBase* Fresh() {
    const std::string name = Narrow();
    const std::string description = Narrow();
    const char* desc = Below(2) == 0 ? nullptr : description.c_str();
    switch (Below(8)) {
    case 0:
      return new GenAttrBase(name.c_str(), desc);
    case 1:
      return new GenAttrString(name.c_str(), desc, Narrow().c_str());
    case 2:
      return new GenAttrFloat(name.c_str(), desc, 1.5f);
    case 3:
      return new GenAttrDouble(name.c_str(), desc, -2.25);
    case 4:
      return new GenAttrInt(name.c_str(), desc, -7);
    case 5:
      return new GenAttrUnicodeString(name.c_str(), desc, Wide().c_str());
    case 6:
      return new GenAttrPtr(name.c_str(), desc, nullptr);
    default: {
      auto* cont = new GenAttrCont(name.c_str(), desc);
      if (Below(2) == 0) {
        cont->SetId(Narrow().c_str());
      }
      return cont;
    }
    }
  }

  std::mt19937 mRandom;
  std::vector<GenAttrBase*> mFinished;
  std::vector<GenAttrCont*> mContainers;
};

// --- comparison with the parsed document ----------------------------------

std::string Take(xmlChar* text) {
  std::string result = text != nullptr ? reinterpret_cast<const char*>(text) : "";
  xmlFree(text);
  return result;
}

std::vector<xmlNode*> Elements(xmlNode* parent) {
  std::vector<xmlNode*> elements;
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      elements.push_back(child);
    }
  }
  return elements;
}

// The text in front of the first child element.
std::string LeadingText(xmlNode* element) {
  std::string text;
  for (xmlNode* child = element->children; child != nullptr && child->type != XML_ELEMENT_NODE;
       child = child->next) {
    text += Take(xmlNodeGetContent(child));
  }
  return text;
}

std::string NodeValue(GenAttrBase* node) {
  if (node->GetType() == UnicodeString) {
    return ExpectedWide(static_cast<GenAttrUnicodeString*>(node)->GetValue());
  }
  return ExpectedNarrow(node->GetValueAsString());
}

// Compares `element` with `node` and their subtrees; `skip` leading child
// elements (the root's stylesheet and time stamp) are not nodes.
::testing::AssertionResult Matches(xmlNode* element, GenAttrBase* node, std::size_t skip) {
  const std::string where =
      std::string(" at element ") + reinterpret_cast<const char*>(element->name);
  const char* description = node->GetDescription();
  if ((xmlHasProp(element, BAD_CAST "desc") != nullptr) != (description != nullptr)) {
    return ::testing::AssertionFailure() << "desc presence" << where;
  }
  if (description != nullptr &&
      Take(xmlGetProp(element, BAD_CAST "desc")) != ExpectedNarrow(description)) {
    return ::testing::AssertionFailure() << "desc" << where;
  }
  const bool hasChildren = node->HasChildren() != 0;
  if (node->GetType() != Cont) {
    const std::string value =
        hasChildren ? Take(xmlGetProp(element, BAD_CAST "value")) : LeadingText(element);
    if (value != NodeValue(node)) {
      return ::testing::AssertionFailure() << "value \"" << value << "\"" << where;
    }
  }
  std::vector<GenAttrBase*> children;
  for (GenAttrBase* child = node->GetFirstAttr(); child != nullptr; child = node->GetNextAttr()) {
    children.push_back(child);
  }
  const std::vector<xmlNode*> elements = Elements(element);
  if (elements.size() != children.size() + skip) {
    return ::testing::AssertionFailure() << "child count" << where;
  }
  for (std::size_t i = 0; i < children.size(); ++i) {
    const ::testing::AssertionResult child = Matches(elements[i + skip], children[i], 0);
    if (!child) {
      return child;
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ReadsBack(GenAttrBase* root, Generator& random) {
  std::ostringstream out;
  GenAttrXMLSerializer writer(root, &out);
  const auto css = random.Style();
  const bool withCss = random.Below(3) == 0;
  if (withCss) {
    writer.SetCSSStylesheet(css.first.c_str());
  }
  if (random.Below(3) == 0) {
    writer.SetXSLStylesheet(random.Style().first.c_str());
  }
  writer.SetInitialIndent(random.Below(3));
  writer.SetIndentIncrement(random.Below(3));
  writer.Write();
  const std::string document = out.str();

  xmlDoc* doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "tree.xml",
                              nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) {
    const xmlError* error = xmlGetLastError();
    return ::testing::AssertionFailure()
           << "not well-formed: " << (error != nullptr ? error->message : "?") << document;
  }
  xmlNode* top = xmlDocGetRootElement(doc);
  ::testing::AssertionResult result = Matches(top, root, withCss ? 2 : 1);
  if (result && withCss && LeadingText(Elements(top)[0]) != css.second) {
    result = ::testing::AssertionFailure() << "CSS text";
  }
  xmlFreeDoc(doc);
  if (!result) {
    result << "\n" << document;
  }
  return result;
}

TEST(XmlWellFormed, HostileTreesReadBackExactly) {
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
    Generator random(seed);
    Tree tree(random.Node(random.Below(5)));
    ASSERT_TRUE(ReadsBack(tree.get(), random)) << "seed " << seed;
  }
}

} // namespace
