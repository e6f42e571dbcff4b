// Lookups on the benchmark tree, for genattr and pugixml side by side, in
// time per node visited: the last child of 10,000 by name, the last int leaf
// by name and value, every descendant collected, and a path of six levels.
#include <cstring>
#include <vector>

#include <pugixml.hpp>

#include "bench/BenchTree.h"
#include "bench/BenchUtil.h"

namespace {

constexpr int kSiblings = 10000;

const char* LastSiblingName() {
  return bench::ChildName(kSiblings - 1);
}

GenAttrBase* GenAttrTree() {
  static GenAttrBase* const tree = bench::BuildGenAttrTree(); // lives until exit
  return tree;
}

const pugi::xml_document& PugiTree() {
  static const pugi::xml_document* const doc = [] {
    auto* made = new pugi::xml_document();
    bench::BuildPugiTree(*made);
    return made;
  }();
  return *doc;
}

void ChildByName_genattr(benchmark::State& state) {
  auto* parent = new GenAttrCont("parent");
  for (int i = 0; i < kSiblings; ++i) {
    parent->AddAttr(new GenAttrInt(bench::ChildName(i), i));
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(parent->GetAttr(LastSiblingName()));
  }
  GenAttrBase::Free(parent);
  bench::SetWork(state, kSiblings);
}

void ChildByName_pugixml(benchmark::State& state) {
  pugi::xml_document doc;
  pugi::xml_node parent = doc.append_child("parent");
  for (int i = 0; i < kSiblings; ++i) {
    parent.append_child(bench::ChildName(i)).append_attribute("value").set_value(i);
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(parent.child(LastSiblingName()));
  }
  bench::SetWork(state, kSiblings);
}

void FindInt_genattr(benchmark::State& state) {
  GenAttrBase* root = GenAttrTree();
  for (auto _ : state) {
    GenAttrBase* found = root->FindIntegerAttr(bench::kLastLeafName, bench::kLastIntLeaf);
    if (found == nullptr) {
      state.SkipWithError("last int leaf not found");
    }
    benchmark::DoNotOptimize(found);
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void FindInt_pugixml(benchmark::State& state) {
  pugi::xml_node root = PugiTree().document_element();
  for (auto _ : state) {
    pugi::xml_node found = root.find_node([](pugi::xml_node node) {
      return std::strcmp(node.name(), bench::kLastLeafName) == 0 &&
             node.attribute("value").as_int(-1) == bench::kLastIntLeaf;
    });
    if (!found) {
      state.SkipWithError("last int leaf not found");
    }
    benchmark::DoNotOptimize(found);
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void CollectAll_genattr(benchmark::State& state) {
  GenAttrBase* root = GenAttrTree();
  for (auto _ : state) {
    GenAttrList* all = root->GetAllAttr(nullptr, nullptr, GenAttrBase::RECURSIVE);
    benchmark::DoNotOptimize(all);
    GenAttrList::Free(all);
  }
  bench::SetWork(state, bench::kTreeNodes);
}

// The fastest walk pugixml offers: pre-order along the links, every element
// into a growing vector, as genattr's result list grows.
void CollectAll_pugixml(benchmark::State& state) {
  const pugi::xml_node root = PugiTree().document_element();
  for (auto _ : state) {
    std::vector<pugi::xml_node> all;
    for (pugi::xml_node node = root.first_child(); node;) {
      all.push_back(node);
      if (pugi::xml_node child = node.first_child()) {
        node = child;
        continue;
      }
      while (node != root && !node.next_sibling()) {
        node = node.parent();
      }
      if (node == root) {
        break;
      }
      node = node.next_sibling();
    }
    benchmark::DoNotOptimize(all.data());
  }
  bench::SetWork(state, bench::kTreeNodes);
}

// Six levels of ten names each to compare.
constexpr int kPathVisits = bench::kDepth * bench::kFanout;

void Path_genattr(benchmark::State& state) {
  GenAttrBase* root = GenAttrTree();
  for (auto _ : state) {
    benchmark::DoNotOptimize(root->GetAttrByPath(bench::kLastLeafPath));
  }
  bench::SetWork(state, kPathVisits);
}

void Path_pugixml(benchmark::State& state) {
  pugi::xml_node root = PugiTree().document_element();
  for (auto _ : state) {
    benchmark::DoNotOptimize(root.first_element_by_path(bench::kLastLeafPath));
  }
  bench::SetWork(state, kPathVisits);
}

BENCHMARK(ChildByName_genattr);
BENCHMARK(ChildByName_pugixml);
BENCHMARK(FindInt_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(FindInt_pugixml)->Unit(benchmark::kMillisecond);
BENCHMARK(CollectAll_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(CollectAll_pugixml)->Unit(benchmark::kMillisecond);
BENCHMARK(Path_genattr);
BENCHMARK(Path_pugixml);

} // namespace

BENCHMARK_MAIN();
