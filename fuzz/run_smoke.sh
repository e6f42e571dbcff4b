#!/usr/bin/env bash
# Runs every fuzz target of a build for a fixed time on a copy of its seed
# corpus and fails on any finding (a crash, a sanitizer report, a broken
# expectation, a leak, a timeout or running out of memory).
#
#   fuzz/run_smoke.sh <build-dir> <seconds-per-target> [<target>=<seconds>...]
#
# A target named after the time runs that long instead (the reader, whose
# faults have taken more than a minute to find, gets longer in CI).
#
# The build is the "fuzz" preset (cmake --preset fuzz && cmake --build --preset
# fuzz). A build without libFuzzer replays the seeds once instead. Inputs that
# fail are kept in <build-dir>/fuzz-findings/<target>/.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 <build-dir> <seconds-per-target> [<target>=<seconds>...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
default_seconds=$2
shift 2
declare -A target_seconds=()
for override in "$@"; do
  target_seconds[${override%%=*}]=${override#*=}
done
corpora="$(cd "$(dirname "$0")" && pwd)/corpus"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"

status=0
for seeds in "$corpora"/*/; do
  target=$(basename "$seeds")
  seconds=${target_seconds[$target]:-$default_seconds}
  binary="$build/fuzz/${target}_fuzzer"
  if [ ! -x "$binary" ]; then
    echo "== $target: no binary at $binary" >&2
    status=1
    continue
  fi
  findings="$build/fuzz-findings/$target"
  mkdir -p "$work/$target" "$findings"
  cp -R "$seeds". "$work/$target/"
  echo "== $target: ${seconds}s"
  # New inputs go to the copy; the committed seeds are only read.
  if "$binary" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$work/$target" "$seeds" \
      >"$work/$target.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^replayed' "$work/$target.log" || true
  else
    status=1
    echo "== $target: FINDING (inputs kept in $findings)" >&2
    tail -n 60 "$work/$target.log" >&2
  fi
done
exit $status
