// Building, copying and destroying trees: appends to one wide parent, and the
// whole benchmark tree, for genattr and pugixml side by side.
#include <memory>
#include <vector>

#include <pugixml.hpp>

#include "bench/BenchTree.h"
#include "bench/BenchUtil.h"

namespace {

// --- N named int children appended to one parent ---------------------------

void Append_genattr(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto* parent = new GenAttrCont("parent");
    for (int i = 0; i < count; ++i) {
      parent->AddAttr(new GenAttrInt("item", i));
    }
    state.PauseTiming();
    GenAttrBase::Free(parent);
    state.ResumeTiming();
  }
  bench::SetWork(state, count);
}

void Append_pugixml(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  pugi::xml_document doc;
  for (auto _ : state) {
    pugi::xml_node parent = doc.append_child("parent");
    for (int i = 0; i < count; ++i) {
      parent.append_child("item").append_attribute("value").set_value(i);
    }
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  bench::SetWork(state, count);
}

// AddAttr() alone, with the children made beforehand and kept across
// iterations: the link itself must cost the same at every width.
void AddAttr_genattr(benchmark::State& state) {
  std::vector<GenAttrBase*> children(static_cast<std::size_t>(state.range(0)));
  for (GenAttrBase*& child : children) {
    child = new GenAttrInt("item", 1);
    child->AddRef(); // kept alive when the parent goes
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto* parent = new GenAttrCont("parent");
    state.ResumeTiming();
    for (GenAttrBase* child : children) {
      parent->AddAttr(child);
    }
    state.PauseTiming();
    GenAttrBase::Free(parent);
    state.ResumeTiming();
  }
  for (GenAttrBase* child : children) {
    GenAttrBase::Free(child);
  }
  bench::SetWork(state, static_cast<double>(children.size()));
}

// AddAttr() to a parent whose child count is kept (GetNumberChildren() was
// asked once it had enough children): the count's share of an append.
void AddAttrCounted_genattr(benchmark::State& state) {
  std::vector<GenAttrBase*> children(static_cast<std::size_t>(state.range(0)));
  for (GenAttrBase*& child : children) {
    child = new GenAttrInt("item", 1);
    child->AddRef();
  }
  const std::size_t head = 64;
  for (auto _ : state) {
    state.PauseTiming();
    auto* parent = new GenAttrCont("parent");
    for (std::size_t i = 0; i < head; ++i) {
      parent->AddAttr(children[i]);
    }
    benchmark::DoNotOptimize(parent->GetNumberChildren());
    state.ResumeTiming();
    for (std::size_t i = head; i < children.size(); ++i) {
      parent->AddAttr(children[i]);
    }
    state.PauseTiming();
    GenAttrBase::Free(parent);
    state.ResumeTiming();
  }
  for (GenAttrBase* child : children) {
    GenAttrBase::Free(child);
  }
  bench::SetWork(state, static_cast<double>(children.size() - head));
}

BENCHMARK(Append_genattr)->RangeMultiplier(10)->Range(1000, 1000000);
BENCHMARK(AddAttr_genattr)->RangeMultiplier(10)->Range(1000, 1000000);
BENCHMARK(AddAttrCounted_genattr)->RangeMultiplier(10)->Range(1000, 1000000);
BENCHMARK(Append_pugixml)->RangeMultiplier(10)->Range(1000, 1000000);

// --- the tree of 1,111,111 nodes --------------------------------------------

void TreeBuild_genattr(benchmark::State& state) {
  for (auto _ : state) {
    GenAttrBase* root = bench::BuildGenAttrTree();
    state.PauseTiming();
    GenAttrBase::Free(root);
    state.ResumeTiming();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void TreeBuild_pugixml(benchmark::State& state) {
  pugi::xml_document doc;
  for (auto _ : state) {
    bench::BuildPugiTree(doc);
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void TreeCopy_genattr(benchmark::State& state) {
  auto* root = static_cast<GenAttrCont*>(bench::BuildGenAttrTree());
  for (auto _ : state) {
    auto* copy = new GenAttrCont(static_cast<const GenAttrCont*>(root));
    state.PauseTiming();
    GenAttrBase::Free(copy);
    state.ResumeTiming();
  }
  GenAttrBase::Free(root);
  bench::SetWork(state, bench::kTreeNodes);
}

void TreeCopy_pugixml(benchmark::State& state) {
  pugi::xml_document doc;
  bench::BuildPugiTree(doc);
  pugi::xml_document copy;
  for (auto _ : state) {
    copy.append_copy(doc.document_element());
    state.PauseTiming();
    copy.reset();
    state.ResumeTiming();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

// Times freeing a genattr tree built (untimed) right before.
void DestroyGenAttr(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    GenAttrBase* root = bench::BuildGenAttrTree();
    state.ResumeTiming();
    GenAttrBase::Free(root);
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void TreeDestroy_genattr(benchmark::State& state) {
  DestroyGenAttr(state);
}

void TreeDestroy_pugixml(benchmark::State& state) {
  pugi::xml_document doc;
  for (auto _ : state) {
    state.PauseTiming();
    bench::BuildPugiTree(doc);
    state.ResumeTiming();
    doc.reset();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void TreeBuild_plain(benchmark::State& state) {
  for (auto _ : state) {
    auto root = bench::BuildPlainTree();
    state.PauseTiming();
    root.reset();
    state.ResumeTiming();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void TreeCopy_plain(benchmark::State& state) {
  const auto root = bench::BuildPlainTree();
  for (auto _ : state) {
    auto copy = std::make_unique<bench::PlainNode>(*root);
    state.PauseTiming();
    copy.reset();
    state.ResumeTiming();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

// Times freeing a plain tree built (untimed) right before, its child lists
// reserved or grown as they come.
void DestroyPlain(benchmark::State& state, bool reserve) {
  for (auto _ : state) {
    state.PauseTiming();
    auto root = bench::BuildPlainTree(reserve);
    state.ResumeTiming();
    root.reset();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void TreeDestroy_plain(benchmark::State& state) {
  DestroyPlain(state, true);
}

// The second setting: other trees live in the process (a genattr tree and a
// plain one, so that neither heap starts empty), and the plain tree grows its
// child lists as it goes, without reserve, as a user's tree would.
struct OtherTrees {
  GenAttrBase* genattr = bench::BuildGenAttrTree();
  std::unique_ptr<bench::PlainNode> plain = bench::BuildPlainTree(false);
  OtherTrees() = default;
  OtherTrees(const OtherTrees&) = delete;
  OtherTrees& operator=(const OtherTrees&) = delete;
  ~OtherTrees() { GenAttrBase::Free(genattr); }
};

void TreeDestroyAmongOthers_genattr(benchmark::State& state) {
  const OtherTrees others;
  DestroyGenAttr(state);
}

void TreeDestroyAmongOthers_plain(benchmark::State& state) {
  const OtherTrees others;
  DestroyPlain(state, false);
}

BENCHMARK(TreeBuild_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeBuild_pugixml)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeCopy_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeCopy_pugixml)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeDestroy_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeDestroy_pugixml)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeBuild_plain)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeCopy_plain)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeDestroy_plain)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeDestroyAmongOthers_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(TreeDestroyAmongOthers_plain)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
