#!/usr/bin/env bash
# Builds the benchmarks (preset "bench"), runs the whole suite and prints one
# table: genattr's figure, the peer's (pugixml, ICU, or the flush floor) and
# their ratio, with the target each ratio is held to. Times are CPU times.
# Extra arguments go to every benchmark binary, e.g. --benchmark_min_time=0.01
# for a quick check that everything still runs (seconds). A full run
# takes about two and a half minutes, and one more for the Python module's
# table (python/bench/per_node.py, then peak_memory.py) when the module was
# built.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench >/dev/null
cmake --build --preset bench

results=build/bench/results
mkdir -p "$results"
rm -f "$results"/*.csv
for suite in tree memory lookup write read transcode thread scale; do
  echo "== ${suite}_bench"
  "build/bench/bench/${suite}_bench" --benchmark_out="$results/$suite.csv" \
    --benchmark_out_format=csv "$@"
done

echo
echo "== genattr against its peers (ratio = genattr / peer; uptime: $(uptime | sed 's/.*load/load/'))"
awk -f bench/table.awk "$results"/*.csv

python=$(sed -n 's/^Python_EXECUTABLE:[A-Z]*=//p' build/bench/CMakeCache.txt)
if [ -d build/bench/python/genattr ] && [ -n "$python" ]; then
  echo
  echo "== the Python module beside ElementTree and lxml (python/bench/per_node.py)"
  PYTHONPATH=build/bench/python "$python" python/bench/per_node.py
  echo
  PYTHONPATH=build/bench/python "$python" python/bench/peak_memory.py
fi
