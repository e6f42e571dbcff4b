// The attributes of the typed XML document, shared by the writer and the
// reader library. Internal; constants only, so that both sides spell them
// from one place.
#ifndef GENATTR_SERIALIZE_TYPEDNAMES_H
#define GENATTR_SERIALIZE_TYPEDNAMES_H

namespace genattr {
namespace detail {
namespace typed {

// Declared on the root element; binds the prefix of every attribute below.
constexpr const char* kNamespaceAttribute = "xmlns:ga";
constexpr const char* kNamespace = "urn:genattr:typed";

constexpr const char* kType = "ga:type";     // type name, "Base" ... "Ptr"
constexpr const char* kName = "ga:name";     // node name, when the element name is not it
constexpr const char* kXName = "ga:xname";   // the same, escaped
constexpr const char* kXDesc = "ga:xdesc";   // description, escaped, when desc cannot carry it
constexpr const char* kXValue = "ga:xvalue"; // String / UnicodeString value, escaped
constexpr const char* kBits = "ga:bits";     // Float / Double: the IEEE bits in hexadecimal
constexpr const char* kId = "ga:id";         // container id
constexpr const char* kXId = "ga:xid";       // container id, escaped
constexpr const char* kUtf = "ga:utf";       // "1": the node's UTF flag is set
constexpr const char* kNode = "ga:node";     // serial of a node that occurs again
constexpr const char* kLink = "ga:link"; // a further occurrence of node N: its content is a copy
constexpr const char* kRef = "ga:ref";   // reference sharing the chain of node N; "" own chain
constexpr const char* kOwn = "ga:own";   // links of a reference in front of its shared chain

// The plain attributes and elements of the document.
constexpr const char* kDesc = "desc";
constexpr const char* kValue = "value";
constexpr const char* kDateAndTime = "DateAndTime";
constexpr const char* kCssStyleSheet = "CSS_StyleSheet";

} // namespace typed
} // namespace detail
} // namespace genattr

#endif // GENATTR_SERIALIZE_TYPEDNAMES_H
