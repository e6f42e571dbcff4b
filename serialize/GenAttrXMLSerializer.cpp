#include "genattr/GenAttrXMLSerializer.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

#include "base/NarrowText.h"
#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrStringUtils.h"
#include "genattr/GenAttrUnicodeString.h"
#include "serialize/EscapedText.h"
#include "serialize/LineOutput.h"
#include "serialize/SubtreeWalk.h"
#include "serialize/TypedMarkup.h"
#include "tree/NumberText.h"
#include "tree/OwnedText.h"
#include "tree/TreeAccess.h"
#include "tree/Vocabulary.h"

namespace {

using genattr::detail::EscapedText;
using genattr::detail::TextEscapes;
namespace names = genattr::detail::vocab;

// The Char production of XML 1.0: what a document may carry at all.
constexpr bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

constexpr const char* ContentReference(char32_t c) {
  switch (c) {
  case U'&':
    return "&amp;";
  case U'<':
    return "&lt;";
  // Also keeps "]]>" and "?>" out of content and processing instructions.
  case U'>':
    return "&gt;";
  // Every line end a parser sees is turned into LF, so a CR survives only as a
  // reference.
  case U'\r':
    return "&#13;";
  default:
    return nullptr;
  }
}

// An attribute value needs more references than text content: a parser
// normalises raw TAB, LF and CR in attributes to spaces, and the value is
// delimited by double quotes.
constexpr const char* AttributeReference(char32_t c) {
  switch (c) {
  case U'"':
    return "&quot;";
  case U'\t':
    return "&#9;";
  case U'\n':
    return "&#10;";
  default:
    return ContentReference(c);
  }
}

constexpr TextEscapes kContent(ContentReference, IsXmlChar);
constexpr TextEscapes kAttribute(AttributeReference, IsXmlChar);

// The element names of the open elements: each is made once, for its start
// tag, and copied for its end tag.
class OpenElements {
public:
  // Appends the element name made of the node name `name` to `out`, as the
  // name of the innermost open element.
  void Open(genattr::detail::TextBuffer& out, const char* name) {
    const std::size_t length = genattr::detail::ShortTextLength(name);
    // At least FIXED_COPY bytes of room, so that a short name can be read whole.
    const std::size_t room = 2 * length > FIXED_COPY ? 2 * length : FIXED_COPY;
    char* const start = out.Extend(room);
    char* const end = genattr::detail::EncodeXmlName(name, length, start);
    out.Truncate(end);
    mStarts.push_back(mNames.Size());
    Copy(mNames, start, static_cast<std::size_t>(end - start));
  }

  // Appends the name of the innermost open element to `out` and closes it.
  void Close(genattr::detail::TextBuffer& out) {
    const std::size_t start = mStarts.back();
    mStarts.pop_back();
    Copy(out, mNames.Data() + start, mNames.Size() - start);
    mNames.Truncate(mNames.Data() + start);
  }

private:
  // Names up to this length are copied in this fixed size, which takes no
  // call into memcpy; the bytes beyond the name are given back.
  static constexpr std::size_t FIXED_COPY = 16;

  // Appends the `length` bytes at `text` to `target`. `text` lies in the room
  // of a TextBuffer that holds at least FIXED_COPY bytes from it (either buffer
  // here: Open() makes that room, and the names are copied in that room).
  static void Copy(genattr::detail::TextBuffer& target, const char* text, std::size_t length) {
    if (length > FIXED_COPY) {
      target.Append(text, length);
      return;
    }
    char* const at = target.Extend(FIXED_COPY);
    std::memcpy(at, text, FIXED_COPY);
    target.Truncate(at + length);
  }

