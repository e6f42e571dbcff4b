#!/usr/bin/env bash
# Lists every function (the lambdas it holds count as its lines) longer than a
# limit in the library, its components and their headers:
# tree/, base/, serialize/, capi/, xml/, cli/, python/. Tests, benchmarks,
# fuzz targets and examples may be longer. The lengths are clang's, from the
# syntax tree (clang-tidy's readability-function-size), not a count of braces.
# Fails when one is found.
# Usage: tools/long_functions.sh [build directory with compile_commands.json] [limit]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/dev}
limit=${2:-80}
dirs='tree|base|serialize|capi|xml|cli|python'

[ -f "$build/compile_commands.json" ] || {
  echo "no $build/compile_commands.json: configure that build first" >&2
  exit 2
}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# The translation units of those folders, as the build compiles them.
python3 - "$build/compile_commands.json" "$root" "$dirs" <<'EOF' |
import json, re, sys
commands, root, dirs = sys.argv[1], sys.argv[2], sys.argv[3]
pattern = re.compile("^" + re.escape(root) + "/(" + dirs + ")/[^/]+\\.(c|cpp)$")
files = sorted({e["file"] for e in json.load(open(commands)) if pattern.match(e["file"])})
print("\n".join(files))
EOF
  xargs -P 2 -n 4 "$tidy" -p "$build" --quiet \
    --checks='-*,readability-function-size' --warnings-as-errors='' \
    --config="{CheckOptions: [{key: readability-function-size.LineThreshold, value: $limit}]}" \
    --header-filter="^$root/($dirs)/" >"$log" 2>/dev/null || true

if grep -E ": error: " "$log" >&2; then
  echo "clang-tidy could not read the sources above" >&2
  exit 2
fi
# One line per function: where it starts, what it is and how long, from the
# note that follows each finding.
findings=$(awk -v root="$root/" '
  /exceeds recommended size\/complexity/ { sub(root, ""); where = $1; what = $0
    sub(/.*warning: /, "", what); sub(/ exceeds.*/, "", what); next }
  /note: [0-9]+ lines including/ && where != "" {
    match($0, /[0-9]+ lines/); print where " " what " (" substr($0, RSTART, RLENGTH) ")"; where = "" }
' "$log" | sort -u)
if [ -n "$findings" ]; then
  printf '%s\n' "$findings"
  echo "functions over $limit lines: $(printf '%s\n' "$findings" | wc -l)" >&2
  exit 1
fi
echo "no function over $limit lines in $(echo "$dirs" | tr '|' ' ')"
