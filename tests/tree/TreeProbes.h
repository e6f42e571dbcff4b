// Helpers shared by the tree tests.
#ifndef GENATTR_TESTS_TREE_TREEPROBES_H
#define GENATTR_TESTS_TREE_TREEPROBES_H

#include <string>

#include "genattr/GenAttrBase.h"

// A plain node that counts its destruction and opens the protected members
// the tests look at.
class TrackedNode : public GenAttrBase {
public:
  TrackedNode(const char* name, int* deaths) : GenAttrBase(name), mpDeaths(deaths) {}
  ~TrackedNode() override { ++*mpDeaths; }

  using GenAttrBase::SetInitialParent;
  static char*& ValueBuffer() { return smpBuffer; }
  static std::uint64_t& ValueBufferLen() { return smBufferLen; }

private:
  int* mpDeaths;
};

// The names of the children of `node`, read through its cursor, joined by
// commas ("a,b,c").
inline std::string ChildNames(GenAttrBase& node) {
  std::string names;
  for (GenAttrBase* child = node.GetFirstAttr(); child != nullptr; child = node.GetNextAttr()) {
    names += names.empty() ? "" : ",";
    names += child->GetName();
  }
  return names;
}

// The child at `index` (from 0) of `node`, or null.
inline GenAttrBase* ChildAt(GenAttrBase& node, unsigned index) {
  GenAttrBase* child = node.GetFirstAttr();
  while (child != nullptr && index-- > 0) {
    child = node.GetNextAttr();
  }
  return child;
}

#endif // GENATTR_TESTS_TREE_TREEPROBES_H
