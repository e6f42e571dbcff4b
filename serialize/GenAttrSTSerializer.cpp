#include "genattr/GenAttrSTSerializer.h"

#include <cstddef>
#include <cstring>
#include <ios>
#include <ostream>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrCont.h"
#include "serialize/LineOutput.h"
#include "serialize/SubtreeWalk.h"
#include "text/NarrowText.h"
#include "tree/ValueBuffer.h"

namespace {

// Appends `text`, read as ISO 8859-1, in UTF-8.
void AppendLatin1AsUtf8(genattr::detail::TextBuffer& out, const char* text) {
  const std::size_t length = std::strlen(text);
  out.Truncate(genattr::detail::EncodeLatin1AsUtf8(text, length, out.Extend(2 * length)));
}

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
  std::ostream& out = *mpOut;
  genattr::detail::LineOutput line(out, mFlushEachLine);
  genattr::detail::TextBuffer& text = line.Text();
  const int initial = mInitialIndent;
  const int increment = mIndentIncrement;
  constexpr std::size_t nameColumn = 16;

  genattr::detail::DepthCounter depth(mDepth);

  auto writeLine = [&](GenAttrBase* current, std::size_t level) {
    depth.At(level);
    line.Indent(genattr::detail::IndentAt(initial, increment, level));
    line.Piece("Name: ");
    // The column counts bytes of the UTF-8 name, not characters. The left
    // adjustment is not undone: it belongs to the stream state a write leaves.
    out.setf(std::ios::left, std::ios::adjustfield);
    // The name and the padding of its column in one piece of room: a name
    // byte takes at most two bytes of UTF-8.
    const char* name = current->GetName();
    const std::size_t nameLength = std::strlen(name);
    char* const column = text.Extend(2 * nameLength + nameColumn);
    char* at = genattr::detail::EncodeLatin1AsUtf8(name, nameLength, column);
    if (at < column + nameColumn) {
      std::memset(at, out.fill(), static_cast<std::size_t>(column + nameColumn - at));
      at = column + nameColumn;
    }
    text.Truncate(at);
    if (current->GetType() == Cont) {
      text.AppendLiteral("    ");
      const char* id = static_cast<GenAttrCont*>(current)->GetId();
      if (id != nullptr) {
        if (current->IsReference() != 0) {
          text.AppendLiteral("RefId: ");
        } else {
          text.AppendLiteral("Id: ");
        }
        text.Append(id);
      }
    } else {
      text.AppendLiteral("    Value: ");
      if (genattr::detail::ValueMayReport(*current)) {
        line.Emit();
      }
      text.Append(current->GetValueAsString());
    }
    if (const char* description = current->GetDescription()) {
      text.AppendLiteral(" (Description: ");
      AppendLatin1AsUtf8(text, description);
      text.Append(')');
    }
    text.AppendLiteral("  (Type: ");
    text.Append(current->GetTypeAsString());
    text.Append(')');
    if (current->GetRefCount() > 1) {
      text.AppendLiteral("  (RefCount: ");
      // The count as the stream formats numbers.
      line.Emit();
      out << current->GetRefCount();
      text.Append(')');
    }
    line.EndLine();
    // A reference's children are those of the container it was made from,
    // which the listing shows there.
    return current->IsReference() == 0;
  };
  genattr::detail::WalkSubtree(node, writeLine,
                               [&](GenAttrBase*, std::size_t level) { depth.At(level); });
  return 0;
}
