// Paths of nodes as the command prints and reads them. Internal.
//
// A path is the library's: child names joined by "/", starting below the root
// (the root itself has the empty path). Names are shown as UTF-8: as they are
// when they are well-formed UTF-8 (every name read from a document is), else
// their bytes read as ISO 8859-1; a path given to the command may use either
// form. Siblings often share a name (every part of
// a parts list is a "Part"), so a child that is the k-th of its name under its
// parent, k >= 2, is written "Part[k]"; the first keeps its plain name, so a
// path of ASCII names without indices is one that GenAttrBase::GetAttrByPath()
// finds as it stands. A name that itself ends in "[digits]" is always written
// with its index ("a[2][1]"). The children the reader makes of attributes and
// text ("@d", "#text") need nothing special: only "/" and a trailing "[k]"
// mean anything in a segment. Names holding "/" cannot be told apart from two
// segments; the library's paths share that limit.
#ifndef GENATTR_CLI_NODEPATH_H
#define GENATTR_CLI_NODEPATH_H

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace cli {

// `text`, a name or description, as UTF-8: itself when it is well-formed
// UTF-8, else its bytes read as ISO 8859-1 and written in UTF-8. Borrowed from
// `text` or from the string utility object until its next call.
const char* ShownName(const char* text);

// Numbers the children of one parent by name.
class SiblingNumbers {
public:
  // Replaces `occurrence` with, for each of `children`, how many children
  // up to and including it carry its name (1 for the first of a name). The
  // numbers borrow the children's names until the next call.
  void Number(const std::vector<GenAttrBase*>& children, std::vector<unsigned>& occurrence);

private:
  std::unordered_map<std::string_view, unsigned> mSeen;
};

// Appends the segment of a child named `name` that is the `occurrence`-th of
// its name to `path`, with the "/" in front unless it is the `first` segment
// (a child of the root; names may be empty, so `path` cannot tell).
void AppendSegment(std::string& path, bool first, const char* name, unsigned occurrence);

// The path of each node of a pre-order walk, kept up to date step by step.
class PathTracker {
public:
  // The path of a node named `name`, the `occurrence`-th of its name, at
  // `depth` below the start (0: the start, whose path is empty), whose parent is
  // the node last given at depth - 1. Valid until the next call.
  const std::string& Visit(std::size_t depth, const char* name, unsigned occurrence);

private:
  std::string mPath;
  std::vector<std::size_t> mLengths; // mLengths[d]: length of the path at depth d
};

// The node `path` leads to below `start`, or null. Segment by segment, one
// ending in "[k]" (k >= 1) names the k-th child carrying the name before the
// bracket; any other, or one whose index finds nothing, names the first child
// of that name, as GenAttrBase::GetAttrByPath() reads it. The result is
// borrowed.
GenAttrBase* ResolvePath(GenAttrBase* start, const std::string& path);

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_NODEPATH_H
