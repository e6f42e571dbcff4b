// The words of the documents the library writes and genattr_xml reads back:
// type names, the plain and the typed attributes, flag values, the escaped
// form's marks, the time-stamp elements and the names of the children a
// reader makes of foreign markup. Internal; constants only. Every writer and
// reader, the HTML view, the command and the bindings spell them from here, so
// that a word cannot differ between the side that writes it and the side that
// reads it. The tree floor holds it because it is the lowest user (type names
// in GetTypeAsString()); plain names are character arrays, so that
// TextBuffer::AppendLiteral() takes them with their lengths.
#ifndef GENATTR_TREE_VOCABULARY_H
#define GENATTR_TREE_VOCABULARY_H

#include <cstdint>

#include "genattr/GenAttrBase.h"

namespace genattr {
namespace detail {
namespace vocab {

// The name of each type code, indexed by GenAttrType: the listing's and
// GetTypeAsString()'s name, and the value of ga:type.
inline constexpr const char* kTypeNames[] = {"Base", "String", "Float",         "Double",
                                             "Int",  "Cont",   "UnicodeString", "Ptr"};
static_assert(sizeof kTypeNames / sizeof *kTypeNames == Ptr + 1, "a name for every type code");
// What GetTypeAsString() says of a code outside the table.
inline constexpr char kUnknownType[] = "<unknown>";

// The name of `type`, or kUnknownType for a code outside the table.
constexpr const char* TypeNameOf(GenAttrType type) {
  const auto code = static_cast<std::uint32_t>(type);
  return code <= static_cast<std::uint32_t>(Ptr) ? kTypeNames[code] : kUnknownType;
}

// The plain document: the description, and the value of a node with children.
inline constexpr char kDesc[] = "desc";
inline constexpr char kValue[] = "value";
// The root's leading elements, which a reader skips: the time of writing and
// the CSS text.
inline constexpr char kDateAndTime[] = "DateAndTime";
inline constexpr char kCssStyleSheet[] = "CSS_StyleSheet";

// Declared on the root element; binds the prefix of every attribute below.
inline constexpr char kNamespaceAttribute[] = "xmlns:ga";
inline constexpr char kNamespace[] = "urn:genattr:typed";

inline constexpr char kType[] = "ga:type";     // type name, from kTypeNames
inline constexpr char kName[] = "ga:name";     // node name, when the element name is not it
inline constexpr char kXName[] = "ga:xname";   // the same, escaped
inline constexpr char kXDesc[] = "ga:xdesc";   // description, escaped, when desc cannot carry it
inline constexpr char kXValue[] = "ga:xvalue"; // String / UnicodeString value, escaped
inline constexpr char kBits[] = "ga:bits";     // Float / Double: the IEEE bits in hexadecimal
inline constexpr char kId[] = "ga:id";         // container id
inline constexpr char kXId[] = "ga:xid";       // container id, escaped
inline constexpr char kUtf[] = "ga:utf";       // kUtfSet: the node's UTF flag is set
inline constexpr char kNode[] = "ga:node";     // serial of a node that occurs again
inline constexpr char kLink[] = "ga:link"; // a further occurrence of node N: its content is a copy
inline constexpr char kRef[] = "ga:ref";   // reference sharing the chain of node N; "" own chain
inline constexpr char kOwn[] = "ga:own";   // links of a reference in front of its shared chain

// The one value of ga:utf; any other reads as a flag that is not set.
inline constexpr char kUtfSet[] = "1";

// The escaped form: a byte as kEscape and two hexadecimal digits; a wide unit
// as kEscape, its hexadecimal digits and kWideEscapeEnd, which lets a unit
// take any number of digits.
inline constexpr char kEscape = '%';
inline constexpr char kWideEscapeEnd = ';';

// The children a reader makes of what an untyped element holds beside its
// node: an attribute as kAttributePrefix and the attribute's name, a run of
// text beside child elements as kTextChild.
inline constexpr char kAttributePrefix = '@';
inline constexpr char kTextChild[] = "#text";

} // namespace vocab
} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_VOCABULARY_H
