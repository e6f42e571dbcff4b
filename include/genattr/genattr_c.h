/* The flat C interface of the genattr library.
 *
 * Every node is handled through GenAttrHandle*, which is the same pointer as
 * the GenAttrBase* of the C++ interface: handles and class pointers can be
 * mixed freely. Lookups return borrowed nodes (no count is added). Texts passed
 * in are copied; texts handed out are borrowed from the node and stay valid
 * until the node changes them or is destroyed. A tree is released with
 * genattr_unref() (genattr_c_ext.h) or GenAttrBase::Free on its root.
 *
 * A null handle or text never crashes the library: lookups and getters return
 * null or 0, setters and the two AddAttr functions do nothing, the Create
 * functions return null for a null name (a null description or string value is
 * taken as the empty text), and QMV_GenAttr_WriteToFile returns 1.
 * Threads: a tree (with every tree it shares nodes with) is used by one
 * thread at a time; distinct trees may be used by distinct threads at once. */
#ifndef GENATTR_GENATTR_C_H
#define GENATTR_GENATTR_C_H

#include <stddef.h> /* wchar_t */

#include "genattr/Export.h"

#ifdef __cplusplus
class GenAttrBase;
typedef GenAttrBase GenAttrHandle;
extern "C" {
#else
typedef struct GenAttrBase GenAttrHandle;
#endif

/* Copies the build date ("Dec  7 2026", 11 characters and a zero; at least 12
 * bytes) and time ("08:05:09", 8 characters and a zero; at least 9 bytes). */
GENATTR_API void QMV_GenAttr_GetBuildDateTime(char* date, char* time);

/* New nodes: unlinked, without initial parent, reference count 0. */
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_Cont(const char* name);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_Cont_Desc(const char* name, const char* desc);
/* A reference container sharing the children of the container `ref`; null
 * (after the type-mismatch report) when `ref` is not a container. */
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_Cont_Ref(const char* name, GenAttrHandle* ref);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_String(const char* name, const char* value);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_String_Desc(const char* name, const char* desc,
                                                          const char* value);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_UnicodeString(const char* name, const wchar_t* value);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_UnicodeString_Desc(const char* name, const char* desc,
                                                                 const wchar_t* value);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_Int(const char* name, int value);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_Float(const char* name, float value);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_Double(const char* name, double value);
GENATTR_API GenAttrHandle* QMV_GenAttr_Create_Ptr(const char* name, void* value);

/* Links `child` at the end (AddAttr) or the front (AddAttrAtTop) of the
 * children of `parent`; the link holds one count of the child. */
GENATTR_API void QMV_GenAttr_Base_AddAttr(GenAttrHandle* parent, GenAttrHandle* child);
GENATTR_API void QMV_GenAttr_Base_AddAttrAtTop(GenAttrHandle* parent, GenAttrHandle* child);
/* 1 for a reference container, else 0. */
GENATTR_API int QMV_GenAttr_Base_IsReference(GenAttrHandle* node);
/* Walks the children with the node's single cursor: the first child, then each
 * next one, then null. */
GENATTR_API GenAttrHandle* QMV_GenAttr_Base_GetFirstAttr(GenAttrHandle* node);
GENATTR_API GenAttrHandle* QMV_GenAttr_Base_GetNextAttr(GenAttrHandle* node);
/* The first child named `name`, or null. */
GENATTR_API GenAttrHandle* QMV_GenAttr_Base_GetAttr(GenAttrHandle* node, const char* name);
/* The node reached by a "/"-separated path of child names, or null. */
GENATTR_API GenAttrHandle* QMV_GenAttr_Base_GetAttrByPath(GenAttrHandle* node, const char* path);

/* The first String / Double / Int node in pre-order below `node` with that
 * name and value (a Double within the tolerance, strictly), or null. */
GENATTR_API GenAttrHandle* QMV_GenAttr_FindStringAttr(GenAttrHandle* node, const char* name,
                                                      const char* value);
GENATTR_API GenAttrHandle* QMV_GenAttr_FindDoubleAttr(GenAttrHandle* node, const char* name,
                                                      double value, double tolerance);
GENATTR_API GenAttrHandle* QMV_GenAttr_FindIntegerAttr(GenAttrHandle* node, const char* name,
                                                       int value);

/* Typed accessors. A node of another type is reported on standard output and
 * left unchanged; getters then return null or 0. */
GENATTR_API void QMV_GenAttr_Cont_SetId(GenAttrHandle* node, const char* id);
GENATTR_API const char* QMV_GenAttr_Cont_GetId(GenAttrHandle* node);
GENATTR_API void QMV_GenAttr_String_SetValue(GenAttrHandle* node, const char* value);
GENATTR_API const char* QMV_GenAttr_String_GetValue(GenAttrHandle* node);
GENATTR_API void QMV_GenAttr_Int_SetValue(GenAttrHandle* node, int value);
GENATTR_API int QMV_GenAttr_Int_GetValue(GenAttrHandle* node);

/* Writes the tree as the plain-text listing: 0 written, 1 the file could not be
 * opened (or a null argument), 2 writing or closing failed. */
GENATTR_API int QMV_GenAttr_WriteToFile(GenAttrHandle* root, const char* fileName);

#ifdef __cplusplus
}
#endif

#endif /* GENATTR_GENATTR_C_H */
