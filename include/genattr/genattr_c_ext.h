/* The C functions beyond the flat interface: releasing nodes, reading and
 * changing every node's texts and values, walking children without the
 * node's cursor, removing and inserting children, writing both documents and
 * reading a tree back.
 *
 * Nodes are the same GenAttrHandle* as in genattr_c.h (and the GenAttrBase* of
 * the C++ interface); handles from either header may be passed to the other.
 *
 * Ownership: a node lives as long as it is counted. Every link from a parent
 * holds one count of its child; a new node has count 0; genattr_unref() on an
 * unlinked root (count 0) destroys it with every node whose last count was
 * held by a link in its tree. A host that keeps a node which a tree also links
 * counts it with genattr_addref() and gives the count back with
 * genattr_unref() when done. Moving a node while keeping it alive:
 * genattr_addref(n), genattr_remove_child(from, n),
 * QMV_GenAttr_Base_AddAttr(to, n), genattr_unref(n).
 *
 * A null handle or text never crashes the library: getters return null, 0 or
 * -1 as stated, setters and edits do nothing and report 0 where they have a
 * result. No function prints. Use a tree from one thread at a time. */
#ifndef GENATTR_GENATTR_C_EXT_H
#define GENATTR_GENATTR_C_EXT_H

#include <stddef.h> /* size_t, wchar_t */

#include "genattr/GenAttrXMLExport.h"
#include "genattr/genattr_c.h"

/* The type codes of genattr_get_type(). */
#define GENATTR_TYPE_BASE 0
#define GENATTR_TYPE_STRING 1
#define GENATTR_TYPE_FLOAT 2
#define GENATTR_TYPE_DOUBLE 3
#define GENATTR_TYPE_INT 4
#define GENATTR_TYPE_CONT 5
#define GENATTR_TYPE_UNICODE_STRING 6
#define GENATTR_TYPE_PTR 7

