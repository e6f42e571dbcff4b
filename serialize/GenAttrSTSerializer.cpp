#include "genattr/GenAttrSTSerializer.h"

#include <cstddef>
#include <ios>
#include <ostream>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrStringUtils.h"
#include "serialize/SubtreeWalk.h"

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
  GenAttrStringUtils& utils = GenAttrStringUtils::Instance();
  const int initial = mInitialIndent;
  const int increment = mIndentIncrement;
  const bool flushEachLine = mFlushEachLine;

  auto writeLine = [&](GenAttrBase* current, std::size_t level) {
    genattr::detail::WriteIndent(out, genattr::detail::IndentAt(initial, increment, level));
    out << "Name: ";
    // The column counts bytes of the UTF-8 name, not characters. The left
    // adjustment is not undone: it belongs to the stream state a write leaves.
    out.setf(std::ios::left, std::ios::adjustfield);
    out.width(16);
    out << utils.GetUTF8EncodedString(current->GetName());
    out << "    ";
    if (current->GetType() == Cont) {
      const char* id = static_cast<GenAttrCont*>(current)->GetId();
      if (id != nullptr) {
        out << (current->IsReference() != 0 ? "RefId: " : "Id: ") << id;
      }
    } else {
      out << "Value: " << current->GetValueAsString();
    }
    if (const char* description = current->GetDescription()) {
      out << " (Description: " << utils.GetUTF8EncodedString(description) << ")";
    }
    out << "  (Type: " << current->GetTypeAsString() << ")";
    if (current->GetRefCount() > 1) {
      out << "  (RefCount: " << current->GetRefCount() << ")";
    }
    genattr::detail::EndLine(out, flushEachLine);
    // A reference's children are those of the container it was made from,
    // which the listing shows there.
    return current->IsReference() == 0;
  };
  genattr::detail::WalkSubtree(node, writeLine, [](GenAttrBase*, std::size_t) {});
  return 0;
}
