// Writing a whole tree to a named file in one call.
#ifndef GENATTR_GENATTRSERIALIZERFACTORY_H
#define GENATTR_GENATTRSERIALIZERFACTORY_H

#include "genattr/Export.h"

class GenAttrBase;

// Status codes of every operation: 0 the tree was written and the file closed;
// 1 the file could not be opened (nothing written); 2 writing or closing the
// file failed (the file may be incomplete).
class GENATTR_API GenAttrSerializerFactory {
public:
  // Writes `root` as the plain-text listing to `fileName` (truncated or created).
  static int WriteToTextFile(GenAttrBase* root, const char* fileName);
  // Writes `root` as an XML document to `fileName` (truncated or created).
  static int WriteToXmlFile(GenAttrBase* root, const char* fileName);
  // Writes `root` as a self-contained HTML page (see GenAttrHTMLSerializer) to
  // `fileName` (truncated or created), byte for byte on every platform.
  static int WriteToHtmlFile(GenAttrBase* root, const char* fileName);
  // Writes `root` as the typed XML document (GenAttrXMLSerializer with
  // SetTypedOutput(true)), which GenAttrXMLReader reads back exactly.
  static int WriteToTypedXmlFile(GenAttrBase* root, const char* fileName);
};

#endif // GENATTR_GENATTRSERIALIZERFACTORY_H
