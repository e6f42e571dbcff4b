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

// Two bytes that tell the name of every attribute that Element reads from
// any other such name: its fourth and fifth (each is at least four bytes
// long); 0 for a name shorter than four bytes. An attribute is then compared
// with one name at most.
constexpr unsigned Key(const char* name) {
  for (int i = 0; i < 4; ++i) {
    if (name[i] == '\0') {
      return 0;
    }
  }
  return static_cast<unsigned>(static_cast<unsigned char>(name[3])) << 8 |
         static_cast<unsigned char>(name[4]);
}

struct FieldName {
  const char* name;
  Field Element::*field;
  unsigned key;
};
constexpr FieldName kFields[] = {
    {names::kBits, &Element::bits, Key(names::kBits)},
    {names::kDesc, &Element::desc, Key(names::kDesc)},
    {names::kValue, &Element::value, Key(names::kValue)},
    {names::kName, &Element::gaName, Key(names::kName)},
    {names::kXName, &Element::xName, Key(names::kXName)},
    {names::kXDesc, &Element::xDesc, Key(names::kXDesc)},
    {names::kXValue, &Element::xValue, Key(names::kXValue)},
    {names::kId, &Element::id, Key(names::kId)},
    {names::kXId, &Element::xId, Key(names::kXId)},
    {names::kUtf, &Element::utf, Key(names::kUtf)},
    {names::kNode, &Element::node, Key(names::kNode)},
    {names::kLink, &Element::link, Key(names::kLink)},
    {names::kRef, &Element::ref, Key(names::kRef)},
    {names::kOwn, &Element::own, Key(names::kOwn)},
};
constexpr unsigned kTypeKey = Key(names::kType);

constexpr bool KeysTellNamesApart() {
  for (const FieldName& field : kFields) {
    if (field.key == 0 || field.key == kTypeKey) {
      return false;
    }
    int same = 0;
    for (const FieldName& other : kFields) {
      same += other.key == field.key ? 1 : 0;
    }
    if (same != 1) {
      return false;
    }
  }
  return kTypeKey != 0;
}
static_assert(KeysTellNamesApart(), "Key() tells the attributes of Element apart");
static_assert(sizeof kFields / sizeof *kFields <= 16, "Element::mSet has room for every field");

// The type whose name begins with each byte, or Element::NO_SUCH_TYPE: no
// two type names begin alike, so that ga:type is compared with one name.
struct TypeByFirstByte {
  signed char type[256];
  constexpr TypeByFirstByte() : type() {
    for (signed char& t : type) {
      t = Element::NO_SUCH_TYPE;
    }
    for (int t = Base; t <= Ptr; ++t) {
      type[static_cast<unsigned char>(names::kTypeNames[t][0])] = static_cast<signed char>(t);
    }
  }
};
constexpr TypeByFirstByte kTypeByFirstByte;

constexpr bool TypeNamesBeginApart() {
  for (int t = Base; t <= Ptr; ++t) {
    if (kTypeByFirstByte.type[static_cast<unsigned char>(names::kTypeNames[t][0])] != t) {
      return false;
    }
  }
  return true;
}
static_assert(TypeNamesBeginApart(), "every type name begins with a byte of its own");

// The type that ga:type names, or Element::NO_SUCH_TYPE.
int TypeNamed(const char* text) {
  const int type = kTypeByFirstByte.type[static_cast<unsigned char>(text[0])];
  return type >= 0 && std::strcmp(text, names::kTypeNames[type]) == 0 ? type
                                                                      : Element::NO_SUCH_TYPE;
}

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

// A text that ends in a zero byte, and its length.
struct Chars {
  const char* text;
  std::size_t size;
};

// The text of a value node: its value attribute, else its content.
Chars ValueText(const Element& e) {
  if (e.value.Present()) {
    return Chars{e.value.Text(), e.value.Size()};
  }
  return Chars{e.text.CStr(), e.text.Size()};
}

bool UtfFlag(const Element& e) {
  return e.utf.Present() && std::strcmp(e.utf.Text(), names::kUtfSet) == 0;
}

template <class Number, class Bits>
bool ReadNumber(const Field& bits, Chars text, unsigned digits,
                Number (*parse)(const char*, char**), Number& value) {
  if (bits.Present()) {
    std::uint64_t raw = 0;
    if (!ParseHexBits(bits.Text(), digits, raw)) {
      return false;
    }
    const auto narrow = static_cast<Bits>(raw);
    std::memcpy(&value, &narrow, sizeof value);
    return true;
  }
  // Without the bits, the rendered text is the best there is.
  char* end = nullptr;
  value = parse(text.text, &end);
  return text.size != 0 && *end == '\0';
}

} // namespace

