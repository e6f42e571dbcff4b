#include "cli/NodePath.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "genattr/GenAttrRanges.h"
#include "genattr/GenAttrStringUtils.h"

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

namespace {

// Whether `segment` ends in an index "[k]", k from 1 to 999,999,999 without a
// leading zero; if so, the name before the bracket goes to `name` and k to `k`.
bool SplitIndex(std::string_view segment, std::string_view* name, unsigned long* k) {
  const std::size_t open = segment.rfind('[');
  if (open == std::string_view::npos || segment.back() != ']') {
    return false;
  }
  const std::string_view digits = segment.substr(open + 1, segment.size() - open - 2);
  if (digits.empty() || digits.size() > 9 || digits[0] == '0' ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  *name = segment.substr(0, open);
  *k = std::strtoul(std::string(digits).c_str(), nullptr, 10);
  return true;
}

// Whether `text` is well-formed UTF-8: no stray or missing continuation
// byte, no overlong form, no surrogate, nothing beyond U+10FFFF.
bool IsUtf8(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const unsigned char lead = *p++;
    if (lead < 0x80) {
      continue;
    }
    const int trail = lead >= 0xC2 && lead <= 0xDF   ? 1
                      : lead >= 0xE0 && lead <= 0xEF ? 2
                      : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                     : -1;
    if (trail < 0) {
      return false;
    }
    // The second byte's range narrows after E0, ED, F0 and F4.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (*p < low || *p > high) {
      return false;
    }
    for (int i = 1; i < trail; ++i) {
      if ((p[i] & 0xC0) != 0x80) {
        return false;
      }
    }
    p += trail;
  }
  return true;
}

} // namespace

const char* ShownName(const char* text) {
  if (text == nullptr || IsUtf8(text)) {
    return text != nullptr ? text : "";
  }
  return GenAttrStringUtils::Instance().GetUTF8EncodedString(text);
}

void AppendSegment(std::string& path, bool first, const char* name, unsigned occurrence) {
  if (!first) {
    path += '/';
  }
  path += ShownName(name);
  // A name that itself ends like an index always gets one, so that it is
  // never read as the index of a shorter name.
  std::string_view ignoredName;
  unsigned long ignoredIndex = 0;
  if (occurrence > 1 || SplitIndex(name, &ignoredName, &ignoredIndex)) {
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
    AppendSegment(mPath, depth == 1, name, occurrence);
  }
  mLengths.resize(depth + 1);
  mLengths[depth] = mPath.size();
  return mPath;
}

namespace {

// A segment names a child by its name as stored or as shown.
bool NameMatches(GenAttrBase* child, std::string_view segment) {
  return segment == child->GetName() || segment == ShownName(child->GetName());
}

// One segment below `parent`: "Name[k]" the k-th child of that name, any
// other segment (or an index too high) the first child of that name.
GenAttrBase* ResolveSegment(GenAttrBase* parent, const std::string& segment,
                            std::vector<GenAttrBase*>& scratch) {
  std::string_view name;
  unsigned long k = 0;
  const GenAttrChildRange children = parent->GetChildren();
  scratch.assign(children.begin(), children.end());
  if (SplitIndex(segment, &name, &k)) {
    for (GenAttrBase* child : scratch) {
      if (NameMatches(child, name) && --k == 0) {
        return child;
      }
    }
  }
  // A name that merely looks like an index is still found as the library
  // finds it.
  if (GenAttrBase* exact = parent->GetAttr(segment.c_str())) {
    return exact;
  }
  for (GenAttrBase* child : scratch) {
    if (NameMatches(child, segment)) {
      return child;
    }
  }
  return nullptr;
}

} // namespace

GenAttrBase* ResolvePath(GenAttrBase* start, const std::string& path) {
  std::vector<GenAttrBase*> scratch;
  GenAttrBase* node = start;
  std::size_t begin = 0;
  while (node != nullptr) {
    const std::size_t end = path.find('/', begin);
    node = ResolveSegment(node, path.substr(begin, end - begin), scratch);
    if (node == nullptr || end == std::string::npos) {
      break;
    }
    begin = end + 1;
  }
  return node;
}

} // namespace cli
} // namespace genattr
