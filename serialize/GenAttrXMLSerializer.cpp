#include "genattr/GenAttrXMLSerializer.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <type_traits>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrStringUtils.h"
#include "genattr/GenAttrUnicodeString.h"
#include "serialize/LineOutput.h"
#include "serialize/SubtreeWalk.h"
#include "text/NarrowText.h"
#include "text/Transcode.h"
#include "tree/OwnedText.h"
#include "tree/ValueBuffer.h"

namespace {

using genattr::detail::TranscodeOk;
using genattr::detail::TranscodeStrict;

// Where escaped text lands. An attribute value needs more references than
// text content: a parser normalises raw TAB, LF and CR in attributes to
// spaces, and the value is delimited by double quotes.
enum class Place { Content, Attribute };

constexpr char32_t kReplacement = 0xFFFD;

// The Char production of XML 1.0: what a document may carry at all.
bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

const char* ReferenceFor(char32_t c, Place place) {
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
  case U'"':
    return place == Place::Attribute ? "&quot;" : nullptr;
  case U'\t':
    return place == Place::Attribute ? "&#9;" : nullptr;
  case U'\n':
    return place == Place::Attribute ? "&#10;" : nullptr;
  default:
    return nullptr;
  }
}

// Whether the current locale reads every ASCII byte as that character, as
// every locale of an ASCII-based system does. Then an 8-bit text of ASCII
// bytes alone is its own wide form, and need not go through the locale.
bool LocaleKeepsAscii() {
  char ascii[128];
  for (int c = 1; c < 128; ++c) {
    ascii[c - 1] = static_cast<char>(c);
  }
  ascii[127] = '\0';
  wchar_t wide[128];
  if (std::mbstowcs(wide, ascii, 128) != 127) {
    return false;
  }
  for (int c = 1; c < 128; ++c) {
    if (wide[c - 1] != static_cast<wchar_t>(c)) {
      return false;
    }
  }
  return true;
}

// What an 8-bit text byte asks of the writer: nothing (an ASCII character
// that stands for itself in any place), care (an ASCII character that may
// take a reference or a replacement), or the locale (any byte from 80 up).
enum ByteKind : unsigned char { Plain = 0, Care = 1, Foreign = 2 };

struct ByteKinds {
  unsigned char kind[256];
  constexpr ByteKinds() : kind() {
    for (int c = 0; c < 256; ++c) {
      kind[c] = c >= 0x80                                                  ? Foreign
                : c < 0x20 || c == '&' || c == '<' || c == '>' || c == '"' ? Care
                                                                           : Plain;
    }
  }
};
constexpr ByteKinds kByteKinds;

ByteKind KindOf(char c) {
  return static_cast<ByteKind>(kByteKinds.kind[static_cast<unsigned char>(c)]);
}

// Collects the code points of one text, escaped for its place, and appends
// them as UTF-8 to a buffer in one go. The buffers are reused from text to
// text, so that the cost stays linear in the length of the text.
class XmlText {
public:
  explicit XmlText(genattr::detail::TextBuffer& target) : mTarget(target) {}

  // Wide text in wchar_t units: a UTF-16 surrogate pair held in two units is
  // one character; a lone surrogate or a unit beyond U+10FFFF is replaced.
  void Wide(const wchar_t* text, Place place) {
    for (const wchar_t* p = text; *p != 0; ++p) {
      char32_t c = Unit(p[0]);
      if (c >= 0xD800 && c <= 0xDBFF) {
        const char32_t low = Unit(p[1]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++p;
        }
      }
      Append(c, place);
    }
    Flush();
  }

