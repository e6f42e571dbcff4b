/* Additions to the flat C interface, named genattr_*.
 *
 * Handles are those of genattr_c.h. Functions marked GENATTR_XML_API live in
 * the reader library genattr_xml (link it as well); the others in genattr. */
#ifndef GENATTR_GENATTR_C_EXT_H
#define GENATTR_GENATTR_C_EXT_H

#include "genattr/Export.h"
#include "genattr/GenAttrXMLExport.h"
#include "genattr/genattr_c.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the XML tree document in the file `fileName` (see GenAttrXMLReader).
 * Returns the new root (count 0: release it with GenAttrBase::Free, or link
 * it) or null on failure. `status`, when not null, receives 0 (read), 1 (cannot
 * open), 2 (not well-formed XML), 3 (not a tree document) or 4 (a resource
 * limit was hit). A null file name gives status 1. */
GENATTR_XML_API GenAttrHandle* genattr_read_xml_file(const char* fileName, int* status);

#ifdef __cplusplus
}
#endif

#endif /* GENATTR_GENATTR_C_EXT_H */
