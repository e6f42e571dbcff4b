#include "genattr/GenAttrPtr.h"

GenAttrPtr::GenAttrPtr(const char* name, void* value) : GenAttrBase(name), mpValue(value) {
  mType = Ptr;
}

GenAttrPtr::GenAttrPtr(const char* name, const char* description, void* value)
    : GenAttrBase(name, description), mpValue(value) {
  mType = Ptr;
}

GenAttrPtr::GenAttrPtr(const GenAttrPtr* source)
    : GenAttrBase(source), mpValue(source != nullptr ? source->mpValue : nullptr) {
  mType = Ptr;
}

GenAttrPtr::~GenAttrPtr() = default;

void* GenAttrPtr::GetValue() const {
  return mpValue;
}

void GenAttrPtr::SetValue(void* value) {
  mpValue = value;
}
