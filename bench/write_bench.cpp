// Writing a tree of 1,000,000 nodes to a file with each factory function, in
// nodes per second, beside the floor every line-flushing writer pays: as many
// lines written with std::ofstream and std::endl.
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "genattr/GenAttr.h"

namespace {

constexpr int kGroups = 1000;
constexpr int kPerGroup = 999; // with the groups and the root: 1,000,000 nodes
constexpr long kNodes = 1 + kGroups + static_cast<long>(kGroups) * kPerGroup;

// A realistic mix: containers with ids holding values of every kind.
GenAttrBase* MakeTree() {
  auto* root = new GenAttrCont("Root", "benchmark tree");
  root->SetId("R");
  for (int g = 0; g < kGroups; ++g) {
    auto* group = new GenAttrCont("Group");
    group->SetId(std::to_string(g).c_str());
    for (int i = 0; i < kPerGroup; ++i) {
      switch (i % 5) {
      case 0:
        group->AddAttr(new GenAttrString("Label", "a <short> text & more"));
        break;
      case 1:
        group->AddAttr(new GenAttrInt("Count", i));
        break;
      case 2:
        group->AddAttr(new GenAttrDouble("Mass", "kg", i * 0.25));
        break;
      case 3:
        group->AddAttr(new GenAttrUnicodeString("Title", L"Geh\u00E4use \u00D8 32"));
        break;
      default:
        group->AddAttr(new GenAttrFloat("Tolerance", 0.01f));
        break;
      }
    }
    root->AddAttr(group);
  }
  return root;
}

GenAttrBase* Tree() {
  static GenAttrBase* tree = MakeTree(); // lives until exit
  return tree;
}

const std::string kPath =
    (std::filesystem::temp_directory_path() / "genattr_write_bench.out").string();

void BM_WriteToTextFile(benchmark::State& state) {
  GenAttrBase* tree = Tree();
  for (auto _ : state) {
    if (GenAttrSerializerFactory::WriteToTextFile(tree, kPath.c_str()) != 0) {
      state.SkipWithError("write failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}

void BM_WriteToXmlFile(benchmark::State& state) {
  GenAttrBase* tree = Tree();
  for (auto _ : state) {
    if (GenAttrSerializerFactory::WriteToXmlFile(tree, kPath.c_str()) != 0) {
      state.SkipWithError("write failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}

void BM_OfstreamEndlFloor(benchmark::State& state) {
  const char* line = "    Name: Count               Value: 42  (Type: Int)";
  for (auto _ : state) {
    std::ofstream out(kPath);
    for (long i = 0; i < kNodes; ++i) {
      out << line << std::endl;
    }
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}

BENCHMARK(BM_OfstreamEndlFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteToTextFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteToXmlFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