  // 8-bit text in the current locale's multibyte encoding. Text the locale
  // cannot read (any byte from 0x80 up under the "C" locale) is read as
  // ISO 8859-1 instead: every byte is a character there, so nothing is lost.
  void Narrow(const char* text, Place place) {
    unsigned kinds = Plain;
    const char* end = text;
    for (; *end != '\0'; ++end) {
      kinds |= KindOf(*end);
    }
    if ((kinds & Foreign) == 0 && end != text) {
      if (mLocaleKeepsAscii < 0) {
        mLocaleKeepsAscii = LocaleKeepsAscii() ? 1 : 0;
      }
      if (mLocaleKeepsAscii != 0) {
        if (kinds == Plain) {
          mTarget.Append(text, static_cast<std::size_t>(end - text));
        } else {
          Ascii(text, end, place);
        }
        return;
      }
    }
    if (end == text) {
      return;
    }
    const wchar_t* wide = GenAttrStringUtils::Instance().MultiByteToWideChar(text);
    if (*wide != 0) {
      Wide(wide, place);
      return;
    }
    for (const char* p = text; *p != '\0'; ++p) {
      Append(static_cast<unsigned char>(*p), place);
    }
    Flush();
  }

  // Text meant as UTF-8 (the stylesheet texts): every byte that does not
  // belong to a well-formed sequence becomes one replacement character.
  void Utf8(const char* text, Place place) {
    const auto* source = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = source + std::strlen(text);
    // No character takes fewer bytes than one.
    mDecoded.resize(static_cast<std::size_t>(end - source));
    char32_t* target = &mDecoded[0];
    char32_t* const targetEnd = target + mDecoded.size();
    while (source != end) {
      if (genattr::detail::TranscodeUTF8ToUTF32(&source, end, &target, targetEnd,
                                                TranscodeStrict) != TranscodeOk) {
        *target++ = kReplacement;
        ++source;
      }
    }
    for (const char32_t* c = mDecoded.data(); c != target; ++c) {
      Append(*c, place);
    }
    Flush();
  }

private:
  static char32_t Unit(wchar_t unit) {
    return static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(unit));
  }

  // ASCII characters, appended as Append() and Flush() would: runs that need
  // no reference go in whole.
  void Ascii(const char* text, const char* end, Place place) {
    while (text != end) {
      const char* run = text;
      while (run != end && KindOf(*run) == Plain) {
        ++run;
      }
      mTarget.Append(text, static_cast<std::size_t>(run - text));
      if (run == end) {
        return;
      }
      Append(static_cast<unsigned char>(*run), place);
      Flush();
      text = run + 1;
    }
  }

  void Append(char32_t c, Place place) {
    if (const char* reference = ReferenceFor(c, place)) {
      for (; *reference != '\0'; ++reference) {
        mChars.push_back(static_cast<char32_t>(*reference));
      }
      return;
    }
    mChars.push_back(IsXmlChar(c) ? c : kReplacement);
  }

  void Flush() {
    // Only valid code points reach here, none longer than four bytes.
    mBytes.resize(mChars.size() * 4);
    const char32_t* source = mChars.data();
    auto* const begin = reinterpret_cast<unsigned char*>(&mBytes[0]);
    unsigned char* target = begin;
    genattr::detail::TranscodeUTF32ToUTF8(&source, source + mChars.size(), &target,
                                          begin + mBytes.size(), TranscodeStrict);
    mTarget.Append(mBytes.data(), static_cast<std::size_t>(target - begin));
    mChars.clear();
  }

  genattr::detail::TextBuffer& mTarget;
  // Whether LocaleKeepsAscii(), asked once per text object; -1 before.
  int mLocaleKeepsAscii = -1;
  std::u32string mChars;
  std::u32string mDecoded;
  std::string mBytes;
};

// Appends the element name made of the node name `text`.
void AppendXmlName(genattr::detail::TextBuffer& out, const char* text) {
  const std::size_t length = std::strlen(text);
  out.Truncate(
      genattr::detail::EncodeXmlName(text, length, out.Extend(length == 0 ? 1 : 2 * length)));
}

void WriteValue(XmlText& text, const GenAttrBase& node, Place place) {
  if (node.GetType() == UnicodeString) {
    // The wide value itself, not its rendering: the rendering may be in a
    // locale that cannot hold every character.
    const wchar_t* value = static_cast<const GenAttrUnicodeString&>(node).GetValue();
    text.Wide(value != nullptr ? value : L"", place);
  } else {
    text.Narrow(node.GetValueAsString(), place);
  }
}

} // namespace

