// Reading the benchmark tree's documents back: genattr_xml against pugixml's
// load_file of the same file, typed and plain. Building the tree is part of
// reading; releasing it is not.
#include <pugixml.hpp>

#include "bench/BenchDocuments.h"
#include "bench/BenchUtil.h"
#include "genattr/GenAttrXMLReader.h"

namespace {

void Read_genattr(benchmark::State& state, bool typed) {
  const char* path = bench::DocumentPath(typed).c_str();
  for (auto _ : state) {
    GenAttrReadError error;
    GenAttrBase* root = GenAttrXMLReader::ReadFile(path, &error);
    state.PauseTiming();
    if (root == nullptr) {
      state.SkipWithError(error.mMessage);
      break;
    }
    GenAttrBase::Free(root);
    state.ResumeTiming();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void Load_pugixml(benchmark::State& state, bool typed) {
  const char* path = bench::DocumentPath(typed).c_str();
  for (auto _ : state) {
    pugi::xml_document doc;
    if (!doc.load_file(path)) {
      state.SkipWithError("load_file failed");
      break;
    }
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void ReadTyped_genattr(benchmark::State& state) {
  Read_genattr(state, true);
}
void LoadTyped_pugixml(benchmark::State& state) {
  Load_pugixml(state, true);
}
void ReadPlain_genattr(benchmark::State& state) {
  Read_genattr(state, false);
}
void LoadPlain_pugixml(benchmark::State& state) {
  Load_pugixml(state, false);
}

BENCHMARK(ReadTyped_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadTyped_pugixml)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadPlain_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadPlain_pugixml)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
