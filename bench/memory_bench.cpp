// Heap bytes per node of the benchmark tree. Every block either library takes
// is counted by the size the allocator reserved for it (malloc_usable_size):
// genattr allocates through the global operator new (its pool's slabs
// through the aligned one), which this program replaces, and pugixml through the functions handed
// to it below.
#include <cstdlib>
#include <new>

#include <malloc.h>

#include <pugixml.hpp>

#include "bench/BenchDocuments.h"
#include "bench/BenchTree.h"
#include "bench/BenchUtil.h"
#include "genattr/GenAttrXMLReader.h"

namespace {

long long gLiveBytes = 0;
long long gPeakBytes = 0;

void* CountedMalloc(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) {
    gLiveBytes += static_cast<long long>(malloc_usable_size(block));
    if (gLiveBytes > gPeakBytes) {
      gPeakBytes = gLiveBytes;
    }
  }
  return block;
}

void CountedFree(void* block) {
  if (block != nullptr) {
    gLiveBytes -= static_cast<long long>(malloc_usable_size(block));
    std::free(block);
  }
}

void* CountedNew(std::size_t size) {
  if (void* block = CountedMalloc(size)) {
    return block;
  }
  throw std::bad_alloc();
}

void HeapPerNode_genattr(benchmark::State& state) {
  double perNode = 0;
  for (auto _ : state) {
    const long long before = gLiveBytes;
    GenAttrBase* root = bench::BuildGenAttrTree();
    perNode = static_cast<double>(gLiveBytes - before) / bench::kTreeNodes;
    GenAttrBase::Free(root);
  }
  state.counters["bytes_per_node"] = perNode;
  state.counters["bytes_over_tree"] = 0;
}

void HeapPerNode_pugixml(benchmark::State& state) {
  pugi::set_memory_management_functions(CountedMalloc, CountedFree);
  double perNode = 0;
  for (auto _ : state) {
    const long long before = gLiveBytes;
    {
      pugi::xml_document doc;
      bench::BuildPugiTree(doc);
      perNode = static_cast<double>(gLiveBytes - before) / bench::kTreeNodes;
    }
  }
  state.counters["bytes_per_node"] = perNode;
  state.counters["bytes_over_tree"] = 0;
}

// Reading the typed document: the highest heap in use while reading, and
// what the finished tree keeps, per node; bytes_over_tree is the difference,
// what reading needs besides the tree (expat allocates with malloc, outside this count:
// its input buffer and tag stack, a constant for a document of bounded depth).
void ReadHeapPeak_genattr(benchmark::State& state) {
  const char* path = bench::DocumentPath(true).c_str();
  double perNode = 0;
  double overTree = 0;
  for (auto _ : state) {
    const long long before = gLiveBytes;
    gPeakBytes = gLiveBytes;
    GenAttrBase* root = GenAttrXMLReader::ReadFile(path);
    perNode = static_cast<double>(gPeakBytes - before) / bench::kTreeNodes;
    overTree = static_cast<double>(gPeakBytes - gLiveBytes);
    GenAttrBase::Free(root);
  }
  state.counters["bytes_per_node"] = perNode;
  state.counters["bytes_over_tree"] = overTree;
}

void ReadHeapTree_genattr(benchmark::State& state) {
  const char* path = bench::DocumentPath(true).c_str();
  double perNode = 0;
  for (auto _ : state) {
    const long long before = gLiveBytes;
    GenAttrBase* root = GenAttrXMLReader::ReadFile(path);
    perNode = static_cast<double>(gLiveBytes - before) / bench::kTreeNodes;
    GenAttrBase::Free(root);
  }
  state.counters["bytes_per_node"] = perNode;
  state.counters["bytes_over_tree"] = 0;
}

BENCHMARK(HeapPerNode_genattr)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(HeapPerNode_pugixml)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadHeapPeak_genattr)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadHeapTree_genattr)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

void* operator new(std::size_t size) {
  return CountedNew(size);
}
void* operator new[](std::size_t size) {
  return CountedNew(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return CountedMalloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return CountedMalloc(size);
}
// genattr's pool takes its slabs aligned.
void* operator new(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  void* block = std::aligned_alloc(align, (size + align - 1) / align * align);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  gLiveBytes += static_cast<long long>(malloc_usable_size(block));
  return block;
}
void operator delete(void* block, std::align_val_t) noexcept {
  CountedFree(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  CountedFree(block);
}
void operator delete(void* block) noexcept {
  CountedFree(block);
}
void operator delete[](void* block) noexcept {
  CountedFree(block);
}
void operator delete(void* block, std::size_t) noexcept {
  CountedFree(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  CountedFree(block);
}

BENCHMARK_MAIN();
