// Conventions the run_all.sh table relies on. Internal to the benchmarks.
#ifndef GENATTR_BENCH_BENCHUTIL_H
#define GENATTR_BENCH_BENCHUTIL_H

#include <benchmark/benchmark.h>

namespace bench {

// Records how much one iteration does (appends, nodes, lines, megabytes); the
// table divides the CPU time per iteration by it, or it by that time.
inline void SetWork(benchmark::State& state, double work) {
  state.counters["work"] = benchmark::Counter(work);
}

} // namespace bench

#endif // GENATTR_BENCH_BENCHUTIL_H
