// The result list behind GenAttrList. Internal to the library.
#ifndef GENATTR_TREE_GENATTRLISTIMPL_H
#define GENATTR_TREE_GENATTRLISTIMPL_H

#include <cstddef>
#include <vector>

#include "genattr/GenAttrList.h"

// An array of borrowed node pointers in the order appended, duplicates allowed.
class GenAttrListImpl : public GenAttrList {
public:
  GenAttrListImpl();
  ~GenAttrListImpl() override;

  GenAttrBase* GetFirst() override;
  GenAttrBase* GetNext() override;
  unsigned int GetCount() override;

  // Inline: collecting a whole tree appends once per node.
  void Append(GenAttrBase* node) { mAttrs.push_back(node); }
  // Reverses the order of the entries in place.
  void Reverse();

private:
  std::vector<GenAttrBase*> mAttrs;
  // Entry last returned; mAttrs.size() or beyond when none.
  std::size_t mCurrent;
};

#endif // GENATTR_TREE_GENATTRLISTIMPL_H
