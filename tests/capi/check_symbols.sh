#!/bin/sh
# Checks what the shared library exports (the dynamic symbol table of
# libgenattr.so, read with nm; the export table of genattr.dll, read with the
# MinGW objdump -p), by the same rules on both:
# - under plain (unmangled) names exactly the 29 QMV_GenAttr_ functions, which
#   are also exactly the functions that genattr_c.h declares, and the genattr_
#   functions of genattr_c_ext.h, save the two the reader library provides;
# - the exported classes, their static data and the three switch functions,
#   under C++ (mangled) names;
# - nothing of the library's internals.
# Usage: check_symbols.sh <nm> <libgenattr.so> <genattr_c.h> <genattr_c_ext.h>
#        check_symbols.sh <objdump> <genattr.dll> <genattr_c.h> <genattr_c_ext.h> <c++filt>
set -eu

tool=$1
library=$2
header=$3
ext_header=$4
demangler=${5:-}
failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*"
  failed=1
}

cat >"$work/flat" <<'EOF'
QMV_GenAttr_Base_AddAttr
QMV_GenAttr_Base_AddAttrAtTop
QMV_GenAttr_Base_GetAttr
QMV_GenAttr_Base_GetAttrByPath
QMV_GenAttr_Base_GetFirstAttr
QMV_GenAttr_Base_GetNextAttr
QMV_GenAttr_Base_IsReference
QMV_GenAttr_Cont_GetId
QMV_GenAttr_Cont_SetId
QMV_GenAttr_Create_Cont
QMV_GenAttr_Create_Cont_Desc
QMV_GenAttr_Create_Cont_Ref
QMV_GenAttr_Create_Double
QMV_GenAttr_Create_Float
QMV_GenAttr_Create_Int
QMV_GenAttr_Create_Ptr
QMV_GenAttr_Create_String
QMV_GenAttr_Create_String_Desc
QMV_GenAttr_Create_UnicodeString
QMV_GenAttr_Create_UnicodeString_Desc
QMV_GenAttr_FindDoubleAttr
QMV_GenAttr_FindIntegerAttr
QMV_GenAttr_FindStringAttr
QMV_GenAttr_GetBuildDateTime
QMV_GenAttr_Int_GetValue
QMV_GenAttr_Int_SetValue
QMV_GenAttr_String_GetValue
QMV_GenAttr_String_SetValue
QMV_GenAttr_WriteToFile
EOF
LC_ALL=C sort -o "$work/flat" "$work/flat"
[ "$(wc -l <"$work/flat")" -eq 29 ] || fail "the expected list does not hold 29 names"

cat >"$work/ext" <<'EOF'
genattr_addref
genattr_child_at
genattr_count_children
genattr_first_child
genattr_get_description
genattr_get_double
genattr_get_float
genattr_get_int
genattr_get_name
genattr_get_ptr
genattr_get_refcount
genattr_get_type
genattr_get_type_name
genattr_get_value_text
genattr_get_wide
genattr_insert_child
genattr_next_child
genattr_remove_all_children
genattr_remove_child
genattr_set_description
genattr_set_double
genattr_set_float
genattr_set_int
genattr_set_name
genattr_set_ptr
genattr_set_wide
genattr_unref
genattr_write_text_file
genattr_write_xml_file
EOF
LC_ALL=C sort -o "$work/ext" "$work/ext"

# "type name" in raw; demangled names contain spaces, so keep the rest whole.
case "$library" in
*.dll)
  # The export table names no kind of symbol: every name counts as code.
  "$tool" -p "$library" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' >"$work/names"
  sed 's/^/T /' "$work/names" >"$work/raw"
  "$demangler" <"$work/names" >"$work/demangled"
  ;;
*)
  "$tool" -D --defined-only "$library" | cut -d' ' -f2- >"$work/raw"
  "$tool" -D --defined-only -C "$library" | cut -d' ' -f3- >"$work/demangled"
  ;;
esac
[ -s "$work/raw" ] || fail "no symbols read from $library"

# Plain names: the flat functions, as code, and nothing else but what the
# toolchain adds (reserved names with a leading underscore).
grep -v ' _Z' "$work/raw" >"$work/plain" || true
grep ' QMV_GenAttr_' "$work/plain" | cut -d' ' -f2 | LC_ALL=C sort -u >"$work/exported"
if ! cmp -s "$work/flat" "$work/exported"; then
  fail "flat functions exported differ from the list (< missing, > extra):"
  diff "$work/flat" "$work/exported" | grep '^[<>]' || true
