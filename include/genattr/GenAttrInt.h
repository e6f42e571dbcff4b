// A node holding an int value.
#ifndef GENATTR_GENATTRINT_H
#define GENATTR_GENATTRINT_H

#include "genattr/GenAttrBase.h"

// Type code Int (4). The value is stored and returned unchanged.
class GENATTR_API GenAttrInt : public GenAttrBase {
public:
  GenAttrInt(const char* name, int value);
  GenAttrInt(const char* name, const char* description, int value);
  // Deep copy of `source` with its subtree and its value.
  explicit GenAttrInt(const GenAttrInt* source);
  GenAttrInt(const GenAttrInt&) = delete;
  GenAttrInt& operator=(const GenAttrInt&) = delete;

  int GetValue() const;
  void SetValue(int value);

protected:
  // Typed nodes end through UnRef() / Free().
  ~GenAttrInt() override;

  int mValue;
};

#endif // GENATTR_GENATTRINT_H
