// The flat C interface: thin wrappers around the node classes and the factory.
#include "genattr/genattr_c.h"

#include <cstdio>
#include <cstring>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrSerializerFactory.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"

namespace {

// Stamped when this file is compiled; __DATE__ already pads the day with a
// space ("Dec  7 2026"), which is the layout callers expect.
constexpr char kBuildDate[] = __DATE__;
constexpr char kBuildTime[] = __TIME__;
static_assert(sizeof(kBuildDate) == 12, "the build date has 11 characters");
static_assert(sizeof(kBuildTime) == 9, "the build time has 8 characters");

// True when `node` has the type `expected`. A mismatch is reported on standard
// output; a null node is no mismatch and is refused silently, since C callers
// use null for "no node" (a lookup that found nothing).
bool CheckGenAttrType(const GenAttrBase* node, GenAttrType expected) {
  if (node == nullptr) {
    return false;
  }
  const GenAttrType actual = node->GetType();
  if (actual == expected) {
    return true;
  }
  std::printf("-------------------------------------\n"
              "Wrong GenAttrType type!\n"
              "Expected %d but object has %d.\n"
              "-------------------------------------\n",
              static_cast<int>(expected), static_cast<int>(actual));
  return false;
}

// The node as its own class, or null after a refused check: the type code
// names the class, and an accessor of another class must never touch it.
template <class Node, GenAttrType kType> Node* Checked(GenAttrHandle* node) {
  return CheckGenAttrType(node, kType) ? static_cast<Node*>(node) : nullptr;
}

const char* OrEmpty(const char* text) {
  return text != nullptr ? text : "";
}
const wchar_t* OrEmpty(const wchar_t* text) {
  return text != nullptr ? text : L"";
}

// Every node needs a name; the other arguments are already made safe.
template <class Node, class... Args> GenAttrHandle* Create(const char* name, Args... args) {
  if (name == nullptr) {
    return nullptr;
  }
  return new Node(name, args...);
}

} // namespace

