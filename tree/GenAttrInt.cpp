#include "genattr/GenAttrInt.h"

GenAttrInt::GenAttrInt(const char* name, int value) : GenAttrBase(name), mValue(value) {
  mType = Int;
}

GenAttrInt::GenAttrInt(const char* name, const char* description, int value)
    : GenAttrBase(name, description), mValue(value) {
  mType = Int;
}

GenAttrInt::GenAttrInt(const GenAttrInt* source)
    : GenAttrBase(source), mValue(source != nullptr ? source->mValue : int{}) {
  mType = Int;
}

GenAttrInt::~GenAttrInt() = default;

int GenAttrInt::GetValue() const {
  return mValue;
}

void GenAttrInt::SetValue(int value) {
  mValue = value;
}
