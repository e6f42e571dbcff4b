#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over every translation unit of
# every target (library, tests, fuzz targets, benchmarks, examples) and the
# project's headers they include. The compile commands come from the `tidy`
# preset (the default compiler, fuzz targets and benchmarks on), which is only
# configured, not built. Fails on any warning.
# Usage: tools/run_clang_tidy.sh [jobs]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${1:-2}

cmake --preset tidy >/dev/null
runner=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
"$runner" -p build/tidy -j "$jobs" -quiet \
  -header-filter="^$root/(include|tree|base|serialize|capi|xml|cli|tests|fuzz|bench|examples|python)/" \
  >"$log" 2>&1 || status=$?
# Keep the findings, drop the command lines and the per-file tallies.
grep -v -E '^(clang-tidy|[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.|Suppressed [0-9]+ warnings|Use -header-filter|Use -system-headers)' \
  "$log" || true
if [ "$status" -ne 0 ]; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: no findings in $(grep -c '"file"' build/tidy/compile_commands.json) translation units"
