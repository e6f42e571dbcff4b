#include "genattr/GenAttrHTMLSerializer.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrUnicodeString.h"
#include "serialize/EscapedText.h"
#include "serialize/HtmlPage.h"
#include "serialize/LineOutput.h"
#include "serialize/SubtreeWalk.h"
#include "tree/OwnedText.h"
#include "tree/TreeAccess.h"
#include "tree/ValueBuffer.h"
#include "tree/Vocabulary.h"

namespace {

using genattr::detail::EscapedText;
using genattr::detail::TextBuffer;
using genattr::detail::TextEscapes;

struct ControlEscapes {
  char text[0x20][7];
  constexpr ControlEscapes() : text() {
    const char* const hex = "0123456789abcdef";
    for (int c = 0; c < 0x20; ++c) {
      const char escape[7] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF], '\0'};
      for (int k = 0; k < 7; ++k) {
        text[c][k] = escape[k];
      }
    }
  }
};
constexpr ControlEscapes kControlEscapes;

// A JSON string that stays inert inside a script element: no "<" at all, so
// neither "</script" nor "<!--" can end or disturb the element, and the line
// separators that older script parsers take for line ends escaped as well.
constexpr const char* JsonEscape(char32_t c) {
  switch (c) {
  case U'"':
    return "\\\"";
  case U'\\':
    return "\\\\";
  case U'<':
    return "\\u003c";
  case U'>':
    return "\\u003e";
  case U'&':
    return "\\u0026";
  case 0x2028:
    return "\\u2028";
  case 0x2029:
    return "\\u2029";
  default:
    return c < 0x20 ? kControlEscapes.text[c] : nullptr;
  }
}

// A JSON text may carry every Unicode scalar value.
constexpr bool IsScalarValue(char32_t c) {
  return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

constexpr TextEscapes kJson(JsonEscape, IsScalarValue);

void AppendNumber(TextBuffer& out, std::int64_t number) {
  char* const at = out.Extend(24);
  out.Truncate(std::to_chars(at, at + 24, number).ptr);
}

void AppendString(EscapedText& text, TextBuffer& out, const char* value) {
  out.Append('"');
  text.Narrow(value, kJson);
  out.Append('"');
}

// The text as a JSON string, or null.
void AppendOptionalString(EscapedText& text, TextBuffer& out, const char* value) {
  if (value != nullptr) {
    AppendString(text, out, value);
  } else {
    out.Append("null");
  }
}

// The type names in the order of their first use, so that an entry names its
// type with a small number.
class TypeTable {
public:
  std::int64_t IndexOf(const GenAttrBase& node) {
    const GenAttrType type = node.GetType();
    for (std::size_t i = 0; i < mTypes.size(); ++i) {
      if (mTypes[i].first == type) {
        return static_cast<std::int64_t>(i);
      }
    }
    mTypes.emplace_back(type, genattr::detail::vocab::TypeNameOf(type));
    return static_cast<std::int64_t>(mTypes.size() - 1);
  }
  void Write(EscapedText& text, TextBuffer& out) const {
    for (std::size_t i = 0; i < mTypes.size(); ++i) {
      if (i != 0) {
        out.Append(',');
      }
      AppendString(text, out, mTypes[i].second.c_str());
    }
  }

private:
  std::vector<std::pair<GenAttrType, std::string>> mTypes;
};

} // namespace

GenAttrHTMLSerializer::GenAttrHTMLSerializer(GenAttrBase* root, std::ostream* out)
    : GenAttrSerializer(root), mpOut(out), mpTitle(nullptr) {
  mFlushEachLine = false;
}

GenAttrHTMLSerializer::~GenAttrHTMLSerializer() {
  genattr::detail::ReleaseText(mpTitle);
}

void GenAttrHTMLSerializer::SetTitle(const char* title) {
  genattr::detail::ReplaceOptionalText(mpTitle, title);
}

