// Cost of AddAttr as a container grows: the time per append should not
// depend on how many children the container already has.
#include <chrono>
#include <vector>

#include <benchmark/benchmark.h>

#include "genattr/GenAttrBase.h"

namespace {

// Appends state.range(0) prepared children to a fresh node, timing only the
// AddAttr calls; reports ns per append.
void BM_AddAttr(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<GenAttrBase*> children(count);
  for (GenAttrBase*& child : children) {
    child = new GenAttrBase("c");
    child->AddRef(); // kept alive across iterations
  }
  double totalNs = 0;
  for (auto _ : state) {
    auto* parent = new GenAttrBase("p");
    const auto start = std::chrono::steady_clock::now();
    for (GenAttrBase* child : children) {
      parent->AddAttr(child);
    }
    const auto stop = std::chrono::steady_clock::now();
    const double ns = std::chrono::duration<double, std::nano>(stop - start).count();
    state.SetIterationTime(ns * 1e-9);
    totalNs += ns;
    GenAttrBase::Free(parent);
  }
  state.counters["ns_per_append"] =
      totalNs / (static_cast<double>(count) * static_cast<double>(state.iterations()));
  for (GenAttrBase* child : children) {
    GenAttrBase::Free(child);
  }
}

BENCHMARK(BM_AddAttr)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
