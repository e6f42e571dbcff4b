// Throughput of trees on threads: each thread builds the benchmark tree, deep
// copies it, writes the copy as XML (one flush) to a file of its own and
// frees both; one thread against two at once, in nodes per second of wall
// clock. The same work on plain C++ trees (std::string, vector and the C
// library's heap; one line of name and value per node) shows, in the same
// run, what two threads gain on this machine at the moment.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchTree.h"
#include "bench/BenchUtil.h"

namespace {

bool BuildCopyWriteFree(const std::string& path) {
  GenAttrBase* tree = bench::BuildGenAttrTree();
  auto* copy = new GenAttrCont(static_cast<const GenAttrCont*>(tree));
  std::ofstream out(path, std::ios::out | std::ios::trunc);
  GenAttrXMLSerializer writer(copy, &out);
  writer.SetFlushEachLine(false);
  writer.Write();
  out.close();
  GenAttrBase::Free(copy);
  GenAttrBase::Free(tree);
  return !out.fail();
}

void WritePlain(const bench::PlainNode& node, std::ofstream& out) {
  out << node.name << ' ' << node.value << '\n';
  for (const auto& child : node.children) {
    WritePlain(*child, out);
  }
}

bool BuildCopyWriteFreePlain(const std::string& path) {
  std::unique_ptr<bench::PlainNode> tree = bench::BuildPlainTree(false);
  auto copy = std::make_unique<bench::PlainNode>(*tree);
  std::ofstream out(path, std::ios::out | std::ios::trunc);
  WritePlain(*copy, out);
  out.close();
  copy.reset();
  tree.reset();
  return !out.fail();
}

template <bool (*Work)(const std::string&)> void Trees(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  std::vector<std::string> paths;
  for (int i = 0; i < threads; ++i) {
    paths.push_back(
        (std::filesystem::temp_directory_path() / ("genattr_thread_bench" + std::to_string(i)))
            .string());
  }
  for (auto _ : state) {
    std::vector<char> ok(static_cast<std::size_t>(threads), 0);
    std::vector<std::thread> running;
    for (int i = 0; i < threads; ++i) {
      running.emplace_back([&, i] { ok[i] = Work(paths[i]) ? 1 : 0; });
    }
    for (std::thread& thread : running) {
      thread.join();
    }
    for (char done : ok) {
      if (done == 0) {
        state.SkipWithError("write failed");
      }
    }
  }
  bench::SetWork(state, static_cast<double>(threads) * bench::kTreeNodes);
}

void Trees_genattr(benchmark::State& state) {
  Trees<BuildCopyWriteFree>(state);
}
void Trees_plain(benchmark::State& state) {
  Trees<BuildCopyWriteFreePlain>(state);
}

BENCHMARK(Trees_genattr)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Trees_plain)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
