// A node holding a float value.
#ifndef GENATTR_GENATTRFLOAT_H
#define GENATTR_GENATTRFLOAT_H

#include "genattr/GenAttrBase.h"

// Type code Float (2). The value is stored and returned unchanged.
class GENATTR_API GenAttrFloat : public GenAttrBase {
public:
  GenAttrFloat(const char* name, float value);
  GenAttrFloat(const char* name, const char* description, float value);
  // Deep copy of `source` with its subtree and its value.
  explicit GenAttrFloat(const GenAttrFloat* source);
  GenAttrFloat(const GenAttrFloat&) = delete;
  GenAttrFloat& operator=(const GenAttrFloat&) = delete;

  float GetValue() const;
  void SetValue(float value);

protected:
  // Typed nodes end through UnRef() / Free().
  ~GenAttrFloat() override;

  float mValue;
};

#endif // GENATTR_GENATTRFLOAT_H
