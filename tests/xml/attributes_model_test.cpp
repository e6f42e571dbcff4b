// Random documents without typed elements, read by the reader and by a small
// model of the untyped rules over libxml2's SAX events: the trees must be
// equal, with attributes and runs of text kept and without them.
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <libxml/parser.h>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/support/TreeCompare.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Tree;

// One element as libxml2 reports it: its name and attributes as written, and
// its content, where text between two element boundaries is one item
// (comments and processing instructions are not reported, so they split
// nothing).
struct Element {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  struct Item {
    std::string text;
    std::unique_ptr<Element> element; // null for text
  };
  std::vector<Item> content;
};

struct SaxState {
  std::unique_ptr<Element> root;
  std::vector<Element*> open;
};

// SAX1: no namespace processing, names and attributes (xmlns ones included)
// exactly as the start tag has them, in its order.
void OnStart(void* user, const xmlChar* name, const xmlChar** attributes) {
  auto& state = *static_cast<SaxState*>(user);
  auto element = std::make_unique<Element>();
  element->name = reinterpret_cast<const char*>(name);
  for (const xmlChar** a = attributes; a != nullptr && *a != nullptr; a += 2) {
    element->attributes.emplace_back(reinterpret_cast<const char*>(a[0]),
                                     reinterpret_cast<const char*>(a[1]));
  }
  Element* raw = element.get();
  if (state.open.empty()) {
    state.root = std::move(element);
  } else {
    state.open.back()->content.push_back(Element::Item{"", std::move(element)});
  }
  state.open.push_back(raw);
}

void OnEnd(void* user, const xmlChar*) {
  static_cast<SaxState*>(user)->open.pop_back();
}