int GenAttrHTMLSerializer::Write() {
  if (mpRoot == nullptr || mpOut == nullptr) {
    return 0;
  }
  genattr::detail::LineOutput line(*mpOut, mFlushEachLine);
  TextBuffer& out = line.Text();
  EscapedText text(out, mUtf8Texts);

  out.Append(genattr::detail::kHtmlPageHead);
  out.Append("{\"title\":\"");
  if (mpTitle != nullptr) {
    text.Utf8(mpTitle, kJson);
  } else {
    text.Narrow(mpRoot->GetName(), kJson);
  }
  out.Append('"');
  if (mTimeStamp) {
    out.Append(",\"written\":\"");
    out.Append(GetDateAndTime());
    out.Append('"');
  }
  out.Append(',');
  line.EndLine();
  out.Append("\"nodes\":[");
  line.EndLine();

  // Only a node with more than one count can be linked more than once, so
  // only those are remembered; chains are remembered by their first link,
  // which a reference shares with the container it was made from.
  std::unordered_map<const GenAttrBase*, std::int64_t> shownNodes;
  std::unordered_map<const GenAttrChildLink*, std::int64_t> shownChains;
  std::vector<std::int64_t> path; // the entry of each node on the path from the root
  TypeTable types;
  std::int64_t entries = 0;

  auto enter = [&](GenAttrBase* node, std::size_t level) {
    const std::int64_t index = entries++;
    const std::int64_t parent = level == 0 ? -1 : path[level - 1];
    path.resize(level);
    path.push_back(index);
    out.Append(index == 0 ? "[" : ",[");
    AppendNumber(out, parent);
    if (node->GetRefCount() > 1) {
      const auto shown = shownNodes.emplace(node, index);
      if (!shown.second) {
        out.Append(",-1,");
        AppendNumber(out, shown.first->second);
        out.Append(']');
        line.EndLine();
        return false;
      }
    }
    std::int64_t chain = -1;
    if (const GenAttrChildLink* first = GenAttrTreeAccess::FirstLink(*node)) {
      const auto shown = shownChains.emplace(first, index);
      if (!shown.second) {
        chain = shown.first->second;
      }
    }
    out.Append(',');
    AppendNumber(out, types.IndexOf(*node));
    out.Append(',');
    AppendString(text, out, node->GetName());
    out.Append(",\"");
    const GenAttrType type = node->GetType();
    if (type == UnicodeString) {
      // The wide value itself, as the XML writer takes it.
      const wchar_t* value = static_cast<const GenAttrUnicodeString*>(node)->GetValue();
      text.Wide(value != nullptr ? value : L"", kJson);
    } else if (type != Cont) {
      if (genattr::detail::ValueMayReport(*node)) {
        line.Emit();
      }
      text.Narrow(node->GetValueAsString(), kJson);
    }
    out.Append('"');
    const char* description = node->GetDescription();
    const char* id = type == Cont ? static_cast<const GenAttrCont*>(node)->GetId() : nullptr;
    const bool reference = node->IsReference() != 0;
    // Trailing fields at their defaults are left out.
    const int fields = chain >= 0               ? 4
                       : reference              ? 3
                       : id != nullptr          ? 2
                       : description != nullptr ? 1
                                                : 0;
    if (fields >= 1) {
      out.Append(',');
      AppendOptionalString(text, out, description);
    }
    if (fields >= 2) {
      out.Append(',');
      AppendOptionalString(text, out, id);
    }
    if (fields >= 3) {
      out.Append(reference ? ",1" : ",0");
    }
    if (fields >= 4) {
      out.Append(',');
      AppendNumber(out, chain);
    }
    out.Append(']');
    line.EndLine();
    return chain < 0;
  };
  genattr::detail::WalkSubtree(mpRoot, enter, [](GenAttrBase*, std::size_t) {});

  out.Append("],\"types\":[");
  types.Write(text, out);
  out.Append("]}");
  line.EndLine();
  // Without a time stamp, the script goes without the line that shows it.
  const char* const tail = genattr::detail::kHtmlPageTail;
  const char* const shown =
      mTimeStamp ? nullptr : std::strstr(tail, genattr::detail::kHtmlPageShowWritten);
  if (shown == nullptr) {
    out.Append(tail);
  } else {
    out.Append(tail, static_cast<std::size_t>(shown - tail));
    out.Append(shown + std::strlen(genattr::detail::kHtmlPageShowWritten));
  }
  line.Emit();
  mpOut->flush();
  return 0;
}
