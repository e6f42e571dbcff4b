// Small helpers for walking a document parsed with libxml2. Shared by the XML
// read-back test and the writers' fuzz target.
#ifndef GENATTR_TESTS_SUPPORT_XMLNAV_H
#define GENATTR_TESTS_SUPPORT_XMLNAV_H

#include <string>

#include <libxml/tree.h>

namespace genattr_test {

// The text libxml2 handed out, released; "<null>" for none.
inline std::string Take(xmlChar* text) {
  std::string result = text != nullptr ? reinterpret_cast<const char*>(text) : "<null>";
  xmlFree(text);
  return result;
}

// The child element at or after `*cursor`, which moves past it; null at the end.
inline xmlNode* NextElement(xmlNode** cursor) {
  while (*cursor != nullptr && (*cursor)->type != XML_ELEMENT_NODE) {
    *cursor = (*cursor)->next;
  }
  xmlNode* found = *cursor;
  *cursor = found != nullptr ? found->next : nullptr;
  return found;
}

} // namespace genattr_test

#endif // GENATTR_TESTS_SUPPORT_XMLNAV_H
