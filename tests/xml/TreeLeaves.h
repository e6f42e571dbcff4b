// The texts of a read tree in one line, for comparing with what a document
// holds.
#ifndef GENATTR_TESTS_XML_TREELEAVES_H
#define GENATTR_TESTS_XML_TREELEAVES_H

#include <string>
#include <vector>

#include "genattr/GenAttr.h"

namespace foreign {

// The texts a read tree holds, leaves in document order: "name[desc]=value;"
// ("[desc]" only where there is a description).
inline std::string Leaves(GenAttrBase* root) {
  std::string leaves;
  std::vector<GenAttrBase*> work{root};
  while (!work.empty()) {
    GenAttrBase* node = work.back();
    work.pop_back();
    std::vector<GenAttrBase*> children;
    for (GenAttrBase* child = node->GetFirstAttr(); child != nullptr; child = node->GetNextAttr()) {
      children.push_back(child);
    }
    if (!children.empty()) {
      work.insert(work.end(), children.rbegin(), children.rend());
      continue;
    }
    leaves += node->GetName();
    if (node->GetDescription() != nullptr) {
      leaves += std::string("[") + node->GetDescription() + "]";
    }
    leaves += std::string("=") + node->GetValueAsString() + ";";
  }
  return leaves;
}

} // namespace foreign

#endif // GENATTR_TESTS_XML_TREELEAVES_H
