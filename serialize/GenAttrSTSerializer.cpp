#include "genattr/GenAttrSTSerializer.h"

#include <cstddef>
#include <cstring>
#include <ios>
#include <ostream>

#include "base/NarrowText.h"
#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "serialize/EscapedText.h"
#include "serialize/LineOutput.h"
#include "serialize/SubtreeWalk.h"
#include "tree/NumberText.h"
#include "tree/TreeAccess.h"
#include "tree/TypeName.h"
#include "tree/ValueBuffer.h"

GenAttrSTSerializer::GenAttrSTSerializer(GenAttrBase* root, std::ostream* out)
    : GenAttrSerializer(root), mpOut(out) {}

GenAttrSTSerializer::~GenAttrSTSerializer() = default;

int GenAttrSTSerializer::Write() {
  if (mpRoot == nullptr || mpOut == nullptr) {
    return 0;
  }
  *mpOut << "-------------------------------------------------";
  genattr::detail::EndLine(*mpOut, mFlushEachLine);
  Write(mpRoot);
  if (!mFlushEachLine) {
    mpOut->flush();
  }
  return 0;
}

int GenAttrSTSerializer::Write(GenAttrBase* node) {
  if (node == nullptr || mpOut == nullptr) {
    return 0;
  }
  using genattr::detail::CopyInto;
  std::ostream& out = *mpOut;
  genattr::detail::LineOutput line(out, mFlushEachLine);
  genattr::detail::TextBuffer& text = line.Text();
  const int initial = mInitialIndent;
  const int increment = mIndentIncrement;
  constexpr std::size_t nameColumn = 16;
  // Asked once: nothing in a write changes the locale or the rounding mode.
  const bool fixedIsPrintfs = genattr::detail::FixedIsPrintfs();
  const genattr::detail::TypeNames typeNames;
  // UTF-8 texts are copied as the characters they are; others are read as
  // ISO 8859-1, a character per byte. Either takes at most three bytes per byte.
  const bool utf8 = mUtf8Texts;
  const auto encode = [utf8](const char* from, std::size_t length, char* to) {
    return utf8 ? genattr::detail::CopyUtf8(from, length, to)
                : genattr::detail::EncodeLatin1AsUtf8(from, length, to);
  };
  constexpr std::size_t perByte = 3;
  // The UTF-8 of a wide value, when the texts are UTF-8.
  genattr::detail::TextBuffer wideText;
  genattr::detail::EscapedText wide(wideText, true);

  genattr::detail::DepthCounter depth(mDepth);

  auto writeLine = [&](GenAttrBase* current, std::size_t level) {
    depth.At(level);
    line.Indent(genattr::detail::IndentAt(initial, increment, level));
    line.Piece("Name: ");
    // The column counts bytes of the UTF-8 name, not characters. The left
    // adjustment is not undone: it belongs to the stream state a write leaves.
    out.setf(std::ios::left, std::ios::adjustfield);
    const GenAttrType type = GenAttrTreeAccess::Type(*current);
    const char* name = GenAttrTreeAccess::Name(*current);
    const std::size_t nameLength = genattr::detail::ShortTextLength(name);
    // The datum: a container's id, or the value text.
    const char* datum = nullptr;
    const char* label = "    Value: ";
    std::size_t labelLength = sizeof "    Value: " - 1;
    if (type == Cont) {
      datum = static_cast<GenAttrCont*>(current)->GetId();
      label = datum == nullptr                                ? "    "
              : GenAttrTreeAccess::IsReference(*current) != 0 ? "    RefId: "
                                                              : "    Id: ";
      labelLength = std::strlen(label);
    }

    // The name in its column, the label and a number value in one piece of
    // room.
    char* at = text.Extend(perByte * nameLength + nameColumn + labelLength +
                           genattr::detail::kShortNumberRoom);
    char* const column = at;
    at = encode(name, nameLength, at);
    if (at < column + nameColumn) {
      // A fill of the whole column's size takes no call, and stays within the
      // room, which holds the column after the longest name.
      std::memset(at, out.fill(), nameColumn);
      at = column + nameColumn;
    }
    if (type == Cont) {
      at = CopyInto(at, label, labelLength);
    } else {
      at = CopyInto(at, "    Value: ");
    }
    if (type == String) {
      datum = static_cast<GenAttrString*>(current)->GetValue();
    } else if (type == UnicodeString && utf8) {
      const wchar_t* value = static_cast<GenAttrUnicodeString*>(current)->GetValue();
      wideText.Clear();
      wide.Wide(value != nullptr ? value : L"", genattr::detail::kVerbatim);
      wideText.Append('\0');
      datum = wideText.Data();
    } else if (type != Cont) {
      if (char* end = genattr::detail::WriteShortNumber(*current, at, fixedIsPrintfs)) {
        at = end;
      } else {
        text.Truncate(at);
        if (genattr::detail::ValueMayReport(*current)) {
          line.Emit();
        }
        datum = current->GetValueAsString();
        at = nullptr;
      }
    }
    if (at != nullptr) {
      text.Truncate(at);
    }
    const std::size_t datumLength = datum != nullptr ? std::strlen(datum) : 0;
    const char* description = GenAttrTreeAccess::Description(*current);
    const std::size_t descriptionLength = description != nullptr ? std::strlen(description) : 0;
    const genattr::detail::TypeNames::Piece& typeName = typeNames.Of(type);

    // The rest of the line in one more piece of room. Values and ids are
    // bytes as they are, unless they are UTF-8 to check.
    at = text.Extend(perByte * datumLength + sizeof " (Description: )" +
                     perByte * descriptionLength + sizeof "  (Type: )" + sizeof typeName.text);
    at = utf8 && type != UnicodeString ? encode(datum, datumLength, at)
                                       : CopyInto(at, datum, datumLength);
    if (description != nullptr) {
      at = CopyInto(at, " (Description: ");
      at = encode(description, descriptionLength, at);
      *at++ = ')';
    }
    at = CopyInto(at, "  (Type: ");
    // The whole padded piece: a copy of a fixed size takes no call.
    std::memcpy(at, typeName.text, sizeof typeName.text);
    at += typeName.length;
    *at++ = ')';
    text.Truncate(at);
    if (GenAttrTreeAccess::RefCount(*current) > 1) {
      text.AppendLiteral("  (RefCount: ");
      // The count as the stream formats numbers.
      line.Emit();
      out << current->GetRefCount();
      text.Append(')');
    }
    line.EndLine();
    // A reference's children are those of the container it was made from,
    // which the listing shows there.
    return GenAttrTreeAccess::IsReference(*current) == 0;
  };
  genattr::detail::WalkSubtree(node, writeLine,
                               [&](GenAttrBase*, std::size_t level) { depth.At(level); });
  return 0;
}
