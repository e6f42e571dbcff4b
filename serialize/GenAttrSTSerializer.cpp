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

namespace {

using genattr::detail::CopyInto;
using genattr::detail::TextBuffer;

// The lines of the listing, one per node: the name in its column, the value
// or the container's id, the description, the type and a shared node's count.
class ListingLines {
public:
  ListingLines(std::ostream& out, bool flushEachLine, bool utf8, int initial, int increment,
               int& depth)
      : mOut(out), mLine(out, flushEachLine), mText(mLine.Text()), mUtf8(utf8), mInitial(initial),
        mIncrement(increment), mFixedIsPrintfs(genattr::detail::FixedIsPrintfs()),
        mWide(mWideText, true), mDepth(depth) {}

  // Writes the line of `node`, `level` levels below the walk's root, and
  // returns whether its children are wanted: a reference's children are those
  // of the container it was made from, which the listing shows there.
  bool Line(GenAttrBase& node, std::size_t level) {
    mDepth.At(level);
    const GenAttrType type = GenAttrTreeAccess::Type(node);
    const char* datum = nullptr;
    if (type == Cont) {
      datum = static_cast<GenAttrCont&>(node).GetId();
      const char* label = datum == nullptr                            ? "    "
                          : GenAttrTreeAccess::IsReference(node) != 0 ? "    RefId: "
                                                                      : "    Id: ";
      Start(node, level, label, std::strlen(label));
    } else {
      Start(node, level, "    Value: ", sizeof "    Value: " - 1);
      datum = Value(node, type);
    }
    Finish(node, type, datum);
    return GenAttrTreeAccess::IsReference(node) == 0;
  }

  // The walk has come back to a node `level` levels below its root.
  void Leave(std::size_t level) { mDepth.At(level); }

private:
  // A node's name and its column take this many bytes at least.
  static constexpr std::size_t NAME_COLUMN = 16;
  // UTF-8 texts are copied as the characters they are; others are read as
  // ISO 8859-1, a character per byte. Either takes at most three bytes per byte.
  static constexpr std::size_t PER_BYTE = 3;

  char* Encode(const char* from, std::size_t length, char* to) const {
    return mUtf8 ? genattr::detail::CopyUtf8(from, length, to)
                 : genattr::detail::EncodeLatin1AsUtf8(from, length, to);
  }

  // The indentation, the name in its column and the label of the datum.
  void Start(const GenAttrBase& node, std::size_t level, const char* label,
             std::size_t labelLength) {
    mLine.Indent(genattr::detail::IndentAt(mInitial, mIncrement, level));
    mLine.Piece("Name: ");
    // The column counts bytes of the UTF-8 name, not characters. The left
    // adjustment is not undone: it belongs to the stream state a write leaves.
    mOut.setf(std::ios::left, std::ios::adjustfield);
    const char* name = GenAttrTreeAccess::Name(node);
    const std::size_t nameLength = genattr::detail::ShortTextLength(name);
    char* at = mText.Extend(PER_BYTE * nameLength + NAME_COLUMN + labelLength);
    char* const column = at;
    at = Encode(name, nameLength, at);
    if (at < column + NAME_COLUMN) {
      // A fill of the whole column's size takes no call, and stays within the
      // room, which holds the column after the longest name.
      std::memset(at, mOut.fill(), NAME_COLUMN);
      at = column + NAME_COLUMN;
    }
    mText.Truncate(CopyInto(at, label, labelLength));
  }

  // The value of a node other than a container: a number goes straight into
  // the line (null comes back), any other value comes back as a text.
  const char* Value(const GenAttrBase& node, GenAttrType type) {
    if (type == String) {
      return static_cast<const GenAttrString&>(node).GetValue();
    }
    if (type == UnicodeString && mUtf8) {
      const wchar_t* value = static_cast<const GenAttrUnicodeString&>(node).GetValue();
      mWideText.Clear();
      mWide.Wide(value != nullptr ? value : L"", genattr::detail::kVerbatim);
      mWideText.Append('\0');
      return mWideText.Data();
    }
    if (genattr::detail::AppendShortNumber(mLine, node, mFixedIsPrintfs)) {
      return nullptr;
    }
    return genattr::detail::RenderedValue(mLine, node);
  }

  // The datum, the description, the type, the count of a shared node and the
  // line end.
  void Finish(GenAttrBase& node, GenAttrType type, const char* datum) {
    const std::size_t datumLength = datum != nullptr ? std::strlen(datum) : 0;
    const char* description = GenAttrTreeAccess::Description(node);
    const std::size_t descriptionLength = description != nullptr ? std::strlen(description) : 0;
    const genattr::detail::TypeNames::Piece& typeName = mTypeNames.Of(type);
    char* at =
        mText.Extend(PER_BYTE * datumLength + sizeof " (Description: )" +
                     PER_BYTE * descriptionLength + sizeof "  (Type: )" + sizeof typeName.text);
    // Values and ids are bytes as they are, unless they are UTF-8 to check.
    at = mUtf8 && type != UnicodeString ? Encode(datum, datumLength, at)
                                        : CopyInto(at, datum, datumLength);
    if (description != nullptr) {
      at = CopyInto(at, " (Description: ");
      at = Encode(description, descriptionLength, at);
      *at++ = ')';
    }
    at = CopyInto(at, "  (Type: ");
    // The whole padded piece: a copy of a fixed size takes no call.
    std::memcpy(at, typeName.text, sizeof typeName.text);
    at += typeName.length;
    *at++ = ')';
    mText.Truncate(at);
    if (GenAttrTreeAccess::RefCount(node) > 1) {
      mText.AppendLiteral("  (RefCount: ");
      // The count as the stream formats numbers.
      mLine.Emit();
      mOut << node.GetRefCount();
      mText.Append(')');
    }
    mLine.EndLine();
  }

  std::ostream& mOut;
  genattr::detail::LineOutput mLine;
  TextBuffer& mText;
  const bool mUtf8;
  const int mInitial;
  const int mIncrement;
  // Asked once: nothing in a write changes the locale or the rounding mode.
  const bool mFixedIsPrintfs;
  const genattr::detail::TypeNames mTypeNames;
  // The UTF-8 of a wide value, when the texts are UTF-8.
  TextBuffer mWideText;
  genattr::detail::EscapedText mWide;
  genattr::detail::DepthCounter mDepth;
};

} // namespace

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
  ListingLines lines(*mpOut, mFlushEachLine, mUtf8Texts, mInitialIndent, mIndentIncrement, mDepth);
  genattr::detail::WalkSubtree(
      node, [&](GenAttrBase* current, std::size_t level) { return lines.Line(*current, level); },
      [&](GenAttrBase*, std::size_t level) { lines.Leave(level); });
  return 0;
}
