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

// The entries of the page's node list, one per node in walk order: its
// parent's entry, its type, name and value, and the trailing fields that are
// not at their defaults (description, container id, reference, the entry whose
// children it shares). A node shown before gets a short entry that points to
// it instead.
class NodeEntries {
public:
  NodeEntries(genattr::detail::LineOutput& line, EscapedText& text, TypeTable& types)
      : mLine(line), mOut(line.Text()), mText(text), mTypes(types) {}

  // Writes the entry of `node`, `level` levels below the root; returns
  // whether its children are wanted (not when they are shown elsewhere).
  bool Enter(GenAttrBase* node, std::size_t level) {
    const std::int64_t index = mEntries++;
    const std::int64_t parent = level == 0 ? -1 : mPath[level - 1];
    mPath.resize(level);
    mPath.push_back(index);
    mOut.Append(index == 0 ? "[" : ",[");
    AppendNumber(mOut, parent);
    if (node->GetRefCount() > 1) {
      const auto shown = mShownNodes.emplace(node, index);
      if (!shown.second) {
        mOut.Append(",-1,");
        AppendNumber(mOut, shown.first->second);
        mOut.Append(']');
        mLine.EndLine();
        return false;
      }
    }
    std::int64_t chain = -1;
    if (const GenAttrChildLink* first = GenAttrTreeAccess::FirstLink(*node)) {
      const auto shown = mShownChains.emplace(first, index);
      if (!shown.second) {
        chain = shown.first->second;
      }
    }
    WriteFields(*node, chain);
    mOut.Append(']');
    mLine.EndLine();
    return chain < 0;
  }

private:
  // The fields of a node shown for the first time; `chain` is the entry that
  // shows its children, or -1.
  void WriteFields(const GenAttrBase& node, std::int64_t chain) {
    mOut.Append(',');
    AppendNumber(mOut, mTypes.IndexOf(node));
    mOut.Append(',');
    AppendString(mText, mOut, node.GetName());
    mOut.Append(",\"");
    const GenAttrType type = node.GetType();
    if (type == UnicodeString) {
      // The wide value itself, as the XML writer takes it.
      const wchar_t* value = static_cast<const GenAttrUnicodeString&>(node).GetValue();
      mText.Wide(value != nullptr ? value : L"", kJson);
    } else if (type != Cont) {
      mText.Narrow(genattr::detail::RenderedValue(mLine, node), kJson);
    }
    mOut.Append('"');
    const char* description = node.GetDescription();
    const char* id = type == Cont ? static_cast<const GenAttrCont&>(node).GetId() : nullptr;
    const bool reference = node.IsReference() != 0;
    // Trailing fields at their defaults are left out.
    const int fields = chain >= 0               ? 4
                       : reference              ? 3
                       : id != nullptr          ? 2
                       : description != nullptr ? 1
                                                : 0;
    if (fields >= 1) {
      mOut.Append(',');
      AppendOptionalString(mText, mOut, description);
    }
    if (fields >= 2) {
      mOut.Append(',');
      AppendOptionalString(mText, mOut, id);
    }
    if (fields >= 3) {
      mOut.Append(reference ? ",1" : ",0");
    }
    if (fields >= 4) {
      mOut.Append(',');
      AppendNumber(mOut, chain);
    }
  }

  genattr::detail::LineOutput& mLine;
  TextBuffer& mOut;
  EscapedText& mText;
  TypeTable& mTypes;
  // Only a node with more than one count can be linked more than once, so
  // only those are remembered; chains are remembered by their first link,
  // which a reference shares with the container it was made from.
  std::unordered_map<const GenAttrBase*, std::int64_t> mShownNodes;
  std::unordered_map<const GenAttrChildLink*, std::int64_t> mShownChains;
  std::vector<std::int64_t> mPath; // the entry of each node on the path from the root
  std::int64_t mEntries = 0;
};

// The script after the data, without the line that shows the time of writing
// when the page has none.
void AppendPageTail(TextBuffer& out, bool timeStamp) {
  const char* const tail = genattr::detail::kHtmlPageTail;
  const char* const shown =
      timeStamp ? nullptr : std::strstr(tail, genattr::detail::kHtmlPageShowWritten);
  if (shown == nullptr) {
    out.Append(tail);
  } else {
    out.Append(tail, static_cast<std::size_t>(shown - tail));
    out.Append(shown + std::strlen(genattr::detail::kHtmlPageShowWritten));
  }
}

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

  TypeTable types;
  NodeEntries entries(line, text, types);
  genattr::detail::WalkSubtree(
      mpRoot, [&](GenAttrBase* node, std::size_t level) { return entries.Enter(node, level); },
      [](GenAttrBase*, std::size_t) {});

  out.Append("],\"types\":[");
  types.Write(text, out);
  out.Append("]}");
  line.EndLine();
  AppendPageTail(out, mTimeStamp);
  line.Emit();
  mpOut->flush();
  return 0;
}
