#include "genattr/GenAttrXMLSerializer.h"

#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <type_traits>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrStringUtils.h"
#include "genattr/GenAttrUnicodeString.h"
#include "serialize/SubtreeWalk.h"
#include "text/Transcode.h"
#include "tree/OwnedText.h"

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

// Collects the code points of one text, escaped for its place, and writes
// them as UTF-8 in one go. The buffers are reused from text to text, so that
// the cost stays linear in the length of the text.
class XmlText {
public:
  explicit XmlText(std::ostream& out) : mOut(out) {}

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
    if (*text == '\0') {
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
    mOut.write(mBytes.data(), static_cast<std::streamsize>(target - begin));
    mChars.clear();
  }

  std::ostream& mOut;
  std::u32string mChars;
  std::u32string mDecoded;
  std::string mBytes;
};

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
    XmlText(*mpOut).Utf8(mpXSLStylesheet, Place::Attribute);
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
  std::ostream& out = *mpOut;
  XmlText text(out);
  std::string name;
  const int initial = mInitialIndent;
  const int increment = mIndentIncrement;
  const bool flushEachLine = mFlushEachLine;

  auto writeName = [&](const GenAttrBase& current) {
    name.assign(current.GetName());
    for (char& c : name) {
      if (c == ' ') {
        c = '_';
      }
    }
    out << MakeXMLConform(name.c_str());
  };
  auto writeDescription = [&](const GenAttrBase& current) {
    if (const char* description = current.GetDescription()) {
      out << " desc=\"";
      text.Narrow(description, Place::Attribute);
      out << "\"";
    }
  };

  auto enter = [&](GenAttrBase* current, std::size_t level) {
    genattr::detail::WriteIndent(out, genattr::detail::IndentAt(initial, increment, level));
    const bool hasChildren = current->HasChildren() != 0;
    out << "<";
    writeName(*current);
    if (current->GetType() == Cont) {
      writeDescription(*current);
      out << ">";
    } else if (hasChildren) {
      // The value moves into an attribute to keep it apart from the children.
      out << " value=\"";
      WriteValue(text, *current, Place::Attribute);
      out << "\"";
      genattr::detail::EndLine(out, flushEachLine);
      writeDescription(*current);
      out << ">";
    } else {
      writeDescription(*current);
      out << ">";
      WriteValue(text, *current, Place::Content);
    }
    if (level == 0) {
      if (mpCSSStylesheet != nullptr) {
        out << "<CSS_StyleSheet>";
        text.Utf8(mpCSSStylesheet, Place::Content);
        out << "</CSS_StyleSheet>";
        genattr::detail::EndLine(out, flushEachLine);
      }
      out << "<DateAndTime>" << GetDateAndTime() << "</DateAndTime>";
      genattr::detail::EndLine(out, flushEachLine);
    }
    if (hasChildren) {
      genattr::detail::EndLine(out, flushEachLine);
    }
    return true;
  };
  auto leave = [&](GenAttrBase* current, std::size_t level) {
    if (current->HasChildren() != 0) {
      genattr::detail::WriteIndent(out, genattr::detail::IndentAt(initial, increment, level));
    }
    out << "</";
    writeName(*current);
    out << ">";
    genattr::detail::EndLine(out, flushEachLine);
  };
  genattr::detail::WalkSubtree(node, enter, leave);
  return 0;
}

void GenAttrXMLSerializer::WriteAsUTF8(const wchar_t* text) {
  if (text != nullptr && mpOut != nullptr) {
    // Attribute rules are safe in content as well, and the caller's place is unknown.
    XmlText(*mpOut).Wide(text, Place::Attribute);
  }
}

void GenAttrXMLSerializer::WriteAsUTF8(const char* text) {
  if (text != nullptr && mpOut != nullptr) {
    XmlText(*mpOut).Narrow(text, Place::Attribute);
  }
}

char* GenAttrXMLSerializer::MakeXMLConform(const char* text) {
  return GenAttrStringUtils::Instance().MakeXMLConform(text);
}
