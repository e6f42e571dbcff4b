#include "cli/Find.h"
#include "cli/Output.h"

#include <cstring>
#include <string>

#include "cli/NodePath.h"
#include "cli/Walk.h"
#include "tree/Vocabulary.h"

namespace genattr {
namespace cli {

namespace {

using detail::vocab::kTypeNames;

bool Passes(GenAttrBase* node, const FindFilter& filter) {
  return (filter.name == nullptr || std::strcmp(node->GetName(), filter.name) == 0) &&
         (filter.type < 0 || node->GetType() == filter.type) &&
         (filter.value == nullptr || std::strcmp(ValueText(node), filter.value) == 0);
}

} // namespace

bool TypeFromName(const char* name, int* type) {
  for (int code = 0; code < static_cast<int>(sizeof kTypeNames / sizeof *kTypeNames); ++code) {
    if (std::strcmp(name, kTypeNames[code]) == 0) {
      *type = code;
      return true;
    }
  }
  return false;
}

std::uint64_t FindNodes(GenAttrBase* root, const FindFilter& filter, std::ostream& out) {
  std::uint64_t found = 0;
  PathTracker paths;
  PreorderWalk walk(root, false);
  while (walk.Next()) {
    const std::string& path = paths.Visit(walk.Depth(), walk.Node()->GetName(), walk.Occurrence());
    if (walk.Depth() > 0 && Passes(walk.Node(), filter)) {
      out << path << '\n';
      ++found;
    }
  }
  return found;
}

} // namespace cli
} // namespace genattr
