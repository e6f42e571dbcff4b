#include "genattr/GenAttrFloat.h"

GenAttrFloat::GenAttrFloat(const char* name, float value) : GenAttrBase(name), mValue(value) {
  mType = Float;
}

GenAttrFloat::GenAttrFloat(const char* name, const char* description, float value)
    : GenAttrBase(name, description), mValue(value) {
  mType = Float;
}

GenAttrFloat::GenAttrFloat(const GenAttrFloat* source)
    : GenAttrBase(source), mValue(source != nullptr ? source->mValue : float{}) {
  mType = Float;
}

GenAttrFloat::~GenAttrFloat() = default;

float GenAttrFloat::GetValue() const {
  return mValue;
}

void GenAttrFloat::SetValue(float value) {
  mValue = value;
}
