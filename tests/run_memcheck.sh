#!/usr/bin/env bash
# Runs the test suite of a build under valgrind memcheck and fails on any
# memory error and on any block definitely or indirectly lost. Blocks still
# reachable at exit (the process-wide objects that live until the end by
# design) are allowed.
#
#   tests/run_memcheck.sh <build-dir> [extra ctest arguments...]
#
# Meant for a Debug GCC build (the "dev" preset). Not run here:
#  - tests that only drive other programs (nm through sh, xmllint, the
#    screenshot that Chromium takes, the genattr command through cmake: label
#    genattr_command, which the sanitizer run covers) or mostly wait for them
#    (HtmlView.*, the page in Chromium: its writer is checked here by
#    HtmlWriter.*);
#  - AllocFailure.*: they replace the global allocation operators to make
#    them fail, and valgrind replaces those operators in turn;
#  - TranscodeAgainstIcu.Random*: millions of conversions on caller buffers
#    that allocate nothing, some 100 s each under valgrind;
#  - the lookups and writers on trees of 1,000,000 nodes (a million-level
#    chain or loop, a million children), and reading a million levels back:
#    35 to 260 s each under valgrind.
#    Building, copying and freeing such trees stays in (DeepChain.*).
#  - the Python module's tests (python.*): they run the interpreter, whose
#    allocator valgrind cannot follow without a build made for it; they
#    check their own counts and heap use.
#  - the corpus check (corpus.*): it reads through the Python module too.
# The sanitizer run covers all of them.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 <build-dir> [ctest arguments...]" >&2
  exit 2
fi
build=$1
shift
valgrind=$(command -v valgrind) || { echo "valgrind is not installed" >&2; exit 2; }
# Nodes and links then come from the heap one by one, so that memcheck sees
# each block alone (a use after free inside a pooled slab is invisible to it).
export GENATTR_NO_POOL=1

options="--leak-check=full --show-leak-kinds=definite,indirect"
options+=" --errors-for-leak-kinds=definite,indirect --error-exitcode=1 --num-callers=40"
options+=" --suppressions=$(cd "$(dirname "$0")" && pwd)/memcheck.supp"
excluded='^(capi\.exported_symbols|example_xml_wellformed|example_html_screenshot|HtmlView\..*|AllocFailure\..*'
excluded+='|TranscodeAgainstIcu\.Random.*|DeepTree\.MillionLevelChain|Scale\.Million.*'
excluded+='|(TextWriter|XmlWriter)\.WritesAMillionLevelChainWithoutRecursion'
excluded+='|ReaderHostile\.MillionLevels|python\..*|corpus\..*)$'

ctest --test-dir "$build" -T memcheck \
  --overwrite "MemoryCheckCommand=$valgrind" \
  --overwrite "MemoryCheckCommandOptions=$options" \
  -E "$excluded" -LE genattr_command \
  --output-on-failure -j "${GENATTR_MEMCHECK_JOBS:-2}" "$@"
