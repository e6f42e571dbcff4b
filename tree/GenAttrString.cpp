#include "genattr/GenAttrString.h"

#include "genattr/GenAttrUtfTransfer.h"
#include "tree/OwnedText.h"

using genattr::detail::CopyText;
using genattr::detail::ReplaceText;

GenAttrString::GenAttrString(const char* name, const char* value)
    : GenAttrBase(name), mpValue(CopyText(value)),
      mIsUtfEncoded(GenAttr_CatiaJtUtfTransferEnabled()) {
  mType = String;
}

GenAttrString::GenAttrString(const char* name, const char* description, const char* value)
    : GenAttrBase(name, description), mpValue(CopyText(value)),
      mIsUtfEncoded(GenAttr_CatiaJtUtfTransferEnabled()) {
  mType = String;
}

GenAttrString::GenAttrString(const GenAttrString* source)
    : GenAttrBase(source), mpValue(CopyText(source != nullptr ? source->mpValue : nullptr)),
      mIsUtfEncoded(source != nullptr && source->mIsUtfEncoded) {
  mType = String;
}

GenAttrString::~GenAttrString() {
  genattr::detail::ReleaseText(mpValue);
}

const char* GenAttrString::GetValue() const {
  return mpValue;
}

void GenAttrString::SetValue(const char* value) {
  ReplaceText(mpValue, value);
  mIsUtfEncoded = GenAttr_CatiaJtUtfTransferEnabled();
}

bool GenAttrString::isUtfEncoded() const {
  return mIsUtfEncoded;
}
