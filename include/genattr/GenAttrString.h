// A node holding an 8-bit text value.
#ifndef GENATTR_GENATTRSTRING_H
#define GENATTR_GENATTRSTRING_H

#include "genattr/GenAttrBase.h"

// Type code String (1). The node owns a copy of its value. The UTF flag records
// whether the UTF transfer switch was on when the value was last set.
class GENATTR_API GenAttrString : public GenAttrBase {
public:
  GenAttrString(const char* name, const char* value);
  GenAttrString(const char* name, const char* description, const char* value);
  // Deep copy of `source` with its subtree, its value and its UTF flag.
  explicit GenAttrString(const GenAttrString* source);
  GenAttrString(const GenAttrString&) = delete;
  GenAttrString& operator=(const GenAttrString&) = delete;

  // The value, borrowed: valid until the next SetValue() or the node's end.
  const char* GetValue() const;
  // Samples the UTF switch and stores a copy of `value`, which may point into
  // the current value.
  void SetValue(const char* value);
  bool isUtfEncoded() const;

protected:
  // Typed nodes end through UnRef() / Free().
  ~GenAttrString() override;

  char* mpValue;
  bool mIsUtfEncoded;

private:
  // The library's deep copy takes the flag of its source.
  friend struct GenAttrTreeAccess;
};

#endif // GENATTR_GENATTRSTRING_H
