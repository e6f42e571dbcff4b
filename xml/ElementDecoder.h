// The attributes of one element of a document and what they decode to: the
// node of a typed or untyped element, or the texts of a reference that waits
// for its target. Internal to genattr_xml.
#ifndef GENATTR_XML_ELEMENTDECODER_H
#define GENATTR_XML_ELEMENTDECODER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "genattr/GenAttrBase.h"
#include "xml/BuildStatus.h"
#include "xml/ReferenceResolver.h"
#include "xml/TextRun.h"

namespace genattr {
namespace xml {

// An attribute that an element may carry or not. It keeps its storage when
// cleared: reading element after element allocates only when a text
// outgrows those before it.
class Field {
public:
  void Set(const char* text) {
    mText.Assign(text);
    mPresent = true;
  }
  // Only the flag: every element clears the fields it set, and the text of
  // an absent one is never read.
  void Clear() { mPresent = false; }
  bool Present() const { return mPresent; }
  // The text; "" when absent. Valid until the next Set() or Clear().
  const char* Text() const { return mPresent ? mText.CStr() : ""; }
  // The length of Text().
  std::size_t Size() const { return mPresent ? mText.Size() : 0; }
  // The text, or null when absent. Valid until the next Set() or Clear().
  const char* OrNull() const { return mPresent ? mText.CStr() : nullptr; }

private:
  CharBuffer mText;
  bool mPresent = false;
};

// The innermost element as the parser gave it, kept until its node is made.
struct Element {
  // ga:type absent: the element is not typed.
  static constexpr int UNTYPED = -2;
  // ga:type names no type.
  static constexpr int NO_SUCH_TYPE = -1;

  CharBuffer name;
  TextRun text; // its character data so far
  // The root after a time stamp: what follows is no longer its text.
  bool textClosed = false;
  // The plain attributes.
  Field desc, value;
  // The type code that ga:type names, UNTYPED or NO_SUCH_TYPE; decoded as
  // the start tag is read, since every element of a typed document has one.
  int type = UNTYPED;
  // The other typed attributes (the names of tree/Vocabulary.h, without "ga:").
  Field gaName, xName, xDesc, xValue, bits, id, xId, utf, node, link, ref, own;
  // The other attributes of an untyped element, where they are kept: name,
  // value, name, value, ..., each ended by a zero byte.
  std::string foreign;
  std::size_t foreignCount = 0;

  // Takes the start tag of `element`, with `attributes` as the parser gives
  // them (name, value, name, value, ..., null), and no text yet.
  // `keepForeign`: keep the attributes other than desc and value when the
  // element has neither ga:type nor ga:link.
  void Read(const char* element, const char** attributes, bool keepForeign);

  // A definition, which the typed rules read.
  bool Typed() const { return type != UNTYPED; }
  // Whether its character data can become a value: not for a typed
  // container or Base node, nor for a ga:type that names no type.
  bool TextMatters() const { return type != Cont && type != Base && type != NO_SUCH_TYPE; }
  // A further occurrence of a node defined before.
  bool IsLink() const { return link.Present(); }
  // A reference that shares the chain of the node its ga:ref names, rather
  // than one with a chain of its own.
  bool NamesTarget() const { return Typed() && ref.Present() && ref.Size() != 0; }

private:
  // The fields the last start tag set, to be cleared before the next: most
  // elements set one or two of them, or none.
  Field* mSet[16] = {};
  std::size_t mSetCount = 0;
};

// Makes the nodes of elements and reads the texts of references, recording
// in a BuildStatus what cannot be read. Nodes come with count 0, owned by
// the caller. Scratch texts are kept from element to element.
class ElementDecoder {
public:
  explicit ElementDecoder(BuildStatus& status) : mStatus(status) {}
  ElementDecoder(const ElementDecoder&) = delete;
  ElementDecoder& operator=(const ElementDecoder&) = delete;

  // The node of a typed element that does not name a target; null after a
  // failure.
  GenAttrBase* MakeTyped(const Element& element);
  // The node of an untyped element, which has child elements or not.
  static GenAttrBase* MakeUntyped(const Element& element, bool children);
  // The texts of a reference element that names its target; false after a
  // failure.
  bool ReadReference(const Element& element, ReferenceTexts& texts);
  // The serial of ga:node or ga:link in `field`; false after a failure.
  bool ReadSerial(const Field& field, std::uint64_t& serial);

private:
  void Fail(const char* message) { mStatus.Fail(GENATTR_READ_NOT_A_TREE, message); }
  // The node's name and description (null: none), decoded where escaped.
  bool ReadNameAndDescription(const Element& element, const char*& name, const char*& desc);
  // A container's id (null: none), decoded where escaped.
  bool ReadId(const Element& element, const char*& id);
  GenAttrBase* MakeOwnChainReference(const Element& element, GenAttrType type, const char* name,
                                     const char* desc);
  GenAttrBase* MakeValued(const Element& element, GenAttrType type, const char* name,
                          const char* desc);
  GenAttrBase* MakeString(const Element& element, const char* name, const char* desc);
  GenAttrBase* MakeWideString(const Element& element, const char* name, const char* desc);

  BuildStatus& mStatus;
  std::string mName, mDesc, mId, mBytes;
  std::wstring mWide;
};

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_ELEMENTDECODER_H