extern "C" {

void QMV_GenAttr_GetBuildDateTime(char* date, char* time) {
  if (date != nullptr) {
    std::memcpy(date, kBuildDate, sizeof(kBuildDate));
  }
  if (time != nullptr) {
    std::memcpy(time, kBuildTime, sizeof(kBuildTime));
  }
}

GenAttrHandle* QMV_GenAttr_Create_Cont(const char* name) {
  return Create<GenAttrCont>(name);
}

GenAttrHandle* QMV_GenAttr_Create_Cont_Desc(const char* name, const char* desc) {
  return Create<GenAttrCont>(name, OrEmpty(desc));
}

GenAttrHandle* QMV_GenAttr_Create_Cont_Ref(const char* name, GenAttrHandle* ref) {
  GenAttrCont* const referenced = Checked<GenAttrCont, Cont>(ref);
  if (referenced == nullptr) {
    return nullptr;
  }
  return Create<GenAttrCont>(name, referenced);
}

GenAttrHandle* QMV_GenAttr_Create_String(const char* name, const char* value) {
  return Create<GenAttrString>(name, OrEmpty(value));
}

GenAttrHandle* QMV_GenAttr_Create_String_Desc(const char* name, const char* desc,
                                              const char* value) {
  return Create<GenAttrString>(name, OrEmpty(desc), OrEmpty(value));
}

GenAttrHandle* QMV_GenAttr_Create_UnicodeString(const char* name, const wchar_t* value) {
  return Create<GenAttrUnicodeString>(name, OrEmpty(value));
}

GenAttrHandle* QMV_GenAttr_Create_UnicodeString_Desc(const char* name, const char* desc,
                                                     const wchar_t* value) {
  return Create<GenAttrUnicodeString>(name, OrEmpty(desc), OrEmpty(value));
}

GenAttrHandle* QMV_GenAttr_Create_Int(const char* name, int value) {
  return Create<GenAttrInt>(name, value);
}

GenAttrHandle* QMV_GenAttr_Create_Float(const char* name, float value) {
  return Create<GenAttrFloat>(name, value);
}

GenAttrHandle* QMV_GenAttr_Create_Double(const char* name, double value) {
  return Create<GenAttrDouble>(name, value);
}

GenAttrHandle* QMV_GenAttr_Create_Ptr(const char* name, void* value) {
  return Create<GenAttrPtr>(name, value);
}

void QMV_GenAttr_Base_AddAttr(GenAttrHandle* parent, GenAttrHandle* child) {
  if (parent != nullptr && child != nullptr) {
    parent->AddAttr(child);
  }
}

void QMV_GenAttr_Base_AddAttrAtTop(GenAttrHandle* parent, GenAttrHandle* child) {
  if (parent != nullptr && child != nullptr) {
    parent->AddAttrAtTop(child);
  }
}

int QMV_GenAttr_Base_IsReference(GenAttrHandle* node) {
  return node != nullptr ? node->IsReference() : 0;
}

GenAttrHandle* QMV_GenAttr_Base_GetFirstAttr(GenAttrHandle* node) {
  return node != nullptr ? node->GetFirstAttr() : nullptr;
}

GenAttrHandle* QMV_GenAttr_Base_GetNextAttr(GenAttrHandle* node) {
  return node != nullptr ? node->GetNextAttr() : nullptr;
}

GenAttrHandle* QMV_GenAttr_Base_GetAttr(GenAttrHandle* node, const char* name) {
  return node != nullptr && name != nullptr ? node->GetAttr(name) : nullptr;
}

GenAttrHandle* QMV_GenAttr_Base_GetAttrByPath(GenAttrHandle* node, const char* path) {
  return node != nullptr && path != nullptr ? node->GetAttrByPath(path) : nullptr;
}

GenAttrHandle* QMV_GenAttr_FindStringAttr(GenAttrHandle* node, const char* name,
                                          const char* value) {
  if (node == nullptr || name == nullptr || value == nullptr) {
    return nullptr;
  }
  return node->FindStringAttr(name, value);
}

GenAttrHandle* QMV_GenAttr_FindDoubleAttr(GenAttrHandle* node, const char* name, double value,
                                          double tolerance) {
  if (node == nullptr || name == nullptr) {
    return nullptr;
  }
  return node->FindDoubleAttr(name, value, tolerance);
}

GenAttrHandle* QMV_GenAttr_FindIntegerAttr(GenAttrHandle* node, const char* name, int value) {
  if (node == nullptr || name == nullptr) {
    return nullptr;
  }
  return node->FindIntegerAttr(name, value);
}

// The typed accessors check the type before the text, so that a host learns
// of a wrong node even when it also passes a null text.

void QMV_GenAttr_Cont_SetId(GenAttrHandle* node, const char* id) {
  GenAttrCont* const cont = Checked<GenAttrCont, Cont>(node);
  if (cont != nullptr && id != nullptr) {
    cont->SetId(id);
  }
}

const char* QMV_GenAttr_Cont_GetId(GenAttrHandle* node) {
  const GenAttrCont* const cont = Checked<GenAttrCont, Cont>(node);
  return cont != nullptr ? cont->GetId() : nullptr;
}

void QMV_GenAttr_String_SetValue(GenAttrHandle* node, const char* value) {
  GenAttrString* const string = Checked<GenAttrString, String>(node);
  if (string != nullptr && value != nullptr) {
    string->SetValue(value);
  }
}

const char* QMV_GenAttr_String_GetValue(GenAttrHandle* node) {
  const GenAttrString* const string = Checked<GenAttrString, String>(node);
  return string != nullptr ? string->GetValue() : nullptr;
}

void QMV_GenAttr_Int_SetValue(GenAttrHandle* node, int value) {
  GenAttrInt* const number = Checked<GenAttrInt, Int>(node);
  if (number != nullptr) {
    number->SetValue(value);
  }
}

int QMV_GenAttr_Int_GetValue(GenAttrHandle* node) {
  const GenAttrInt* const number = Checked<GenAttrInt, Int>(node);
  return number != nullptr ? number->GetValue() : 0;
}

int QMV_GenAttr_WriteToFile(GenAttrHandle* root, const char* fileName) {
  if (root == nullptr || fileName == nullptr) {
    return 1;
  }
  return GenAttrSerializerFactory::WriteToTextFile(root, fileName);
}

} // extern "C"
