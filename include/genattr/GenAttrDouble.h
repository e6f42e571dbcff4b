// A node holding a double value.
#ifndef GENATTR_GENATTRDOUBLE_H
#define GENATTR_GENATTRDOUBLE_H

#include "genattr/GenAttrBase.h"

// Type code Double (3). The value is stored and returned unchanged.
class GENATTR_API GenAttrDouble : public GenAttrBase {
public:
  GenAttrDouble(const char* name, double value);
  GenAttrDouble(const char* name, const char* description, double value);
  // Deep copy of `source` with its subtree and its value.
  explicit GenAttrDouble(const GenAttrDouble* source);
  GenAttrDouble(const GenAttrDouble&) = delete;
  GenAttrDouble& operator=(const GenAttrDouble&) = delete;

  double GetValue() const;
  void SetValue(double value);

protected:
  // Typed nodes end through UnRef() / Free().
  ~GenAttrDouble() override;

  double mValue;
};

#endif // GENATTR_GENATTRDOUBLE_H