void OnText(void* user, const xmlChar* text, int length) {
  auto& state = *static_cast<SaxState*>(user);
  if (state.open.empty()) {
    return;
  }
  auto& content = state.open.back()->content;
  if (content.empty() || content.back().element != nullptr) {
    content.push_back(Element::Item{});
  }
  content.back().text.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

std::unique_ptr<Element> ParseWithLibxml2(const std::string& document) {
  xmlSAXHandler handler{};
  handler.startElement = &OnStart;
  handler.endElement = &OnEnd;
  handler.characters = &OnText;
  handler.ignorableWhitespace = &OnText;
  handler.cdataBlock = &OnText;
  SaxState state;
  // Without the SAX2 mark the parser stays with the SAX1 events.
  xmlParserCtxtPtr parser = xmlCreatePushParserCtxt(&handler, &state, nullptr, 0, "random.xml");
  if (parser == nullptr) {
    ADD_FAILURE() << "libxml2 made no parser";
    return nullptr;
  }
  // References to the predefined entities resolved in attribute values too
  // (without this libxml2 hands on "&#38;" for "&amp;" there).
  xmlCtxtUseOptions(parser, XML_PARSE_NOENT | XML_PARSE_NONET);
  const int failed = xmlParseChunk(parser, document.data(), static_cast<int>(document.size()), 1);
  const bool wellFormed = failed == 0 && parser->wellFormed != 0;
  xmlFreeParserCtxt(parser);
  EXPECT_TRUE(wellFormed) << document;
  return wellFormed ? std::move(state.root) : nullptr;
}

bool IsStamp(const std::string& name) {
  return name == "DateAndTime" || name == "CSS_StyleSheet";
}

bool OnlyWhiteSpace(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

const std::string* Attribute(const Element& element, const char* name) {
  for (const auto& [key, value] : element.attributes) {
    if (key == name) {
      return &value;
    }
  }
  return nullptr;
}

// The tree the README's untyped rules make of `element`.
GenAttrBase* Expected(const Element& element, bool root, bool keep) {
  // The root's leading time stamps are left out, and its own text ends at
  // the first of them.
  std::vector<bool> skipped(element.content.size(), false);
  for (std::size_t i = 0; root && i < element.content.size(); ++i) {
    if (element.content[i].element != nullptr) {
      if (!IsStamp(element.content[i].element->name)) {
        break;
      }
      skipped[i] = true;
    }
  }
  std::string text;
  bool children = false;
  for (std::size_t i = 0; i < element.content.size(); ++i) {
    children = children || (element.content[i].element != nullptr && !skipped[i]);
  }
  for (std::size_t i = 0; i < element.content.size() && !skipped[i]; ++i) {
    text += element.content[i].text;
  }
  const std::string* desc = Attribute(element, "desc");
  const std::string* value = Attribute(element, "value");
  const char* name = element.name.c_str();
  GenAttrBase* node = nullptr;
  if (children && value == nullptr) {
    node = desc != nullptr ? new GenAttrCont(name, desc->c_str()) : new GenAttrCont(name);
  } else {
    const char* shown = value != nullptr ? value->c_str() : text.c_str();
    node = desc != nullptr ? new GenAttrString(name, desc->c_str(), shown)
                           : new GenAttrString(name, shown);
  }
  if (keep) {
    for (const auto& [key, attribute] : element.attributes) {
      if (key != "desc" && key != "value") {
        node->AddAttr(new GenAttrString(("@" + key).c_str(), attribute.c_str()));
      }
    }
  }
  if (!children) {
    return node;
  }
  for (std::size_t i = 0; i < element.content.size(); ++i) {
    const Element::Item& item = element.content[i];
    if (item.element == nullptr) {
      if (keep && !OnlyWhiteSpace(item.text)) {
        node->AddAttr(new GenAttrString("#text", item.text.c_str()));
      }
    } else if (!skipped[i]) {
      node->AddAttr(Expected(*item.element, false, keep));
    }
  }
  return node;
}

// Random untyped documents: prefixed names, xmlns and other prefixed
// attributes, references to entities and characters in attributes and text,
// CDATA, comments and processing instructions inside runs, runs of white
// space only, time stamps where the root may lead with them and elsewhere.
class RandomDocument {
public:
  explicit RandomDocument(std::uint32_t seed) : mRandom(seed) {}

  std::string Make() {
    mOut.clear();
    if (Pick(0, 1) == 0) {
      mOut += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    }
    Misc();
    Element(0);
    Misc();
    return mOut;
  }

private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(mRandom); }
  template <std::size_t N> const char* From(const char* const (&choices)[N]) {
    return choices[Pick(0, static_cast<int>(N) - 1)];
  }

  void Misc() {
    static const char* const misc[] = {"", "\n", "<!-- before -->", "<?pi data?>"};
    mOut += From(misc);
  }

  void Attributes() {
    // "ga:" attributes mean nothing on an element without ga:type or ga:link.
    static const char* const names[] = {
        "x",         "id",       "d",        "width",   "xlink:href", "xmlns",
        "xmlns:svg", "xmlns:ga", "xml:lang", "ga:name", "ga:node",    "ga:ref",
        "ga:id",     "desc",     "value",    "a-b",     "_u",         "caf\xC3\xA9"};
    static const char* const values[] = {
        "",     "1",          "M 10 10 L 20 20 Z", "a&amp;b", "&lt;&gt;",    "&quot;'",   "&#10;",
        "a\tb", "line\nnext", "&#x9;&#13;",        " ",       "caf\xC3\xA9", "&#x1F600;", "#p1"};
    std::vector<const char*> chosen;
    for (int n = Pick(0, 4); n > 0; --n) {
      const char* name = From(names);
      bool again = false;
      for (const char* c : chosen) {
        again = again || std::string(c) == name;
      }
      if (!again) {
        chosen.push_back(name);
      }
    }
    for (const char* name : chosen) {
      mOut += Pick(0, 1) == 0 ? " " : "\n  ";
      mOut += name;
      mOut += "=\"";
      for (int n = Pick(0, 3); n > 0; --n) {
        mOut += From(values);
      }
      mOut += '"';
    }
  }

  void Stamp() {
    mOut += Pick(0, 1) == 0 ? "<DateAndTime>Sun Dec 06 15:38:51 2026</DateAndTime>"
                            : "<CSS_StyleSheet a=\"1\">tree.css<b/></CSS_StyleSheet>";
  }

  // A piece of content other than an element. No piece begins with ">" or
  // ends with "]]", so that no two make "]]>" outside a CDATA section.
  void Piece() {
    static const char* const pieces[] = {" ",
                                         "\n  ",
                                         "\t",
                                         "\r\n",
                                         "x",
                                         "hello world",
                                         "caf\xC3\xA9",
                                         "\xE6\x97\xA5",
                                         "a>b",
                                         "a]]b",
                                         "&amp;",
                                         "&lt;",
                                         "&gt;",
                                         "&quot;",
                                         "&apos;",
                                         "&#233;",
                                         "&#x1F600;",
                                         "&#13;",
                                         "&#32;",
                                         "&#x9;",
                                         "&#10;",
                                         "<![CDATA[<&>]]>",
                                         "<![CDATA[]]>",
                                         "<![CDATA[ ]]>",
                                         "<![CDATA[a]]b]]>",
                                         "<!-- c -->",
                                         "<!---->",
                                         "<?pi x?>",
                                         "<?x?>"};
    mOut += From(pieces);
  }

  void Element(int depth) {
    static const char* const names[] = {
        "a",        "b",           "item",           "svg:path",    "x:y",
        "ga:thing", "DateAndTime", "CSS_StyleSheet", "caf\xC3\xA9", "n.1",
        "_"};
    const std::string name = depth == 0 && Pick(0, 3) == 0 ? "r" : From(names);
    mOut += '<';
    mOut += name;
    Attributes();
    if (Pick(0, 5) == 0) {
      mOut += "/>";
      return;
    }
    mOut += '>';
    if (depth == 0 && Pick(0, 1) == 0) {
      for (int n = Pick(1, 3); n > 0; --n) {
        if (Pick(0, 1) == 0) {
          Piece();
        }
        Stamp();
      }
    }
    for (int n = Pick(0, depth < 4 ? 7 : 3); n > 0; --n) {
      if (depth < 4 && Pick(0, 2) == 0) {
        Element(depth + 1);
      } else {
        Piece();
      }
    }
    mOut += "</";
    mOut += name;
    mOut += '>';
  }

  std::mt19937 mRandom;
  std::string mOut;
};

GenAttrBase* ReadWith(const std::string& document, bool keep, GenAttrReadError& error) {
  GenAttrReadOptions options;
  options.mKeepAttributes = keep;
  return GenAttrXMLReader::ReadBuffer(document.data(), document.size(), options, &error);
}

TEST(ReaderAttributes, RandomDocumentsAsTheLibxml2ModelReadsThem) {
  for (std::uint32_t seed = 1; seed <= 600; ++seed) {
    SCOPED_TRACE(seed);
    const std::string document = RandomDocument(seed).Make();
    const std::unique_ptr<Element> parsed = ParseWithLibxml2(document);
    ASSERT_NE(parsed, nullptr);
    for (const bool keep : {true, false}) {
      SCOPED_TRACE(keep ? "attributes kept" : "attributes left out");
      GenAttrReadError error;
      Tree actual(ReadWith(document, keep, error));
      ASSERT_EQ(error.mStatus, 0) << error.mMessage << "\n" << document;
      Tree expected(Expected(*parsed, true, keep));
      ASSERT_EQ(genattr_test::TreeCompare().Compare(expected.root, actual.root), "") << document;
    }
  }
}

// What the reader made of a document with attributes and text written typed
// reads back equal, and writes the same document again.
TEST(ReaderAttributes, TreesOfRandomDocumentsComeBackTyped) {
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE(seed);
    const std::string document = RandomDocument(seed).Make();
    GenAttrReadError error;
    Tree tree(ReadWith(document, true, error));
    ASSERT_NE(tree.root, nullptr) << document;
    const std::string typed = readertest::Document(tree.root, true);
    Tree back(readertest::Read(typed, error));
    ASSERT_NE(back.root, nullptr) << error.mMessage << "\n" << typed;
    EXPECT_EQ(genattr_test::TreeCompare().Compare(tree.root, back.root), "") << typed;
    EXPECT_EQ(readertest::Document(back.root, true), typed);
  }
}

// Every cut of a document is read to a status, and a root exactly on 0,
// whatever the read held when the input stopped.
TEST(ReaderAttributes, CutDocuments) {
  for (std::uint32_t seed = 1; seed <= 30; ++seed) {
    const std::string document = RandomDocument(seed).Make();
    for (std::size_t size = 0; size < document.size(); ++size) {
      // An exactly sized copy, so that a read past the end is caught.
      const std::unique_ptr<char[]> bytes(new char[size]);
      document.copy(bytes.get(), size);
      GenAttrReadError error;
      GenAttrReadOptions options;
      Tree tree(GenAttrXMLReader::ReadBuffer(bytes.get(), size, options, &error));
      ASSERT_EQ(tree.root != nullptr, error.mStatus == 0) << seed << " " << size;
    }
  }
}

} // namespace