#ifdef __cplusplus
struct GenAttrChildLink;
typedef GenAttrChildLink GenAttrChildPos;
extern "C" {
#else
/* One place in a parent's chain of children (opaque). */
typedef struct GenAttrChildLink GenAttrChildPos;
#endif

/* --- reference counts ---------------------------------------------------- */

/* Adds one count to `node`. */
GENATTR_API void genattr_addref(GenAttrHandle* node);
/* Gives back one count; at 0 or below the node is destroyed, and with it
 * every child whose last count its links held. Never unref a node that a
 * parent links unless you counted it yourself with genattr_addref(). */
GENATTR_API void genattr_unref(GenAttrHandle* node);
/* The count of `node`: the links holding it plus the counts added by its
 * holders; 0 for a null node. */
GENATTR_API int genattr_get_refcount(const GenAttrHandle* node);

/* --- texts and type ------------------------------------------------------- */

/* The name, borrowed: valid until the node's name is set again or the node
 * ends. Null for a null node. */
GENATTR_API const char* genattr_get_name(const GenAttrHandle* node);
/* Stores a copy of `name`; a null name changes nothing. */
GENATTR_API void genattr_set_name(GenAttrHandle* node, const char* name);
/* The description, or null when the node has none; borrowed like the name. */
GENATTR_API const char* genattr_get_description(const GenAttrHandle* node);
/* Stores a copy of `description`; null removes the description. */
GENATTR_API void genattr_set_description(GenAttrHandle* node, const char* description);
/* The type code (GENATTR_TYPE_...), or -1 for a null node. */
GENATTR_API int genattr_get_type(const GenAttrHandle* node);
/* The type name ("Base", "String", "Float", "Double", "Int", "Cont",
 * "UnicodeString", "Ptr"), a constant text valid for the life of the
 * library; null for a null node. */
GENATTR_API const char* genattr_get_type_name(const GenAttrHandle* node);
/* The value as the writers render it ("12.5000", "3", the text of a string;
 * "" for a container or a Base node); null for a null node. A String's text
 * is its own, valid until its value is set again or the node ends. Any other
 * text lives in a buffer of the library, valid only until the library renders
 * a value again on this thread (this function, a writer, a search by value) or
 * destroys any node, whichever comes first: copy it to keep it. */
GENATTR_API const char* genattr_get_value_text(const GenAttrHandle* node);

/* --- typed values ---------------------------------------------------------
 * A getter stores the value of a node of its type in `*value` and returns 1;
 * for a node of another type, a null node or a null `value` it returns 0 and
 * stores nothing. A setter changes a node of its type and returns 1; any other
 * node is left unchanged and 0 returned. Nothing is printed. Strings and
 * container ids: QMV_GenAttr_String_... and QMV_GenAttr_Cont_... */

GENATTR_API int genattr_get_int(const GenAttrHandle* node, int* value);
GENATTR_API int genattr_set_int(GenAttrHandle* node, int value);
GENATTR_API int genattr_get_float(const GenAttrHandle* node, float* value);
GENATTR_API int genattr_set_float(GenAttrHandle* node, float value);
GENATTR_API int genattr_get_double(const GenAttrHandle* node, double* value);
GENATTR_API int genattr_set_double(GenAttrHandle* node, double value);
/* The wide value is borrowed: valid until it is set again or the node ends. */
GENATTR_API int genattr_get_wide(const GenAttrHandle* node, const wchar_t** value);
/* Stores a copy of `value`; a null value is taken as the empty text. */
GENATTR_API int genattr_set_wide(GenAttrHandle* node, const wchar_t* value);
GENATTR_API int genattr_get_ptr(const GenAttrHandle* node, void** value);
GENATTR_API int genattr_set_ptr(GenAttrHandle* node, void* value);

/* --- children ---------------------------------------------------------------
 * Walking with positions leaves the node's cursor (QMV_GenAttr_Base_GetFirstAttr
 * / GetNextAttr) alone. A position stays valid while the parent's chain is not
 * edited: adding, inserting or removing a child of that parent, or destroying
 * it, invalidates every position in its chain. To remove children while
 * walking, take the next position before removing the child under the current
 * one, or walk with the node's cursor, which survives removals. Through a
 * reference, the walk covers the children the reference sees. */

/* The number of links under `node` (a child linked twice counts twice); 0 for
 * a null node. The first call on a node with many children takes time
 * proportional to that number; the node then keeps it up to date, and later
 * calls take constant time (see GenAttrBase::GetNumberChildren()). */
GENATTR_API size_t genattr_count_children(const GenAttrHandle* node);
/* The position of the first child, or null when there is none. */
GENATTR_API const GenAttrChildPos* genattr_first_child(const GenAttrHandle* node);
/* The position after `pos`, or null after the last child or for a null pos. */
GENATTR_API const GenAttrChildPos* genattr_next_child(const GenAttrChildPos* pos);
/* The child at `pos`, borrowed (no count added); null for a null pos. */
GENATTR_API GenAttrHandle* genattr_child_at(const GenAttrChildPos* pos);

/* Removes the first link from `parent` to `child` and gives back that link's
 * count, so the child is destroyed unless something else counts it. Returns
 * 1 when a link was removed, 0 when `child` is not a child of `parent`. The
 * cursor of `parent` stays usable: its next step reaches the child that
 * followed the removed link. */
GENATTR_API int genattr_remove_child(GenAttrHandle* parent, GenAttrHandle* child);
/* Links `child` in front of the first link to `before`, or at the end when
 * `before` is null; the link holds one count of the child, which takes
 * `parent` as its initial parent if it has none yet. Returns 1 when linked, 0
 * (nothing linked) when `before` is not a child of `parent`. */
GENATTR_API int genattr_insert_child(GenAttrHandle* parent, GenAttrHandle* child,
                                     GenAttrHandle* before);
/* Removes every link from `parent`, as genattr_remove_child() one by one.
 * Through a reference, these three edit what the reference sees, by the rules
 * of GenAttrBase::RemoveAttr, InsertAttr and RemoveAllAttr. */
GENATTR_API void genattr_remove_all_children(GenAttrHandle* parent);

/* --- writing ----------------------------------------------------------------
 * Statuses: 0 written and closed; 1 the file could not be opened, nothing
 * written (also for a null root or file name); 2 writing or closing failed,
 * the file may be incomplete. An existing file is replaced. Writing moves
 * the cursor of every node whose children it writes. */

/* The plain-text listing, as QMV_GenAttr_WriteToFile. */
GENATTR_API int genattr_write_text_file(GenAttrHandle* root, const char* fileName);
/* The XML document. `typed` 0 writes the plain document
 * (GenAttrSerializerFactory::WriteToXmlFile); any other value the typed one
 * (WriteToTypedXmlFile), from which genattr_read_xml_file() gets the tree
 * back exactly, save Ptr values, which come back null. */
GENATTR_API int genattr_write_xml_file(GenAttrHandle* root, const char* fileName, int typed);

/* --- reading ---------------------------------------------------------------
 * Provided by the companion library genattr_xml, not by genattr: a host that
 * reads links both. */

/* Reads the XML document in `fileName` into a new tree and returns its root
 * with count 0 (release it with genattr_unref()), or null. Stores in `*status`
 * (when `status` is not null): 0 read; 1 the file cannot be opened (also for
 * a null file name); 2 not well-formed XML; 3 not a tree document; 4 a
 * resource limit was hit. Nothing is kept of a tree that could not be read. */
GENATTR_XML_API GenAttrHandle* genattr_read_xml_file(const char* fileName, int* status);

/* A flag of genattr_read_xml_file_ex(): elements without ga:type or ga:link
 * keep only desc and value of their attributes, and text beside their child
 * elements is left out. */
#define GENATTR_READ_NO_ATTRIBUTES 1u

/* As genattr_read_xml_file(), with `flags`: 0 reads as genattr_read_xml_file()
 * does (an element without ga:type or ga:link keeps each attribute other than
 * desc and value as a String child named "@" and the attribute's name, and
 * runs of text beside its child elements as String children named "#text"),
 * GENATTR_READ_NO_ATTRIBUTES leaves them out. Other bits are reserved: pass
 * them as 0. */
GENATTR_XML_API GenAttrHandle* genattr_read_xml_file_ex(const char* fileName, unsigned int flags,
                                                        int* status);

#ifdef __cplusplus
}
#endif

#endif /* GENATTR_GENATTR_C_EXT_H */
