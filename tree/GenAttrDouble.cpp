#include "genattr/GenAttrDouble.h"

GenAttrDouble::GenAttrDouble(const char* name, double value) : GenAttrBase(name), mValue(value) {
  mType = Double;
}

GenAttrDouble::GenAttrDouble(const char* name, const char* description, double value)
    : GenAttrBase(name, description), mValue(value) {
  mType = Double;
}

GenAttrDouble::GenAttrDouble(const GenAttrDouble* source)
    : GenAttrBase(source), mValue(source != nullptr ? source->mValue : double{}) {
  mType = Double;
}

GenAttrDouble::~GenAttrDouble() = default;

double GenAttrDouble::GetValue() const {
  return mValue;
}

void GenAttrDouble::SetValue(double value) {
  mValue = value;
}
