#include "xml/ElementDecoder.h"

#include <cstdlib>
#include <cstring>

#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "genattr/GenAttrPtr.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "tree/TreeAccess.h"
#include "tree/Vocabulary.h"
#include "xml/TypedValues.h"

namespace genattr {
namespace xml {

namespace {

namespace names = genattr::detail::vocab;

struct FieldName {
  const char* name;
  Field Element::*field;
};
constexpr FieldName kFields[] = {
    {names::kDesc, &Element::desc},     {names::kValue, &Element::value},
    {names::kType, &Element::type},     {names::kName, &Element::gaName},
    {names::kXName, &Element::xName},   {names::kXDesc, &Element::xDesc},
    {names::kXValue, &Element::xValue}, {names::kBits, &Element::bits},
    {names::kId, &Element::id},         {names::kXId, &Element::xId},
    {names::kUtf, &Element::utf},       {names::kNode, &Element::node},
    {names::kLink, &Element::link},     {names::kRef, &Element::ref},
    {names::kOwn, &Element::own},
};

// Whether an attribute may be one of kFields, by its first byte: the typed
// ones share their prefix, so most foreign attributes are passed over
// without a comparison.
constexpr bool MayBeField(const char* name) {
  return name[0] == names::kDesc[0] || name[0] == names::kValue[0] || name[0] == names::kType[0];
}
constexpr bool EveryFieldPassesFirstByte() {
  for (const FieldName& field : kFields) {
    if (!MayBeField(field.name)) {
      return false;
    }
  }
  return true;
}
static_assert(EveryFieldPassesFirstByte(), "MayBeField() knows the first byte of every field");

// A node of class `Node` with `value`, and with `desc` when it is not null.
template <class Node, class Value>
GenAttrBase* Make(const char* name, const char* desc, Value value) {
  return desc != nullptr ? new Node(name, desc, value) : new Node(name, value);
}

// A string node of class `Node` with `value` and the UTF flag `utf`, as the
// document says, whatever the host's switch is at this moment.
template <class Node, class Value>
GenAttrBase* MakeFlagged(const char* name, const char* desc, const Value* value, bool utf) {
  auto* node = static_cast<Node*>(Make<Node>(name, desc, value));
  GenAttrTreeAccess::UtfFlag(*node) = utf;
  return node;
}

// The type that ga:type names, or -1.
int TypeNamed(const std::string& text) {
  int type = -1;
  for (int t = Base; t <= Ptr; ++t) {
    if (text == names::kTypeNames[t]) {
      type = t;
    }
  }
  return type;
}

// The text of a value node: its value attribute, else its content.
const std::string& ValueText(const Element& e) {
  return e.value.Present() ? e.value.Text() : e.text;
}

bool UtfFlag(const Element& e) {
  return e.utf.Present() && e.utf.Text() == names::kUtfSet;
}

template <class Number, class Bits>
bool ReadNumber(const Field& bits, const std::string& text, unsigned digits,
                Number (*parse)(const char*, char**), Number& value) {
  if (bits.Present()) {
    std::uint64_t raw = 0;
    if (!ParseHexBits(bits.Text().c_str(), digits, raw)) {
      return false;
    }
    const auto narrow = static_cast<Bits>(raw);
    std::memcpy(&value, &narrow, sizeof value);
    return true;
  }
  // Without the bits, the rendered text is the best there is.
  char* end = nullptr;
  value = parse(text.c_str(), &end);
  return !text.empty() && *end == '\0';
}

} // namespace

void Element::Read(const char* element, const char** attributes, bool keepForeign) {
  name.assign(element);
  text.clear();
  textClosed = false;
  for (const FieldName& field : kFields) {
    (this->*field.field).Clear();
  }
  for (const char** a = attributes; *a != nullptr; a += 2) {
    if (!MayBeField(a[0])) {
      continue;
    }
    for (const FieldName& field : kFields) {
      if (std::strcmp(a[0], field.name) == 0) {
        (this->*field.field).Set(a[1]);
        break;
      }
    }
  }
  foreign.clear();
  foreignCount = 0;
  // The ga attributes of a typed element are the format's; on any other
  // element they are as foreign as the rest.
  if (!keepForeign || Typed() || IsLink()) {
    return;
  }
  for (const char** a = attributes; *a != nullptr; a += 2) {
    if (std::strcmp(a[0], names::kDesc) != 0 && std::strcmp(a[0], names::kValue) != 0) {
      foreign.append(a[0], std::strlen(a[0]) + 1);
      foreign.append(a[1], std::strlen(a[1]) + 1);
      ++foreignCount;
    }
  }
}

GenAttrBase* ElementDecoder::MakeUntyped(const Element& e, bool children) {
  const char* desc = e.desc.OrNull();
  if (children && !e.value.Present()) {
    return desc != nullptr ? new GenAttrCont(e.name.c_str(), desc)
                           : new GenAttrCont(e.name.c_str());
  }
  return Make<GenAttrString>(e.name.c_str(), desc, ValueText(e).c_str());
}

GenAttrBase* ElementDecoder::MakeTyped(const Element& e) {
  const int type = TypeNamed(e.type.Text());
  if (type < 0) {
    Fail("ga:type names no node type");
    return nullptr;
  }
  const char* name = nullptr;
  const char* desc = nullptr;
  if (!ReadNameAndDescription(e, name, desc)) {
    return nullptr;
  }
  if (e.ref.Present()) {
    return MakeOwnChainReference(e, static_cast<GenAttrType>(type), name, desc);
  }
  return MakeValued(e, static_cast<GenAttrType>(type), name, desc);
}

bool ElementDecoder::ReadNameAndDescription(const Element& e, const char*& name,
                                            const char*& desc) {
  if (e.xName.Present() && !DecodeEscaped8(e.xName.Text().c_str(), mName)) {
    Fail("ga:xname is not a valid escaped text");
    return false;
  }
  name = e.xName.Present()    ? mName.c_str()
         : e.gaName.Present() ? e.gaName.Text().c_str()
                              : e.name.c_str();
  if (e.xDesc.Present() && !DecodeEscaped8(e.xDesc.Text().c_str(), mDesc)) {
    Fail("ga:xdesc is not a valid escaped text");
    return false;
  }
  desc = e.xDesc.Present() ? mDesc.c_str() : e.desc.OrNull();
  return true;
}

bool ElementDecoder::ReadId(const Element& e, const char*& id) {
  if (e.xId.Present() && !DecodeEscaped8(e.xId.Text().c_str(), mId)) {
    Fail("ga:xid is not a valid escaped text");
    return false;
  }
  id = e.xId.Present() ? mId.c_str() : e.id.OrNull();
  return true;
}

GenAttrBase* ElementDecoder::MakeOwnChainReference(const Element& e, GenAttrType type,
                                                   const char* name, const char* desc) {
  if (type != Cont && type != Base) {
    Fail("only containers and Base nodes can be references");
    return nullptr;
  }
  const char* id = nullptr;
  if (type == Cont && !ReadId(e, id)) {
    return nullptr;
  }
  GenAttrBase* made = ReferenceResolver::MakeReference(type == Cont, name, nullptr);
  if (type == Cont) {
    static_cast<GenAttrCont*>(made)->SetId(id);
  }
  made->SetDescription(desc);
  return made;
}

GenAttrBase* ElementDecoder::MakeValued(const Element& e, GenAttrType type, const char* name,
                                        const char* desc) {
  const std::string& text = ValueText(e);
  switch (type) {
  case Base:
    return desc != nullptr ? new GenAttrBase(name, desc) : new GenAttrBase(name);
  case Cont: {
    const char* id = nullptr;
    if (!ReadId(e, id)) {
      return nullptr;
    }
    auto* cont = desc != nullptr ? new GenAttrCont(name, desc) : new GenAttrCont(name);
    if (id != nullptr) {
      cont->SetId(id);
    }
    return cont;
  }
  case String:
    return MakeString(e, name, desc);
  case UnicodeString:
    return MakeWideString(e, name, desc);
  case Int: {
    int value = 0;
    if (!ParseInt(text.c_str(), value)) {
      Fail("the value of an Int is not a 32-bit decimal integer");
      return nullptr;
    }
    return Make<GenAttrInt>(name, desc, value);
  }
  case Float: {
    float value = 0;
    if (!ReadNumber<float, std::uint32_t>(e.bits, text, 8, &std::strtof, value)) {
      Fail("the value of a Float is not a number or ga:bits is not 8 hexadecimal digits");
      return nullptr;
    }
    return Make<GenAttrFloat>(name, desc, value);
  }
  case Double: {
    double value = 0;
    if (!ReadNumber<double, std::uint64_t>(e.bits, text, 16, &std::strtod, value)) {
      Fail("the value of a Double is not a number or ga:bits is not 16 hexadecimal digits");
      return nullptr;
    }
    return Make<GenAttrDouble>(name, desc, value);
  }
  default:
    // A pointer means nothing in another process.
    return Make<GenAttrPtr>(name, desc, static_cast<void*>(nullptr));
  }
}

GenAttrBase* ElementDecoder::MakeString(const Element& e, const char* name, const char* desc) {
  if (e.xValue.Present() && !DecodeEscaped8(e.xValue.Text().c_str(), mBytes)) {
    Fail("ga:xvalue is not a valid escaped text");
    return nullptr;
  }
  const char* value = e.xValue.Present() ? mBytes.c_str() : ValueText(e).c_str();
  return MakeFlagged<GenAttrString>(name, desc, value, UtfFlag(e));
}

GenAttrBase* ElementDecoder::MakeWideString(const Element& e, const char* name, const char* desc) {
  if (e.xValue.Present()) {
    if (!DecodeEscapedWide(e.xValue.Text().c_str(), mWide)) {
      Fail("ga:xvalue is not a valid escaped wide text");
      return nullptr;
    }
  } else {
    const std::string& text = ValueText(e);
    Utf8ToWide(text.data(), text.size(), mWide);
  }
  return MakeFlagged<GenAttrUnicodeString>(name, desc, mWide.c_str(), UtfFlag(e));
}

bool ElementDecoder::ReadReference(const Element& e, ReferenceTexts& texts) {
  texts.isCont = e.type.Text() == names::kTypeNames[Cont];
  if (!texts.isCont && e.type.Text() != names::kTypeNames[Base]) {
    Fail("only containers and Base nodes can be references");
    return false;
  }
  if (!ParseSerial(e.ref.Text().c_str(), texts.target) ||
      (e.own.Present() && !ParseCount(e.own.Text().c_str(), texts.own))) {
    Fail("ga:ref or ga:own is not a number");
    return false;
  }
  if ((e.xName.Present() && !DecodeEscaped8(e.xName.Text().c_str(), texts.name)) ||
      (e.xDesc.Present() && !DecodeEscaped8(e.xDesc.Text().c_str(), mDesc)) ||
      (e.xId.Present() && !DecodeEscaped8(e.xId.Text().c_str(), mId))) {
    Fail("an escaped text of a reference is not valid");
    return false;
  }
  if (!e.xName.Present()) {
    texts.name = e.gaName.Present() ? e.gaName.Text() : e.name;
  }
  if (e.xDesc.Present() || e.desc.Present()) {
    texts.desc = e.xDesc.Present() ? mDesc : e.desc.Text();
  }
  if (texts.isCont && (e.xId.Present() || e.id.Present())) {
    texts.id = e.xId.Present() ? mId : e.id.Text();
  }
  return true;
}

bool ElementDecoder::ReadSerial(const Field& field, std::uint64_t& serial) {
  if (!ParseSerial(field.Text().c_str(), serial)) {
    Fail("a serial of ga:node or ga:link is not a number from 1 to 2^63");
    return false;
  }
  return true;
}

} // namespace xml
} // namespace genattr
