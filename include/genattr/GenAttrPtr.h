// A node holding an opaque pointer that the host owns.
#ifndef GENATTR_GENATTRPTR_H
#define GENATTR_GENATTRPTR_H

#include "genattr/GenAttrBase.h"

// Type code Ptr (7). The library never reads through the pointer nor releases it;
// any value, null included, is stored and returned unchanged.
class GENATTR_API GenAttrPtr : public GenAttrBase {
public:
  GenAttrPtr(const char* name, void* value);
  GenAttrPtr(const char* name, const char* description, void* value);
  // Deep copy of `source` with its subtree; the copy holds the same pointer.
  explicit GenAttrPtr(const GenAttrPtr* source);
  GenAttrPtr(const GenAttrPtr&) = delete;
  GenAttrPtr& operator=(const GenAttrPtr&) = delete;

  void* GetValue() const;
  void SetValue(void* value);

protected:
  // Typed nodes end through UnRef() / Free().
  ~GenAttrPtr() override;

  void* mpValue;
};

#endif // GENATTR_GENATTRPTR_H