  genattr::detail::TextBuffer mNames;
  std::vector<std::size_t> mStarts;
};

// Appends ` name="`: the start of the attribute `name`, whose value follows.
template <std::size_t N>
void OpenAttribute(genattr::detail::TextBuffer& out, const char (&name)[N]) {
  out.Append(' ');
  out.AppendLiteral(name);
  out.AppendLiteral("=\"");
}

// Appends the start tag (`open` "<") or the end tag (`open` "</") of the
// element `name`.
template <std::size_t M, std::size_t N>
void AppendTag(genattr::detail::TextBuffer& out, const char (&open)[M], const char (&name)[N]) {
  out.AppendLiteral(open);
  out.AppendLiteral(name);
  out.Append('>');
}

// Appends the value text of `node`: a number straight into the line (its
// characters need no escape anywhere), any other value through `text`.
void WriteValue(EscapedText& text, genattr::detail::LineOutput& line, const GenAttrBase& node,
                const TextEscapes& escapes, bool fixedIsPrintfs) {
  if (genattr::detail::AppendShortNumber(line, node, fixedIsPrintfs)) {
    return;
  }
  if (GenAttrTreeAccess::Type(node) == UnicodeString) {
    // The wide value itself, not its rendering: the rendering may be in a
    // locale that cannot hold every character.
    const wchar_t* value = static_cast<const GenAttrUnicodeString&>(node).GetValue();
    text.Wide(value != nullptr ? value : L"", escapes);
    return;
  }
  if (GenAttrTreeAccess::Type(node) == String) {
    text.Narrow(static_cast<const GenAttrString&>(node).GetValue(), escapes);
    return;
  }
  text.Narrow(genattr::detail::RenderedValue(line, node), escapes);
}

// The elements of the document, one per node, each with its name, its
// description, its value (as content, or as an attribute beside children) and,
// in the typed document, its typed attributes.
class DocumentElements {
public:
  // `css` and `dateAndTime` are the texts of the root's first elements, or
  // null for none; they are borrowed for the walk.
  DocumentElements(std::ostream& out, bool flushEachLine, bool utf8, int initial, int increment,
                   int& depth, GenAttrBase* root, bool typedOutput, const char* css,
                   const char* dateAndTime)
      : mLine(out, flushEachLine), mOut(mLine.Text()), mText(mOut, utf8), mInitial(initial),
        mIncrement(increment), mFixedIsPrintfs(genattr::detail::FixedIsPrintfs()), mDepth(depth),
        mCss(css), mDateAndTime(dateAndTime) {
    if (typedOutput) {
      mTyped.reset(new genattr::detail::TypedMarkup(root, kAttribute));
    }
  }

  // Writes the start tag of `node`, `level` levels below the walk's root,
  // with the value of a node without children; always wants the children.
  bool Enter(GenAttrBase* node, std::size_t level) {
    mDepth.At(level);
    mLine.Indent(genattr::detail::IndentAt(mInitial, mIncrement, level));
    const bool hasChildren = GenAttrTreeAccess::FirstLink(*node) != nullptr;
    mLine.PieceLiteral("<");
    mOpen.Open(mOut, GenAttrTreeAccess::Name(*node));
    if (GenAttrTreeAccess::Type(*node) == Cont) {
      WriteDescription(*node);
      CloseStartTag(node, level);
    } else if (hasChildren) {
      // The value moves into an attribute to keep it apart from the children.
      OpenAttribute(mOut, names::kValue);
      WriteValue(mText, mLine, *node, kAttribute, mFixedIsPrintfs);
      mOut.Append('"');
      mLine.EndLine();
      WriteDescription(*node);
      CloseStartTag(node, level);
    } else {
      WriteDescription(*node);
      CloseStartTag(node, level);
      WriteValue(mText, mLine, *node, kContent, mFixedIsPrintfs);
    }
    if (level == 0) {
      WriteRootHead();
    }
    if (hasChildren) {
      mLine.EndLine();
    }
    return true;
  }

  // Writes the end tag of `node`, on a line of its own after children.
  void Leave(const GenAttrBase* node, std::size_t level) {
    mDepth.At(level);
    if (GenAttrTreeAccess::FirstLink(*node) != nullptr) {
      mLine.Indent(genattr::detail::IndentAt(mInitial, mIncrement, level));
    }
    mOut.AppendLiteral("</");
    mOpen.Close(mOut);
    mOut.Append('>');
    mLine.EndLine();
  }

private:
  void WriteDescription(const GenAttrBase& node) {
    if (const char* description = GenAttrTreeAccess::Description(node)) {
      OpenAttribute(mOut, names::kDesc);
      mText.Narrow(description, kAttribute);
      mOut.Append('"');
    }
  }

  void CloseStartTag(GenAttrBase* node, std::size_t level) {
    if (mTyped) {
      mTyped->Enter(node, level, mOut, mText);
    }
    mOut.Append('>');
  }

