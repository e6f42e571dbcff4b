// Both writers on trees built from the input: every node type, references,
// shared children, hostile names, values and descriptions, loops made by the
// caller. Each document is compared byte for byte (time stamp aside) with
// one put together here by a plain recursive walk from the format's rules; a
// node met again on its own path is written once more, without children, and
// the text listing does not descend into references. The XML document must
// also parse with libxml2 and give back every name, value and description.
// Value texts are checked against their rendering rules, and an acyclic tree
// and its deep copy must give the same document.
//
// Input: a locale, the tree's program (see FuzzTree.h), then the writer
// settings.
#include <algorithm>
#include <clocale>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzTree.h"
#include "fuzz/TextReference.h"
#include "genattr/GenAttr.h"
#include "tests/support/XmlNav.h"

namespace {

using fuzz::FuzzInput;
using fuzz::FuzzTree;

constexpr std::size_t kMaxNodes = 4096;
constexpr std::size_t kMaxVisits = 5000;
// libxml2 reads documents up to this depth (with XML_PARSE_HUGE).
constexpr std::size_t kMaxParsedDepth = 1000;

const char* const kLocales[] = {"C", "C.UTF-8"};

// ---- value texts ------------------------------------------------------------

std::string Printed(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printed(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// A number text longer than the 128-byte value buffer holds renders empty.
std::string Fitting(const std::string& text) {
  return text.size() < 128 ? text : std::string();
}

// UTF-8 of a wide value read as UTF-16 (a pair of units is one character,
// a unit above U+FFFF a whole one); empty when any unit stands alone or lies
// beyond U+10FFFF.
std::string Utf8OfWide(const wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) {
    auto c = static_cast<std::uint32_t>(*text);
    if (c > 0x10FFFF || (c >= 0xDC00 && c <= 0xDFFF)) {
      return std::string();
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
      const auto low = static_cast<std::uint32_t>(text[1]);
      if (low < 0xDC00 || low > 0xDFFF) {
        return std::string();
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      ++text;
    }
    out += fuzz::Utf8(c);
  }
  return out;
}

std::string Rendered(GenAttrBase* node) {
  switch (node->GetType()) {
  case String:
    return static_cast<GenAttrString*>(node)->GetValue();
  case Float:
    return Fitting(
        Printed("%.4f", static_cast<double>(static_cast<GenAttrFloat*>(node)->GetValue())));
  case Double:
    return Fitting(Printed("%.4f", static_cast<GenAttrDouble*>(node)->GetValue()));
  case Int:
    return Printed("%d", static_cast<GenAttrInt*>(node)->GetValue());
  case Ptr:
    return Printed("%p", static_cast<GenAttrPtr*>(node)->GetValue());
  case UnicodeString: {
    auto* wide = static_cast<GenAttrUnicodeString*>(node);
    if (wide->isUtfEncoded()) {
      return Utf8OfWide(wide->GetValue());
    }
    // The locale's text, or UTF-8 where the locale has nothing for it.
    const std::size_t n = std::wcstombs(nullptr, wide->GetValue(), 0);
    if (n == static_cast<std::size_t>(-1) || (n == 0 && wide->GetValue()[0] != 0)) {
      return Utf8OfWide(wide->GetValue());
    }
    std::string narrow(n, '\0');
    std::wcstombs(&narrow[0], wide->GetValue(), n + 1);
    return narrow;
  }
  default:
    return std::string();
  }
}

void CheckRendering(GenAttrBase* node) {
  static const char* const types[] = {"Base", "String", "Float",         "Double",
                                      "Int",  "Cont",   "UnicodeString", "Ptr"};
  FUZZ_CHECK(std::strcmp(node->GetTypeAsString(), types[node->GetType()]) == 0);
  const char* value = node->GetValueAsString();
  FUZZ_CHECK(value != nullptr && Rendered(node) == value);
  if (node->GetType() == String) {
    // The node's own text, not a copy.
    FUZZ_CHECK(value == static_cast<GenAttrString*>(node)->GetValue());
  }
}

// ---- the XML document --------------------------------------------------------

using genattr_test::NextElement;
using genattr_test::Take;

std::string ElementName(const GenAttrBase* node) {
  std::string name = node->GetName();
  std::replace(name.begin(), name.end(), ' ', '_');
  return fuzz::XmlName(name);
}

// What the element of a node carries as its value: the wide value itself,
// or the rendering of any other type.
std::u32string ValuePoints(GenAttrBase* node) {
  if (node->GetType() == UnicodeString) {
    return fuzz::CodePoints(static_cast<GenAttrUnicodeString*>(node)->GetValue());
  }
  return fuzz::CodePointsOfNarrow(node->GetValueAsString());
}

struct XmlCheck {
  const FuzzTree& tree;
  const std::string* css; // null when not set
  std::vector<GenAttrBase*> path;

  void Element(xmlNode* element, GenAttrBase* node, bool top) {
    FUZZ_CHECK(reinterpret_cast<const char*>(element->name) == ElementName(node));
    const char* description = node->GetDescription();
    if (description == nullptr) {
      FUZZ_CHECK(xmlHasProp(element, BAD_CAST "desc") == nullptr);
    } else {
      FUZZ_CHECK(Take(xmlGetProp(element, BAD_CAST "desc")) ==
                 fuzz::ParsedBack(fuzz::CodePointsOfNarrow(description)));
    }

    const auto& children = tree.Children(node);
    xmlNode* cursor = element->children;
    if (node->GetType() == Cont) {
      FUZZ_CHECK(xmlHasProp(element, BAD_CAST "value") == nullptr);
    } else if (!children.empty()) {
      FUZZ_CHECK(Take(xmlGetProp(element, BAD_CAST "value")) ==
                 fuzz::ParsedBack(ValuePoints(node)));
    } else {
      std::string text; // in front of the root's time stamp, if any
      for (; cursor != nullptr && cursor->type != XML_ELEMENT_NODE; cursor = cursor->next) {
        text += Take(xmlNodeGetContent(cursor));
      }
      FUZZ_CHECK(text == fuzz::ParsedBack(ValuePoints(node)));
    }

    if (top) {
      if (css != nullptr) {
        xmlNode* sheet = NextElement(&cursor);
        FUZZ_CHECK(sheet != nullptr &&
                   std::strcmp(reinterpret_cast<const char*>(sheet->name), "CSS_StyleSheet") == 0);
        FUZZ_CHECK(Take(xmlNodeGetContent(sheet)) ==
                   fuzz::ParsedBack(fuzz::CodePointsOfUtf8(*css)));
      }
      xmlNode* stamp = NextElement(&cursor);
      FUZZ_CHECK(stamp != nullptr &&
                 std::strcmp(reinterpret_cast<const char*>(stamp->name), "DateAndTime") == 0);
      FUZZ_CHECK(Take(xmlNodeGetContent(stamp)).size() == 24);
    }

    // A node met again on its own path is written without its children.
    if (std::find(path.begin(), path.end(), node) == path.end()) {
      path.push_back(node);
      for (GenAttrBase* child : children) {
        xmlNode* childElement = NextElement(&cursor);
        FUZZ_CHECK(childElement != nullptr);
        Element(childElement, child, false);
      }
      path.pop_back();
    }
    FUZZ_CHECK(NextElement(&cursor) == nullptr);
  }
};

struct Settings {
  int initialIndent;
  int indentIncrement;
  bool flushEachLine;
  bool hasXsl;
  bool hasCss;
  std::string xsl;
  std::string css;
};

std::string Indent(const Settings& settings, std::size_t level) {
  const std::int64_t spaces =
      settings.initialIndent + settings.indentIncrement * static_cast<std::int64_t>(level);
  return std::string(spaces > 0 ? static_cast<std::size_t>(spaces) : 0, ' ');
}

std::string WriteXml(GenAttrBase* top, const Settings& settings) {
  std::ostringstream out;
  GenAttrXMLSerializer writer(top, &out);
  writer.SetInitialIndent(settings.initialIndent);
  writer.SetIndentIncrement(settings.indentIncrement);
  writer.SetFlushEachLine(settings.flushEachLine);
  if (settings.hasXsl) {
    writer.SetXSLStylesheet(settings.xsl.c_str());
  }
  if (settings.hasCss) {
    writer.SetCSSStylesheet(settings.css.c_str());
  }
  FUZZ_CHECK(writer.Write() == 0);
  return out.str();
}

// The document as the format's rules put it together, its time stamp as
// Unstamped() leaves it.
struct XmlDocument {
  const FuzzTree& tree;
  const Settings& settings;
  std::vector<GenAttrBase*> path;
  std::string text;

  void Element(GenAttrBase* node, std::size_t level) {
    const std::string name = ElementName(node);
    std::string description;
    if (node->GetDescription() != nullptr) {
      description =
          " desc=\"" + fuzz::Escaped(fuzz::CodePointsOfNarrow(node->GetDescription()), true) + "\"";
    }
    const bool hasChildren = !tree.Children(node).empty();
    text += Indent(settings, level) + "<" + name;
    if (node->GetType() == Cont) {
      text += description + ">";
    } else if (hasChildren) {
      // The value moves into an attribute, ended by a line break in the tag.
      text += " value=\"" + fuzz::Escaped(ValuePoints(node), true) + "\"\n" + description + ">";
    } else {
      text += description + ">" + fuzz::Escaped(ValuePoints(node), false);
    }
    if (level == 0) {
      if (settings.hasCss) {
        text += "<CSS_StyleSheet>" + fuzz::Escaped(fuzz::CodePointsOfUtf8(settings.css), false) +
                "</CSS_StyleSheet>\n";
      }
      text += "<DateAndTime>" + std::string(24, '#') + "</DateAndTime>\n";
    }
    if (hasChildren) {
      text += "\n";
    }
    if (std::find(path.begin(), path.end(), node) == path.end()) {
      path.push_back(node);
      for (GenAttrBase* child : tree.Children(node)) {
        Element(child, level + 1);
      }
      path.pop_back();
    }
    if (hasChildren) {
      text += Indent(settings, level);
    }
    text += "</" + name + ">\n";
  }
};

std::string ExpectedXml(const FuzzTree& tree, GenAttrBase* top, const Settings& settings) {
  XmlDocument document{tree, settings, {}, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"};
  if (settings.hasXsl) {
    document.text += "<?xml-stylesheet type=\"text/xsl\" href=\"" +
                     fuzz::Escaped(fuzz::CodePointsOfUtf8(settings.xsl), true) + "\"?>\n";
  }
  document.Element(top, 0);
  return document.text;
}

void CheckXml(const FuzzTree& tree, GenAttrBase* top, const Settings& settings,
              const std::string& document) {
  xmlDoc* doc =
      xmlReadMemory(document.data(), static_cast<int>(document.size()), "tree.xml", nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  if (doc == nullptr) {
    const xmlError* error = xmlGetLastError();
    std::fprintf(stderr, "not well-formed (%s):\n%s\n", error != nullptr ? error->message : "?",
                 document.c_str());
  }
  FUZZ_CHECK(doc != nullptr);

  bool sawStylesheet = false;
  for (xmlNode* n = doc->children; n != nullptr; n = n->next) {
    if (n->type == XML_PI_NODE &&
        std::strcmp(reinterpret_cast<const char*>(n->name), "xml-stylesheet") == 0) {
      const std::string content = Take(xmlNodeGetContent(n));
      const std::string head = "type=\"text/xsl\" href=\"";
      FUZZ_CHECK(content.compare(0, head.size(), head) == 0 && content.back() == '"');
      // The href's own quotes are escaped.
      FUZZ_CHECK(content.find('"', head.size()) == content.size() - 1);
      sawStylesheet = true;
    }
  }
  FUZZ_CHECK(sawStylesheet == settings.hasXsl);

  XmlCheck check{tree, settings.hasCss ? &settings.css : nullptr, {}};
  check.Element(xmlDocGetRootElement(doc), top, true);
  xmlFreeDoc(doc);
}

// ---- the text listing ----------------------------------------------------------

std::string ExpectedListing(const FuzzTree& tree, GenAttrBase* top, const Settings& settings) {
  std::string listing = std::string(49, '-') + "\n";
  tree.Walk(
      top,
      [&](GenAttrBase* node, std::size_t level, bool) {
        std::string name = fuzz::Latin1ToUtf8(node->GetName());
        if (name.size() < 16) {
          name.resize(16, ' ');
        }
        listing += Indent(settings, level) + "Name: " + name + "    ";
        if (node->GetType() != Cont) {
          listing += std::string("Value: ") + node->GetValueAsString();
        } else if (const char* id = static_cast<GenAttrCont*>(node)->GetId()) {
          listing += (node->IsReference() != 0 ? "RefId: " : "Id: ") + std::string(id);
        }
        if (node->GetDescription() != nullptr) {
          listing += " (Description: " + fuzz::Latin1ToUtf8(node->GetDescription()) + ")";
        }
        listing += std::string("  (Type: ") + node->GetTypeAsString() + ")";
        if (node->GetRefCount() > 1) {
          listing += "  (RefCount: " + std::to_string(node->GetRefCount()) + ")";
        }
        listing += "\n";
        // The children of a reference are listed where they belong.
        return node->IsReference() == 0;
      },
      kMaxVisits);
  return listing;
}

void CheckText(const FuzzTree& tree, GenAttrBase* top, const Settings& settings) {
  const std::string expected = ExpectedListing(tree, top, settings);
  std::ostringstream out;
  GenAttrSTSerializer writer(top, &out);
  writer.SetInitialIndent(settings.initialIndent);
  writer.SetIndentIncrement(settings.indentIncrement);
  writer.SetFlushEachLine(settings.flushEachLine);
  FUZZ_CHECK(writer.Write() == 0);
  FUZZ_CHECK(out.str() == expected);
}

// The document with its time stamp blanked out.
std::string Unstamped(std::string document) {
  const std::string tag = "<DateAndTime>";
  const std::size_t at = document.find(tag);
  if (at != std::string::npos) {
    document.replace(at + tag.size(), 24, 24, '#');
  }
  return document;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Overflowing values print a report and a path listing; the fuzzer's own
  // output goes to standard error.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) {
    return 1;
  }
  xmlInitParser();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  std::setlocale(LC_ALL, kLocales[in.Byte() & 1]);
  GenAttr_DisableCatiaJtUtfTransfer();

  FuzzTree tree(in, 48);
  if (!tree.Record(kMaxNodes)) {
    return 0;
  }
  GenAttrBase* top = in.Byte() % 4 == 0 ? tree.Pick() : tree.Root();
  Settings settings{static_cast<int>(in.Byte() % 9) - 4,
                    static_cast<int>(in.Byte() % 5) - 1,
                    in.Byte() % 2 == 0,
                    in.Byte() % 4 == 0,
                    in.Byte() % 4 == 0,
                    tree.Text(),
                    tree.Text()};
  // The locale may change between building and writing.
  if (in.Byte() % 4 == 0) {
    std::setlocale(LC_ALL, kLocales[in.Byte() & 1]);
  }

  // Size and depth of the documents, and whether the walk meets a node again.
  std::size_t depth = 0;
  bool loops = false;
  if (!tree.Walk(
          top,
          [&](GenAttrBase*, std::size_t level, bool again) {
            depth = std::max(depth, level);
            loops = loops || again;
            return true;
          },
          kMaxVisits)) {
    return 0;
  }

  for (GenAttrBase* node : tree.Recorded()) {
    CheckRendering(node);
  }

  const std::string document = WriteXml(top, settings);
  FUZZ_CHECK(Unstamped(document) == ExpectedXml(tree, top, settings));
  if (depth < kMaxParsedDepth) {
    CheckXml(tree, top, settings, document);
  }
  CheckText(tree, top, settings);

  if (!loops) {
    GenAttrBase* copy = FuzzTree::Copy(top, false);
    copy->AddRef();
    FUZZ_CHECK(Unstamped(WriteXml(copy, settings)) == Unstamped(document));
    copy->UnRef();
  }

  for (GenAttrBase* node : tree.Held()) {
    node->DumpPath();
  }
  tree.CheckModel();
  return 0;
}
