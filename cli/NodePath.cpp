#include "cli/NodePath.h"

#include <cstdlib>
#include <cstring>

#include "cli/Walk.h"

namespace genattr {
namespace cli {

void SiblingNumbers::Number(const std::vector<GenAttrBase*>& children,
                            std::vector<unsigned>& occurrence) {
  occurrence.resize(children.size());
  // Most parents have children of distinct names or a handful of them; the
  // map is cleared rather than rebuilt so its buckets are reused.
  mSeen.clear();
  for (std::size_t i = 0; i < children.size(); ++i) {
    occurrence[i] = ++mSeen[std::string_view(children[i]->GetName())];
  }
}

void AppendSegment(std::string& path, const char* name, unsigned occurrence) {
  if (!path.empty()) {
    path += '/';
  }
  path += name;
  if (occurrence > 1) {
    path += '[';
    path += std::to_string(occurrence);
    path += ']';
  }
}

const std::string& PathTracker::Visit(std::size_t depth, const char* name, unsigned occurrence) {
  if (depth == 0) {
    mPath.clear();
  } else {
    mPath.resize(mLengths[depth - 1]);
    AppendSegment(mPath, name, occurrence);
  }
  mLengths.resize(depth + 1);
  mLengths[depth] = mPath.size();
  return mPath;
}

namespace {

// The k-th child of `parent` named `name`, or null.
GenAttrBase* NthNamedChild(GenAttrBase* parent, std::string_view name, unsigned long k,
                           std::vector<GenAttrBase*>& scratch) {
  CollectChildren(parent, scratch);
  for (GenAttrBase* child : scratch) {
    if (name == child->GetName() && --k == 0) {
      return child;
    }
  }
  return nullptr;
}

// One segment below `parent`: the exact name first, then the "[k]" form.
GenAttrBase* ResolveSegment(GenAttrBase* parent, const std::string& segment,
                            std::vector<GenAttrBase*>& scratch) {
  if (GenAttrBase* exact = parent->GetAttr(segment.c_str())) {
    return exact;
  }
  const std::size_t open = segment.rfind('[');
  if (segment.size() < 3 || segment.back() != ']' || open == std::string::npos ||
      open + 2 >= segment.size() || segment[open + 1] < '1' || segment[open + 1] > '9') {
    return nullptr;
  }
  const std::string digits = segment.substr(open + 1, segment.size() - open - 2);
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return nullptr;
  }
  return NthNamedChild(parent, std::string_view(segment).substr(0, open),
                       std::strtoul(digits.c_str(), nullptr, 10), scratch);
}

} // namespace

GenAttrBase* ResolvePath(GenAttrBase* start, const std::string& path) {
  if (GenAttrBase* found = start->GetAttrByPath(path.c_str())) {
    return found;
  }
  if (path.find('[') == std::string::npos) {
    return nullptr;
  }
  std::vector<GenAttrBase*> scratch;
  GenAttrBase* node = start;
  std::size_t begin = 0;
  while (node != nullptr) {
    const std::size_t end = path.find('/', begin);
    node = ResolveSegment(node, path.substr(begin, end - begin), scratch);
    if (end == std::string::npos) {
      return node;
    }
    begin = end + 1;
  }
  return nullptr;
}

} // namespace cli
} // namespace genattr
