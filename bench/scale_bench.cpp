// The cost per node as the tree grows: the benchmark tree with leaves on
// level 6, 7 and 8 (1.1, 11.1 and 111.1 million nodes), built, searched to
// its last leaf and freed, each in a process of its own (forked), so that no
// size inherits the heap another left behind. Reports nanoseconds per node
// for each phase (processor time, and the system's part of building), the growth of the resident
// set per node and the page faults per node while building.
//
// Level 8 needs about 11 GB and a minute: it runs only when asked for with
// GENATTR_SCALE_MAX=8 in the environment.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "bench/BenchTree.h"
#include "bench/BenchUtil.h"

namespace {

struct ScaleFigures {
  double buildNs = 0;
  double findNs = 0;
  double freeNs = 0;
  double residentBytes = 0;
  double faults = 0;
  double buildSystemNs = 0;
};

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Processor time of the process, user and system, in seconds: a machine
// busy with other work slows the wall clock of each phase, not this.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double SystemSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
}

long NodesAt(int depth) {
  long level = 1;
  long nodes = 0;
  for (int i = 0; i <= depth; ++i) {
    nodes += level;
    level *= bench::kFanout;
  }
  return nodes;
}

// Times `build`, then `find` on what it built, then `free`, per node.
template <typename Build, typename Find, typename Free>
ScaleFigures Measure(int depth, Build build, Find find, Free free) {
  const auto perNode = static_cast<double>(NodesAt(depth));
  ScaleFigures figures;
  const long residentBefore = ResidentBytes();
  const long faultsBefore = MinorFaults();
  const double systemBefore = SystemSeconds();
  double start = CpuSeconds();
  auto tree = build(depth);
  figures.buildNs = (CpuSeconds() - start) * 1e9 / perNode;
  figures.buildSystemNs = (SystemSeconds() - systemBefore) * 1e9 / perNode;
  figures.residentBytes = static_cast<double>(ResidentBytes() - residentBefore) / perNode;
  figures.faults = static_cast<double>(MinorFaults() - faultsBefore) / perNode;

  start = CpuSeconds();
  if (!find(tree)) {
    std::abort();
  }
  figures.findNs = (CpuSeconds() - start) * 1e9 / perNode;

  start = CpuSeconds();
  free(tree);
  figures.freeNs = (CpuSeconds() - start) * 1e9 / perNode;
  return figures;
}

ScaleFigures MeasureGenAttr(int depth) {
  const int lastLeaf = static_cast<int>((NodesAt(depth) - NodesAt(depth - 1)) - 1);
  return Measure(
      depth, [](int levels) { return bench::BuildGenAttrTree(levels); },
      [&](GenAttrBase* root) {
        return root->FindIntegerAttr(bench::kLastLeafName, lastLeaf) != nullptr;
      },
      [](GenAttrBase* root) { GenAttrBase::Free(root); });
}

// The plain tree, searched the same way: the first node in pre-order with the
// last leaf's name and value.
bool FindPlain(const bench::PlainNode& node, const std::string& name, const std::string& value) {
  if (node.name == name && node.value == value) {
    return true;
  }
  for (const auto& child : node.children) {
    if (FindPlain(*child, name, value)) {
      return true;
    }
  }
  return false;
}

ScaleFigures MeasurePlain(int depth) {
  const std::string lastLeaf = std::to_string((NodesAt(depth) - NodesAt(depth - 1)) - 1);
  return Measure(
      depth, [](int levels) { return bench::BuildPlainTree(false, levels); },
      [&](const std::unique_ptr<bench::PlainNode>& root) {
        return FindPlain(*root, bench::kLastLeafName, lastLeaf);
      },
      [](std::unique_ptr<bench::PlainNode>& root) { root.reset(); });
}

void Scale(benchmark::State& state, ScaleFigures (*measure)(int)) {
  const int depth = static_cast<int>(state.range(0));
  const char* wanted = std::getenv("GENATTR_SCALE_MAX");
  if (depth > (wanted != nullptr ? std::atoi(wanted) : 7)) {
    state.SkipWithError("level 8 runs with GENATTR_SCALE_MAX=8");
    return;
  }
  ScaleFigures figures;
  for (auto _ : state) {
    int channel[2];
    if (pipe(channel) != 0) {
      state.SkipWithError("no pipe");
      return;
    }
    const pid_t child = fork();
    if (child == 0) {
      const ScaleFigures measured = measure(depth);
      const bool sent = write(channel[1], &measured, sizeof measured) == sizeof measured;
      _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    const bool received = child > 0 && read(channel[0], &figures, sizeof figures) == sizeof figures;
    close(channel[0]);
    int status = 0;
    if (child > 0) {
      waitpid(child, &status, 0);
    }
    if (!received) {
      state.SkipWithError("the measuring process failed");
      return;
    }
  }
  state.counters["build_ns"] = figures.buildNs;
  state.counters["find_ns"] = figures.findNs;
  state.counters["free_ns"] = figures.freeNs;
  state.counters["resident_bytes"] = figures.residentBytes;
  state.counters["faults"] = figures.faults;
  state.counters["build_system_ns"] = figures.buildSystemNs;
  state.counters["build_user_ns"] = figures.buildNs - figures.buildSystemNs;
}

void Scale_genattr(benchmark::State& state) {
  Scale(state, MeasureGenAttr);
}

// The same tree as a user would write it by hand (strings and vectors of
// owned children): the cost of its memory at each size, beside genattr's.
void Scale_plain(benchmark::State& state) {
  Scale(state, MeasurePlain);
}

BENCHMARK(Scale_genattr)->DenseRange(6, 8)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Scale_plain)->DenseRange(6, 8)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
