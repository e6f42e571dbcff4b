// Speed of the lookups, per node visited.
#include <string>

#include <benchmark/benchmark.h>

#include "genattr/GenAttr.h"

namespace {

constexpr int branches = 1000;
constexpr int leavesPerBranch = 999;
// Every node below the root: the branches and their leaves.
constexpr double treeNodes = branches + branches * leavesPerBranch;

// A root with 1000 containers of 999 Int leaves each: 1,000,000 nodes.
GenAttrCont* WideTree() {
  GenAttrCont* root = new GenAttrCont("root");
  for (int b = 0; b < branches; ++b) {
    GenAttrCont* branch = new GenAttrCont("branch");
    root->AddAttrAtTop(branch);
    for (int l = 0; l < leavesPerBranch; ++l) {
      branch->AddAttrAtTop(new GenAttrInt("leaf", l));
    }
  }
  return root;
}

void PerNode(benchmark::State& state, double nodesPerIteration) {
  state.counters["time/node"] =
      benchmark::Counter(nodesPerIteration, benchmark::Counter::kIsIterationInvariantRate |
                                                benchmark::Counter::kInvert);
}

void FindIntegerMiss(benchmark::State& state) {
  GenAttrCont* root = WideTree();
  for (auto _ : state) {
    benchmark::DoNotOptimize(root->FindIntegerAttr("leaf", -1));
  }
  PerNode(state, treeNodes);
  GenAttrBase::Free(root);
}
BENCHMARK(FindIntegerMiss)->Unit(benchmark::kMillisecond);

void GetAllAttrByName(benchmark::State& state) {
  GenAttrCont* root = WideTree();
  for (auto _ : state) {
    GenAttrList* list = root->GetAllAttr("branch", nullptr, GenAttrBase::RECURSIVE);
    benchmark::DoNotOptimize(list);
    GenAttrList::Free(list);
  }
  PerNode(state, treeNodes);
  GenAttrBase::Free(root);
}
BENCHMARK(GetAllAttrByName)->Unit(benchmark::kMillisecond);

void GetAllAttrEverything(benchmark::State& state) {
  GenAttrCont* root = WideTree();
  for (auto _ : state) {
    GenAttrList* list = root->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE);
    benchmark::DoNotOptimize(list);
    GenAttrList::Free(list);
  }
  PerNode(state, treeNodes);
  GenAttrBase::Free(root);
}
BENCHMARK(GetAllAttrEverything)->Unit(benchmark::kMillisecond);

void GetAllAttrByValue(benchmark::State& state) {
  GenAttrCont* root = WideTree();
  for (auto _ : state) {
    GenAttrList* list = root->GetAllAttr("leaf", "7", GenAttrBase::RECURSIVE);
    benchmark::DoNotOptimize(list);
    GenAttrList::Free(list);
  }
  PerNode(state, treeNodes);
  GenAttrBase::Free(root);
}
BENCHMARK(GetAllAttrByValue)->Unit(benchmark::kMillisecond);

// Six levels of ten children "c0" to "c9"; the path takes the last child at
// every level, so each level compares ten names.
void GetAttrByPathSixLevels(benchmark::State& state) {
  constexpr int levels = 6;
  constexpr int fanOut = 10;
  GenAttrCont* root = new GenAttrCont("root");
  GenAttrBase* parent = root;
  for (int level = 0; level < levels; ++level) {
    GenAttrBase* last = nullptr;
    for (int c = 0; c < fanOut; ++c) {
      last = new GenAttrCont(("c" + std::to_string(c)).c_str());
      parent->AddAttr(last);
    }
    parent = last;
  }
  const char* path = "c9/c9/c9/c9/c9/c9";
  for (auto _ : state) {
    benchmark::DoNotOptimize(root->GetAttrByPath(path));
  }
  PerNode(state, levels * fanOut);
  GenAttrBase::Free(root);
}
BENCHMARK(GetAttrByPathSixLevels);

} // namespace

BENCHMARK_MAIN();
