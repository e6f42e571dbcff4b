// The result list behind GenAttrList. Internal to the library.
#ifndef GENATTR_TREE_GENATTRLISTIMPL_H
#define GENATTR_TREE_GENATTRLISTIMPL_H

#include <cstddef>

#include "genattr/GenAttrList.h"

// An array of borrowed node pointers in the order appended, duplicates allowed.
class GenAttrListImpl : public GenAttrList {
public:
  GenAttrListImpl();
  GenAttrListImpl(const GenAttrListImpl&) = delete;
  GenAttrListImpl& operator=(const GenAttrListImpl&) = delete;
  ~GenAttrListImpl() override;

  GenAttrBase* GetFirst() override;
  GenAttrBase* GetNext() override;
  unsigned int GetCount() override;

  // Inline: collecting a whole tree appends once per node.
  void Append(GenAttrBase* node) {
    if (mCount == mCapacity) {
      Grow();
    }
    mpAttrs[mCount++] = node;
  }
  // Reverses the order of the entries in place.
  void Reverse();

private:
  // Doubles the capacity; throws std::bad_alloc when memory runs out.
  void Grow();

  // Held with malloc() so that growing is a realloc(): the C library can
  // extend or move a large block by remapping its pages instead of copying
  // them, which makes collecting a large tree markedly faster.
  GenAttrBase** mpAttrs = nullptr;
  std::size_t mCount = 0;
  std::size_t mCapacity = 0;
  // Entry last returned; mCount or beyond when none.
  std::size_t mCurrent;
};

#endif // GENATTR_TREE_GENATTRLISTIMPL_H
