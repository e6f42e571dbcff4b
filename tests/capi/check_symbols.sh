#!/bin/sh
# Checks what the shared library exports in its dynamic symbol table:
# - under plain (unmangled) names exactly the 29 QMV_GenAttr_ functions, which
#   are also exactly the functions that genattr_c.h declares;
# - the exported classes, their static data and the three switch functions,
#   under C++ (mangled) names;
# - nothing of the library's internals.
# Usage: check_symbols.sh <nm> <libgenattr.so> <genattr_c.h>
set -eu

nm_tool=$1
library=$2
header=$3
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

# "address type name"; demangled names contain spaces, so keep the rest whole.
"$nm_tool" -D --defined-only "$library" | cut -d' ' -f2- >"$work/raw"
"$nm_tool" -D --defined-only -C "$library" | cut -d' ' -f3- >"$work/demangled"
[ -s "$work/raw" ] || fail "no symbols read from $library"

# Plain names: the flat functions, as code, and nothing else but what the
# toolchain adds (reserved names with a leading underscore).
grep -v ' _Z' "$work/raw" >"$work/plain" || true
grep ' QMV_GenAttr_' "$work/plain" | cut -d' ' -f2 | LC_ALL=C sort -u >"$work/exported"
if ! cmp -s "$work/flat" "$work/exported"; then
  fail "flat functions exported differ from the list (< missing, > extra):"
  diff "$work/flat" "$work/exported" | grep '^[<>]' || true
fi
grep ' QMV_GenAttr_' "$work/plain" | grep -v '^[Tt] ' && fail "flat names above are not code"
toolchain='^(_init|_fini|_edata|_end|__bss_start|__odr_asan_gen_.*|__asan_.*|__sancov_.*)$'
cut -d' ' -f2 "$work/plain" | grep -v '^QMV_GenAttr_' | grep -Ev "$toolchain" >"$work/stray" || true
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
internal='^(GenAttrListImpl|GenAttrTreeAccess|GenAttrRefInfo|TreeWalk|Transcode|genattr::)|\(anonymous namespace\)'
if grep -E "$internal" "$work/entities" >"$work/internal"; then
  fail "internal names exported:"
  cat "$work/internal"
fi

[ "$failed" -eq 0 ] && echo "exported symbols: as expected"
exit "$failed"
