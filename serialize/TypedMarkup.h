// The attributes that make an XML tree document typed: enough to read the
// tree back exactly. Internal to the library.
#ifndef GENATTR_SERIALIZE_TYPEDMARKUP_H
#define GENATTR_SERIALIZE_TYPEDMARKUP_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "genattr/GenAttrBase.h"
#include "serialize/EscapedText.h"
#include "serialize/TextBuffer.h"

namespace genattr {
namespace detail {

// Follows the writer's walk (Enter for every element, in document order) and appends to each start
// tag the typed attributes of its node: type, exact name, description, value and id where the plain
// document cannot carry them, and the shape. A node linked more than once below the root is defined
// at its first occurrence (with a serial) and linked at the others; a reference names the node
// whose chain it shares. Counts held other than by links below the root change nothing. Elements
// whose content a reader skips (under a link, or the shared children of a reference whose target
// has an element of its own) carry no typed attributes at all.
class TypedMarkup {
public:
  // Finds the nodes below `root` that references share their chains with.
  // `attribute` is how the document escapes attribute values; it must
  // outlive the object.
  TypedMarkup(GenAttrBase* root, const TextEscapes& attribute);
  TypedMarkup(const TypedMarkup&) = delete;
  TypedMarkup& operator=(const TypedMarkup&) = delete;

  // Appends the attributes of `node`, met at `level` (0 for the root), to
  // `out`, each with its leading space.
  void Enter(GenAttrBase* node, std::size_t level, TextBuffer& out, EscapedText& text);

private:
  struct Known {
    std::uint64_t serial = 0;
    bool defined = false; // its defining element was started
  };
  struct Frame {
    std::size_t children; // child elements met so far
    std::size_t own;      // a sharing reference: its own links in front
    bool sharing;         // a reference that shares a chain
    bool targetInTree;    // ... whose target has an element of its own
    bool copy;            // the content is a copy that readers skip
  };

  // Whether the walk met more than one link to `node`.
  bool LinkedAgain(const GenAttrBase& node) const;
  Known& SerialOf(const GenAttrBase* node);
  void Define(GenAttrBase* node, Frame& frame, TextBuffer& out, EscapedText& text);
  void Reference(GenAttrBase* node, Frame& frame, TextBuffer& out);

  const TextEscapes& mAttribute;
  std::unordered_set<const GenAttrBase*> mTargets;
  std::unordered_map<const GenAttrBase*, Known> mKnown;
  // Links met below the root, per child, for children of more than one count.
  std::unordered_map<const GenAttrBase*, std::size_t> mLinks;
  std::uint64_t mNextSerial = 1;
  std::vector<Frame> mFrames;
};

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_TYPEDMARKUP_H
