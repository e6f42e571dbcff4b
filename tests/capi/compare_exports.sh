#!/bin/sh
# Checks that genattr.dll exports exactly the names libgenattr.so exports: the
# same mangled names (MinGW uses the same C++ name mangling as Linux), apart
# from the typeinfo names (_ZTS...), which a DLL does not export, and the
# width of std::size_t.
# Usage: compare_exports.sh <libgenattr.so> <genattr.dll> [nm] [objdump]
set -eu

so=$1
dll=$2
nm_tool=${3:-nm}
objdump_tool=${4:-x86_64-w64-mingw32-objdump}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$nm_tool" -D --defined-only "$so" | awk '{ print $3 }' | grep -v '^_ZTS' | LC_ALL=C sort >"$work/so"
"$objdump_tool" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' |
  # The node class's operator new and delete take std::size_t: unsigned long
  # (m) on Linux, unsigned long long (y) on 64-bit Windows.
  sed 's/^\(_ZN11GenAttrBase\(nw\|dl\)E\(Pv\)\{0,1\}\)y/\1m/' | LC_ALL=C sort >"$work/dll"
[ -s "$work/so" ] && [ -s "$work/dll" ] || { echo "FAIL: no exports read"; exit 1; }
if ! cmp -s "$work/so" "$work/dll"; then
  echo "FAIL: exports differ (< only in $so, > only in $dll):"
  diff "$work/so" "$work/dll" | grep '^[<>]' || true
  exit 1
fi
echo "exports of $dll and $so: the same $(wc -l <"$work/so") names"