void Element::Read(const char* element, const char** attributes, bool keepForeign) {
  name.Assign(element);
  text.Clear();
  textClosed = false;
  type = UNTYPED;
  for (std::size_t i = 0; i < mSetCount; ++i) {
    mSet[i]->Clear();
  }
  mSetCount = 0;
  for (const char** a = attributes; *a != nullptr; a += 2) {
    const unsigned key = Key(a[0]);
    if (key == 0) {
      continue;
    }
    if (key == kTypeKey) {
      if (std::strcmp(a[0], names::kType) == 0) {
        type = TypeNamed(a[1]);
      }
      continue;
    }
    for (const FieldName& known : kFields) {
      if (known.key == key) {
        if (std::strcmp(a[0], known.name) == 0) {
          Field& field = this->*known.field;
          field.Set(a[1]);
          mSet[mSetCount++] = &field;
        }
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
    return desc != nullptr ? new GenAttrCont(e.name.CStr(), desc) : new GenAttrCont(e.name.CStr());
  }
  return Make<GenAttrString>(e.name.CStr(), desc, ValueText(e).text);
}

GenAttrBase* ElementDecoder::MakeTyped(const Element& e) {
  const int type = e.type;
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
  if (e.xName.Present() && !DecodeEscaped8(e.xName.Text(), mName)) {
    Fail("ga:xname is not a valid escaped text");
    return false;
  }
  name = e.xName.Present() ? mName.c_str() : e.gaName.Present() ? e.gaName.Text() : e.name.CStr();
  if (e.xDesc.Present() && !DecodeEscaped8(e.xDesc.Text(), mDesc)) {
    Fail("ga:xdesc is not a valid escaped text");
    return false;
  }
  desc = e.xDesc.Present() ? mDesc.c_str() : e.desc.OrNull();
  return true;
}

bool ElementDecoder::ReadId(const Element& e, const char*& id) {
  if (e.xId.Present() && !DecodeEscaped8(e.xId.Text(), mId)) {
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
  const Chars text = ValueText(e);
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
    if (!ParseInt(text.text, value)) {
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
  if (e.xValue.Present() && !DecodeEscaped8(e.xValue.Text(), mBytes)) {
    Fail("ga:xvalue is not a valid escaped text");
    return nullptr;
  }
  const char* value = e.xValue.Present() ? mBytes.c_str() : ValueText(e).text;
  return MakeFlagged<GenAttrString>(name, desc, value, UtfFlag(e));
}

GenAttrBase* ElementDecoder::MakeWideString(const Element& e, const char* name, const char* desc) {
  if (e.xValue.Present()) {
    if (!DecodeEscapedWide(e.xValue.Text(), mWide)) {
      Fail("ga:xvalue is not a valid escaped wide text");
      return nullptr;
    }
  } else {
    const Chars text = ValueText(e);
    Utf8ToWide(text.text, text.size, mWide);
  }
  return MakeFlagged<GenAttrUnicodeString>(name, desc, mWide.c_str(), UtfFlag(e));
}

bool ElementDecoder::ReadReference(const Element& e, ReferenceTexts& texts) {
  texts.isCont = e.type == Cont;
  if (!texts.isCont && e.type != Base) {
    Fail("only containers and Base nodes can be references");
    return false;
  }
  if (!ParseSerial(e.ref.Text(), texts.target) ||
      (e.own.Present() && !ParseCount(e.own.Text(), texts.own))) {
    Fail("ga:ref or ga:own is not a number");
    return false;
  }
  if ((e.xName.Present() && !DecodeEscaped8(e.xName.Text(), texts.name)) ||
      (e.xDesc.Present() && !DecodeEscaped8(e.xDesc.Text(), mDesc)) ||
      (e.xId.Present() && !DecodeEscaped8(e.xId.Text(), mId))) {
    Fail("an escaped text of a reference is not valid");
    return false;
  }
  if (!e.xName.Present()) {
    texts.name = e.gaName.Present() ? std::string(e.gaName.Text(), e.gaName.Size())
                                    : std::string(e.name.CStr(), e.name.Size());
  }
  if (e.xDesc.Present() || e.desc.Present()) {
    texts.desc = e.xDesc.Present() ? mDesc : std::string(e.desc.Text(), e.desc.Size());
  }
  if (texts.isCont && (e.xId.Present() || e.id.Present())) {
    texts.id = e.xId.Present() ? mId : std::string(e.id.Text(), e.id.Size());
  }
  return true;
}

bool ElementDecoder::ReadSerial(const Field& field, std::uint64_t& serial) {
  if (!ParseSerial(field.Text(), serial)) {
    Fail("a serial of ga:node or ga:link is not a number from 1 to 2^63");
    return false;
  }
  return true;
}

} // namespace xml
} // namespace genattr
