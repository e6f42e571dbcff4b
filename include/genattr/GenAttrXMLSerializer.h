// The XML tree document, encoded in UTF-8.
#ifndef GENATTR_GENATTRXMLSERIALIZER_H
#define GENATTR_GENATTRXMLSERIALIZER_H

#include <ostream>

#include "genattr/GenAttrSerializer.h"

// Writes one element per node, named after the node, with its description as
// the attribute desc and its value as text content (as the attribute value for
// a non-container node with children); the root element carries the time of
// writing (unless SetTimeStamp(false)) and the optional CSS text. Every
// document is well-formed XML 1.0 in UTF-8. The stream is borrowed and must
// outlive the writer.
class GENATTR_API GenAttrXMLSerializer : public GenAttrSerializer {
public:
  GenAttrXMLSerializer(GenAttrBase* root, std::ostream* out);
  // Copies would own the same stylesheet texts.
  GenAttrXMLSerializer(const GenAttrXMLSerializer&) = delete;
  GenAttrXMLSerializer& operator=(const GenAttrXMLSerializer&) = delete;
  ~GenAttrXMLSerializer() override;

  // Stores a copy of the href of an XSL stylesheet processing instruction;
  // null removes it.
  void SetXSLStylesheet(const char* href);
  // Stores a copy of the text of the CSS_StyleSheet element; null removes it.
  void SetCSSStylesheet(const char* css);

  // Typed output (off by default): the same document with attributes in the
  // namespace urn:genattr:typed (prefix ga) added to the start tags, from
  // which GenAttrXMLReader rebuilds the tree exactly (README, "The typed
  // document"). Off, the document is the plain tree document.
  void SetTypedOutput(bool on);

  int Write() override;

protected:
  // Writes the element of `node` and its subtree; returns 0.
  int Write(GenAttrBase* node);
  // Writes `text` escaped for XML and encoded as UTF-8.
  void WriteAsUTF8(const wchar_t* text);
  // Widens `text` under the current locale (byte by byte as ISO 8859-1 when
  // the locale cannot) and writes it as the wide overload does.
  void WriteAsUTF8(const char* text);
  // GenAttrStringUtils::MakeXMLConform(text): borrowed from the utility object.
  char* MakeXMLConform(const char* text);

  std::ostream* mpOut;
  char* mpCSSStylesheet;
  char* mpXSLStylesheet;
  bool mTypedOutput;
};

#endif // GENATTR_GENATTRXMLSERIALIZER_H
