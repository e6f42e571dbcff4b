// A node holding a wide text value.
#ifndef GENATTR_GENATTRUNICODESTRING_H
#define GENATTR_GENATTRUNICODESTRING_H

#include "genattr/GenAttrBase.h"

// Type code UnicodeString (6). The node owns a copy of its wide value. The UTF
// flag records whether the UTF transfer switch was on when the value was last
// set; it decides whether GetValueAsString() renders the value as UTF-8 (set)
// or in the current locale's multibyte encoding (clear).
class GENATTR_API GenAttrUnicodeString : public GenAttrBase {
public:
  GenAttrUnicodeString(const char* name, const wchar_t* value);
  GenAttrUnicodeString(const char* name, const char* description, const wchar_t* value);
  // Deep copy of `source` with its subtree, its value and its UTF flag.
  explicit GenAttrUnicodeString(const GenAttrUnicodeString* source);
  GenAttrUnicodeString(const GenAttrUnicodeString&) = delete;
  GenAttrUnicodeString& operator=(const GenAttrUnicodeString&) = delete;

  // The value, borrowed: valid until the next SetValue() or the node's end.
  const wchar_t* GetValue() const;
  // Samples the UTF switch and stores a copy of `value`, which may point into
  // the current value.
  void SetValue(const wchar_t* value);
  bool isUtfEncoded() const;

protected:
  // Typed nodes end through UnRef() / Free().
  ~GenAttrUnicodeString() override;

  wchar_t* mpValue;
  bool mIsUtfEncoded;

private:
  // The library's deep copy takes the flag of its source.
  friend struct GenAttrTreeAccess;
};

#endif // GENATTR_GENATTRUNICODESTRING_H
