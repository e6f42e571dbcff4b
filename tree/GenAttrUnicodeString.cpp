#include "genattr/GenAttrUnicodeString.h"

#include "genattr/GenAttrUtfTransfer.h"
#include "tree/OwnedText.h"

using genattr::detail::CopyText;
using genattr::detail::ReplaceText;

GenAttrUnicodeString::GenAttrUnicodeString(const char* name, const wchar_t* value)
    : GenAttrBase(name), mpValue(CopyText(value)),
      mIsUtfEncoded(GenAttr_CatiaJtUtfTransferEnabled()) {
  mType = UnicodeString;
}

GenAttrUnicodeString::GenAttrUnicodeString(const char* name, const char* description,
                                           const wchar_t* value)
    : GenAttrBase(name, description), mpValue(CopyText(value)),
      mIsUtfEncoded(GenAttr_CatiaJtUtfTransferEnabled()) {
  mType = UnicodeString;
}

GenAttrUnicodeString::GenAttrUnicodeString(const GenAttrUnicodeString* source)
    : GenAttrBase(source), mpValue(CopyText(source != nullptr ? source->mpValue : nullptr)),
      mIsUtfEncoded(source != nullptr && source->mIsUtfEncoded) {
  mType = UnicodeString;
}

GenAttrUnicodeString::~GenAttrUnicodeString() {
  genattr::detail::ReleaseText(mpValue);
}

const wchar_t* GenAttrUnicodeString::GetValue() const {
  return mpValue;
}

void GenAttrUnicodeString::SetValue(const wchar_t* value) {
  ReplaceText(mpValue, value);
  mIsUtfEncoded = GenAttr_CatiaJtUtfTransferEnabled();
}

bool GenAttrUnicodeString::isUtfEncoded() const {
  return mIsUtfEncoded;
}
