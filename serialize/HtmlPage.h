// The fixed parts of the HTML view of a tree. Internal.
#ifndef GENATTR_SERIALIZE_HTMLPAGE_H
#define GENATTR_SERIALIZE_HTMLPAGE_H

namespace genattr {
namespace detail {

// Everything in front of the tree's data: the document head with the style,
// the page's controls, and the opening tag of the data element
// (<script type="application/json" id="genattr-tree">) with a line end.
extern const char kHtmlPageHead[];

// Everything after the data: the end of the data element, the script that
// builds the view, and the end of the document with a line end.
//
// The data is one JSON object:
//   {"title": text, "written": time stamp (absent when written without one),
//    "nodes": [entry, ...] in pre-order, the root first,
//    "types": [type name, ...]}
// An entry is [parent, type, name, value, description, id, reference, chain]:
// parent the index of the parent's entry (-1 for the root), type an index
// into "types", description and id a text or null, reference 1 for a
// reference node, chain the index of the entry whose children this node
// shares (-1 when it shows its own). Trailing fields that hold their
// defaults (null, null, 0, -1) are left out. A later place of a node shown
// before is [parent, -1, index of that node's entry].
extern const char kHtmlPageTail[];

// The line of kHtmlPageTail that shows the time of writing ("written"), left
// out of pages written without it.
extern const char kHtmlPageShowWritten[];

} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_HTMLPAGE_H