  // The style sheet and the time stamp, first in the root element.
  void WriteRootHead() {
    if (mCss != nullptr) {
      AppendTag(mOut, "<", names::kCssStyleSheet);
      mText.Utf8(mCss, kContent);
      AppendTag(mOut, "</", names::kCssStyleSheet);
      mLine.EndLine();
    }
    if (mDateAndTime != nullptr) {
      AppendTag(mOut, "<", names::kDateAndTime);
      mOut.Append(mDateAndTime);
      AppendTag(mOut, "</", names::kDateAndTime);
      mLine.EndLine();
    }
  }

  genattr::detail::LineOutput mLine;
  genattr::detail::TextBuffer& mOut;
  EscapedText mText;
  OpenElements mOpen;
  const int mInitial;
  const int mIncrement;
  // Asked once: nothing in a write changes the locale or the rounding mode.
  const bool mFixedIsPrintfs;
  genattr::detail::DepthCounter mDepth;
  std::unique_ptr<genattr::detail::TypedMarkup> mTyped;
  const char* mCss;
  const char* mDateAndTime;
};

} // namespace

GenAttrXMLSerializer::GenAttrXMLSerializer(GenAttrBase* root, std::ostream* out)
    : GenAttrSerializer(root), mpOut(out), mpCSSStylesheet(nullptr), mpXSLStylesheet(nullptr),
      mTypedOutput(false) {}

GenAttrXMLSerializer::~GenAttrXMLSerializer() {
  genattr::detail::ReleaseText(mpCSSStylesheet);
  genattr::detail::ReleaseText(mpXSLStylesheet);
}

void GenAttrXMLSerializer::SetXSLStylesheet(const char* href) {
  genattr::detail::ReplaceOptionalText(mpXSLStylesheet, href);
}

void GenAttrXMLSerializer::SetCSSStylesheet(const char* css) {
  genattr::detail::ReplaceOptionalText(mpCSSStylesheet, css);
}

void GenAttrXMLSerializer::SetTypedOutput(bool on) {
  mTypedOutput = on;
}

int GenAttrXMLSerializer::Write() {
  if (mpRoot == nullptr || mpOut == nullptr) {
    return 0;
  }
  *mpOut << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  genattr::detail::EndLine(*mpOut, mFlushEachLine);
  if (mpXSLStylesheet != nullptr) {
    *mpOut << "<?xml-stylesheet type=\"text/xsl\" href=\"";
    genattr::detail::TextBuffer href;
    EscapedText(href).Utf8(mpXSLStylesheet, kAttribute);
    mpOut->write(href.Data(), static_cast<std::streamsize>(href.Size()));
    *mpOut << "\"?>";
    genattr::detail::EndLine(*mpOut, mFlushEachLine);
  }
  Write(mpRoot);
  if (!mFlushEachLine) {
    mpOut->flush();
  }
  return 0;
}

int GenAttrXMLSerializer::Write(GenAttrBase* node) {
  if (node == nullptr || mpOut == nullptr) {
    return 0;
  }
  DocumentElements elements(*mpOut, mFlushEachLine, mUtf8Texts, mInitialIndent, mIndentIncrement,
                            mDepth, node, mTypedOutput, mpCSSStylesheet,
                            mTimeStamp ? GetDateAndTime() : nullptr);
  genattr::detail::WalkSubtree(
      node, [&](GenAttrBase* current, std::size_t level) { return elements.Enter(current, level); },
      [&](GenAttrBase* current, std::size_t level) { elements.Leave(current, level); });
  return 0;
}

void GenAttrXMLSerializer::WriteAsUTF8(const wchar_t* text) {
  if (text != nullptr && mpOut != nullptr) {
    // Attribute rules are safe in content as well, and the caller's place is unknown.
    genattr::detail::TextBuffer utf8;
    EscapedText(utf8).Wide(text, kAttribute);
    mpOut->write(utf8.Data(), static_cast<std::streamsize>(utf8.Size()));
  }
}

void GenAttrXMLSerializer::WriteAsUTF8(const char* text) {
  if (text != nullptr && mpOut != nullptr) {
    genattr::detail::TextBuffer utf8;
    EscapedText(utf8, mUtf8Texts).Narrow(text, kAttribute);
    mpOut->write(utf8.Data(), static_cast<std::streamsize>(utf8.Size()));
  }
}

char* GenAttrXMLSerializer::MakeXMLConform(const char* text) {
  return GenAttrStringUtils::Instance().MakeXMLConform(text);
}