fi
grep ' genattr_' "$work/plain" | cut -d' ' -f2 | LC_ALL=C sort -u >"$work/ext_exported"
if ! cmp -s "$work/ext" "$work/ext_exported"; then
  fail "genattr_ functions exported differ from the list (< missing, > extra):"
  diff "$work/ext" "$work/ext_exported" | grep '^[<>]' || true
fi
grep -E ' (QMV_GenAttr|genattr)_' "$work/plain" | grep -v '^[Tt] ' && fail "C names above are not code"
toolchain='^(_init|_fini|_edata|_end|__bss_start|__odr_asan_gen_.*|__asan_.*|__sancov_.*)$'
cut -d' ' -f2 "$work/plain" | grep -Ev '^(QMV_GenAttr|genattr)_' | grep -Ev "$toolchain" \
  >"$work/stray" || true
if [ -s "$work/stray" ]; then
  fail "other plain names exported:"
  cat "$work/stray"
fi

# The header declares the same functions.
grep -o 'QMV_GenAttr_[A-Za-z_]*(' "$header" | tr -d '(' | LC_ALL=C sort -u >"$work/declared"
if ! cmp -s "$work/flat" "$work/declared"; then
  fail "functions declared in $header differ from the list (< missing, > extra):"
  diff "$work/flat" "$work/declared" | grep '^[<>]' || true
fi

# genattr_c_ext.h declares the same genattr_ functions and the reader's entry.
sed -n 's/^GENATTR_API .*[ *]\(genattr_[a-z_]*\)(.*/\1/p' "$ext_header" | LC_ALL=C sort -u \
  >"$work/ext_declared"
if ! cmp -s "$work/ext" "$work/ext_declared"; then
  fail "functions declared in $ext_header differ from the list (< missing, > extra):"
  diff "$work/ext" "$work/ext_declared" | grep '^[<>]' || true
fi
grep -q '^GENATTR_XML_API GenAttrHandle\* genattr_read_xml_file(' "$ext_header" ||
  fail "$ext_header does not declare genattr_read_xml_file for the reader library"
grep -q '^GENATTR_XML_API GenAttrHandle\* genattr_read_xml_file_ex(' "$ext_header" ||
  fail "$ext_header does not declare genattr_read_xml_file_ex for the reader library"

# The class interface.
for class in GenAttrBase GenAttrCont GenAttrString GenAttrUnicodeString GenAttrInt GenAttrFloat \
  GenAttrDouble GenAttrPtr GenAttrList GenAttrStringUtils GenAttrSerializer GenAttrSTSerializer \
  GenAttrXMLSerializer GenAttrHTMLSerializer GenAttrSerializerFactory; do
  grep -q "^$class::" "$work/demangled" || fail "class $class is not exported"
done
for class in GenAttrBase GenAttrCont GenAttrString GenAttrUnicodeString GenAttrInt GenAttrFloat \
  GenAttrDouble GenAttrPtr GenAttrList GenAttrSerializer; do
  grep -qx "typeinfo for $class" "$work/demangled" || fail "typeinfo for $class is not exported"
done
for name in 'GenAttrBase::FLAT' 'GenAttrBase::RECURSIVE' 'GenAttrBase::smpBuffer' \
  'GenAttrBase::smBufferLen' 'GenAttrStringUtils::smpInst' \
  'GenAttr_EnableCatiaJtUtfTransfer()' 'GenAttr_DisableCatiaJtUtfTransfer()' \
  'GenAttr_CatiaJtUtfTransferEnabled()'; do
  grep -qxF "$name" "$work/demangled" || fail "$name is not exported"
done

# Internals: the entity a symbol names (after "vtable for " and the like)
# must not be one of the library's own helpers.
sed -E 's/^(vtable for |typeinfo for |typeinfo name for |VTT for |construction vtable for |guard variable for |(non-)?virtual thunk to )+//' \
  "$work/demangled" >"$work/entities"
internal='^(GenAttrListImpl|GenAttrTreeAccess|GenAttrNodeRecord|GenAttrDescendantWalk|TreeWalk|PathSet|Transcode|genattr::)|\(anonymous namespace\)'
if grep -E "$internal" "$work/entities" >"$work/internal"; then
  fail "internal names exported:"
  cat "$work/internal"
fi
# Every C++ entity is one of our classes, a member of one or a GenAttr_
# function; a template instantiation (its demangled name starts with a
# return type) is none of them.
grep -Ev '^(GenAttr[A-Za-z]*(::|$)|GenAttr_[A-Za-z]*\(|QMV_GenAttr_|genattr_)' "$work/entities" |
  grep -Ev "$toolchain" >"$work/foreign" || true
if [ -s "$work/foreign" ]; then
  fail "names exported that belong to none of our classes:"
  cat "$work/foreign"
fi

[ "$failed" -eq 0 ] && echo "exported symbols: as expected"
exit "$failed"
