// Writing the benchmark tree to a file with each writer, in nodes per second:
// through the factory (a flush per line) beside the floor of as many lines of
// the same total size written with std::ofstream and std::endl, and with a
// single flush at the end beside pugixml's save_file on the same tree; the
// HTML page (always one flush) beside the XML writer's one-flush figure.
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <streambuf>
#include <string>

#include <pugixml.hpp>

#include "bench/BenchTree.h"
#include "bench/BenchUtil.h"
#include "tests/support/CountingBuf.h"

namespace {

const std::string& OutputPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / "genattr_write_bench.out").string();
  return path;
}

GenAttrBase* GenAttrTree() {
  static GenAttrBase* const tree = bench::BuildGenAttrTree(); // lives until exit
  return tree;
}

using genattr_test::CountingBuf;

template <class Writer> void WriteToStream(std::ostream& out, bool flushEachLine) {
  Writer writer(GenAttrTree(), &out);
  writer.SetFlushEachLine(flushEachLine);
  writer.Write();
}

// The floor of a writer that flushes every line: as many lines of the same
// total size as its document, each ended by std::endl.
template <class Writer> void Floor(benchmark::State& state) {
  CountingBuf counted;
  std::ostream sink(&counted);
  WriteToStream<Writer>(sink, false);
  const std::string line(counted.bytes / counted.lines - 1, 'x');
  for (auto _ : state) {
    std::ofstream out(OutputPath(), std::ios::out | std::ios::trunc);
    for (std::size_t i = 0; i < counted.lines; ++i) {
      out << line << std::endl;
    }
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void Check(benchmark::State& state, int status) {
  if (status != 0) {
    state.SkipWithError("write failed");
  }
}

void WriteText_genattr(benchmark::State& state) {
  GenAttrBase* tree = GenAttrTree(); // built before the clock runs
  for (auto _ : state) {
    Check(state, GenAttrSerializerFactory::WriteToTextFile(tree, OutputPath().c_str()));
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void WriteXml_genattr(benchmark::State& state) {
  GenAttrBase* tree = GenAttrTree();
  for (auto _ : state) {
    Check(state, GenAttrSerializerFactory::WriteToXmlFile(tree, OutputPath().c_str()));
  }
  bench::SetWork(state, bench::kTreeNodes);
}

// The HTML page through the factory (one flush at the end, as it writes it).
void WriteHtml_genattr(benchmark::State& state) {
  GenAttrBase* tree = GenAttrTree();
  for (auto _ : state) {
    Check(state, GenAttrSerializerFactory::WriteToHtmlFile(tree, OutputPath().c_str()));
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void WriteText_floor(benchmark::State& state) {
  Floor<GenAttrSTSerializer>(state);
}

void WriteXml_floor(benchmark::State& state) {
  Floor<GenAttrXMLSerializer>(state);
}

// The file opened and closed as the factory does, with one flush at the end.
template <class Writer> void WriteOnce(benchmark::State& state) {
  GenAttrTree(); // built before the clock runs
  for (auto _ : state) {
    std::ofstream out(OutputPath(), std::ios::out | std::ios::trunc);
    WriteToStream<Writer>(out, false);
    out.close();
    Check(state, out.fail() ? 2 : 0);
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void WriteTextOnce_genattr(benchmark::State& state) {
  WriteOnce<GenAttrSTSerializer>(state);
}

void WriteXmlOnce_genattr(benchmark::State& state) {
  WriteOnce<GenAttrXMLSerializer>(state);
}

void Save_pugixml(benchmark::State& state) {
  pugi::xml_document doc;
  bench::BuildPugiTree(doc);
  for (auto _ : state) {
    Check(state, doc.save_file(OutputPath().c_str()) ? 0 : 2);
  }
  bench::SetWork(state, bench::kTreeNodes);
}

BENCHMARK(WriteText_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteText_floor)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteXml_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteXml_floor)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteTextOnce_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteXmlOnce_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteHtml_genattr)->Unit(benchmark::kMillisecond);
BENCHMARK(Save_pugixml)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