GenAttrXMLSerializer::GenAttrXMLSerializer(GenAttrBase* root, std::ostream* out)
    : GenAttrSerializer(root), mpOut(out), mpCSSStylesheet(nullptr), mpXSLStylesheet(nullptr) {}

GenAttrXMLSerializer::~GenAttrXMLSerializer() {
  delete[] mpCSSStylesheet;
  delete[] mpXSLStylesheet;
}

void GenAttrXMLSerializer::SetXSLStylesheet(const char* href) {
  genattr::detail::ReplaceOptionalText(mpXSLStylesheet, href);
}

void GenAttrXMLSerializer::SetCSSStylesheet(const char* css) {
  genattr::detail::ReplaceOptionalText(mpCSSStylesheet, css);
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
    XmlText(href).Utf8(mpXSLStylesheet, Place::Attribute);
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
  genattr::detail::LineOutput line(*mpOut, mFlushEachLine);
  genattr::detail::TextBuffer& out = line.Text();
  XmlText text(out);
  const int initial = mInitialIndent;
  const int increment = mIndentIncrement;
  genattr::detail::DepthCounter depth(mDepth);

  auto writeDescription = [&](const GenAttrBase& current) {
    if (const char* description = current.GetDescription()) {
      out.Append(" desc=\"");
      text.Narrow(description, Place::Attribute);
      out.Append('"');
    }
  };
  auto writeValue = [&](const GenAttrBase& current, Place place) {
    if (genattr::detail::ValueMayReport(current)) {
      line.Emit();
    }
    WriteValue(text, current, place);
  };

  auto enter = [&](GenAttrBase* current, std::size_t level) {
    depth.At(level);
    line.Indent(genattr::detail::IndentAt(initial, increment, level));
    const bool hasChildren = current->HasChildren() != 0;
    line.Piece("<");
    AppendXmlName(out, current->GetName());
    if (current->GetType() == Cont) {
      writeDescription(*current);
      out.Append('>');
    } else if (hasChildren) {
      // The value moves into an attribute to keep it apart from the children.
      out.Append(" value=\"");
      writeValue(*current, Place::Attribute);
      out.Append('"');
      line.EndLine();
      writeDescription(*current);
      out.Append('>');
    } else {
      writeDescription(*current);
      out.Append('>');
      writeValue(*current, Place::Content);
    }
    if (level == 0) {
      if (mpCSSStylesheet != nullptr) {
        out.Append("<CSS_StyleSheet>");
        text.Utf8(mpCSSStylesheet, Place::Content);
        out.Append("</CSS_StyleSheet>");
        line.EndLine();
      }
      out.Append("<DateAndTime>");
      out.Append(GetDateAndTime());
      out.Append("</DateAndTime>");
      line.EndLine();
    }
    if (hasChildren) {
      line.EndLine();
    }
    return true;
  };
  auto leave = [&](GenAttrBase* current, std::size_t level) {
    depth.At(level);
    if (current->HasChildren() != 0) {
      line.Indent(genattr::detail::IndentAt(initial, increment, level));
    }
    out.Append("</");
    AppendXmlName(out, current->GetName());
    out.Append('>');
    line.EndLine();
  };
  genattr::detail::WalkSubtree(node, enter, leave);
  return 0;
}

void GenAttrXMLSerializer::WriteAsUTF8(const wchar_t* text) {
  if (text != nullptr && mpOut != nullptr) {
    // Attribute rules are safe in content as well, and the caller's place is unknown.
    genattr::detail::TextBuffer utf8;
    XmlText(utf8).Wide(text, Place::Attribute);
    mpOut->write(utf8.Data(), static_cast<std::streamsize>(utf8.Size()));
  }
}

void GenAttrXMLSerializer::WriteAsUTF8(const char* text) {
  if (text != nullptr && mpOut != nullptr) {
    genattr::detail::TextBuffer utf8;
    XmlText(utf8).Narrow(text, Place::Attribute);
    mpOut->write(utf8.Data(), static_cast<std::streamsize>(utf8.Size()));
  }
}

char* GenAttrXMLSerializer::MakeXMLConform(const char* text) {
  return GenAttrStringUtils::Instance().MakeXMLConform(text);
}
