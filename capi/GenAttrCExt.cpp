// The C functions beyond the flat interface.
#include "genattr/genattr_c_ext.h"

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrSerializerFactory.h"
#include "genattr/GenAttrUnicodeString.h"

#include "tree/TreeAccess.h"
#include "tree/TypeName.h"

namespace {

// The typed accessors answer with a status instead of the printed report of
// the flat interface: a C host asking "is this a Float?" is no error.
template <class Node, GenAttrType kType, class Value>
int GetTyped(const GenAttrHandle* node, Value* value) {
  if (node == nullptr || value == nullptr || node->GetType() != kType) {
    return 0;
  }
  *value = static_cast<const Node*>(node)->GetValue();
  return 1;
}

template <class Node, GenAttrType kType, class Value>
int SetTyped(GenAttrHandle* node, Value value) {
  if (node == nullptr || node->GetType() != kType) {
    return 0;
  }
  static_cast<Node*>(node)->SetValue(value);
  return 1;
}

} // namespace

extern "C" {

void genattr_addref(GenAttrHandle* node) {
  if (node != nullptr) {
    node->AddRef();
  }
}

void genattr_unref(GenAttrHandle* node) {
  if (node != nullptr) {
    node->UnRef();
  }
}

int genattr_get_refcount(const GenAttrHandle* node) {
  return node != nullptr ? node->GetRefCount() : 0;
}

const char* genattr_get_name(const GenAttrHandle* node) {
  return node != nullptr ? node->GetName() : nullptr;
}

void genattr_set_name(GenAttrHandle* node, const char* name) {
  if (node != nullptr && name != nullptr) {
    node->SetName(name);
  }
}

const char* genattr_get_description(const GenAttrHandle* node) {
  return node != nullptr ? node->GetDescription() : nullptr;
}

void genattr_set_description(GenAttrHandle* node, const char* description) {
  if (node != nullptr) {
    node->SetDescription(description);
  }
}

int genattr_get_type(const GenAttrHandle* node) {
  return node != nullptr ? static_cast<int>(node->GetType()) : -1;
}

// Not GetTypeAsString(): its one buffer would make two names in one printf
// the same text.
const char* genattr_get_type_name(const GenAttrHandle* node) {
  return node != nullptr ? genattr::detail::TypeName(node->GetType()) : nullptr;
}

const char* genattr_get_value_text(const GenAttrHandle* node) {
  return node != nullptr ? node->GetValueAsString() : nullptr;
}

int genattr_get_int(const GenAttrHandle* node, int* value) {
  return GetTyped<GenAttrInt, Int>(node, value);
}

int genattr_set_int(GenAttrHandle* node, int value) {
  return SetTyped<GenAttrInt, Int>(node, value);
}

int genattr_get_float(const GenAttrHandle* node, float* value) {
  return GetTyped<GenAttrFloat, Float>(node, value);
}

int genattr_set_float(GenAttrHandle* node, float value) {
  return SetTyped<GenAttrFloat, Float>(node, value);
}

int genattr_get_double(const GenAttrHandle* node, double* value) {
  return GetTyped<GenAttrDouble, Double>(node, value);
}

int genattr_set_double(GenAttrHandle* node, double value) {
  return SetTyped<GenAttrDouble, Double>(node, value);
}

int genattr_get_wide(const GenAttrHandle* node, const wchar_t** value) {
  return GetTyped<GenAttrUnicodeString, UnicodeString>(node, value);
}

int genattr_set_wide(GenAttrHandle* node, const wchar_t* value) {
  return SetTyped<GenAttrUnicodeString, UnicodeString>(node, value != nullptr ? value : L"");
}

int genattr_get_ptr(const GenAttrHandle* node, void** value) {
  return GetTyped<GenAttrPtr, Ptr>(node, value);
}

int genattr_set_ptr(GenAttrHandle* node, void* value) {
  return SetTyped<GenAttrPtr, Ptr>(node, value);
}

size_t genattr_count_children(const GenAttrHandle* node) {
  return node != nullptr ? node->GetNumberChildren() : 0;
}

// A position is the link itself: stepping costs nothing and needs no state of
// its own, so a C host has nothing to release after a walk.
const GenAttrChildPos* genattr_first_child(const GenAttrHandle* node) {
  return node != nullptr ? GenAttrTreeAccess::FirstLink(*node) : nullptr;
}

const GenAttrChildPos* genattr_next_child(const GenAttrChildPos* pos) {
  return pos != nullptr ? pos->mpNext : nullptr;
}

GenAttrHandle* genattr_child_at(const GenAttrChildPos* pos) {
  return pos != nullptr ? pos->mpAttr : nullptr;
}

int genattr_remove_child(GenAttrHandle* parent, GenAttrHandle* child) {
  return parent != nullptr && child != nullptr ? parent->RemoveAttr(child) : 0;
}

int genattr_insert_child(GenAttrHandle* parent, GenAttrHandle* child, GenAttrHandle* before) {
  return parent != nullptr && child != nullptr ? parent->InsertAttr(child, before) : 0;
}

void genattr_remove_all_children(GenAttrHandle* parent) {
  if (parent != nullptr) {
    parent->RemoveAllAttr();
  }
}

int genattr_write_text_file(GenAttrHandle* root, const char* fileName) {
  return GenAttrSerializerFactory::WriteToTextFile(root, fileName);
}

int genattr_write_xml_file(GenAttrHandle* root, const char* fileName, int typed) {
  return typed != 0 ? GenAttrSerializerFactory::WriteToTypedXmlFile(root, fileName)
                    : GenAttrSerializerFactory::WriteToXmlFile(root, fileName);
}

} // extern "C"
