// The result list of lookups: an ordered list of borrowed node pointers.
#ifndef GENATTR_GENATTRLIST_H
#define GENATTR_GENATTRLIST_H

#include "genattr/Export.h"

class GenAttrBase;

// A list returned by GenAttrBase::GetAllAttr() belongs to the caller, who
// releases it with Free(). The list adds no count to its nodes: an entry stays
// usable only while its node lives.
class GENATTR_API GenAttrList {
public:
  GenAttrList() = default;
  GenAttrList(const GenAttrList&) = default;
  GenAttrList& operator=(const GenAttrList&) = default;
  virtual ~GenAttrList();

  // Rewinds the cursor; returns the first entry, or null for an empty list.
  virtual GenAttrBase* GetFirst() = 0;
  // Advances the cursor; returns the entry, or null past the last one (and
  // before the first GetFirst()).
  virtual GenAttrBase* GetNext() = 0;
  // Number of entries.
  virtual unsigned int GetCount() = 0;

  // Destroys `list`; null is ignored. The nodes are left alone.
  static void Free(GenAttrList* list);
};

#endif // GENATTR_GENATTRLIST_H
