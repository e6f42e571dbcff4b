// UTF-16 -> UTF-8 and UTF-8 -> UTF-16 throughput of the conversion routines
// next to ICU's u_strToUTF8 / u_strFromUTF8, on four texts of a few MB. The
// figure is MB (10^6 bytes) of input per second; a table at the end puts
// both libraries side by side.
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unicode/ustring.h>

#include "text/Transcode.h"

namespace {

using genattr::detail::TranscodeOk;

constexpr std::size_t kCharacters = 2 * 1000 * 1000;

struct Texts {
  std::vector<char16_t> utf16;
  std::vector<unsigned char> utf8;
};

struct Input {
  const char* name;
  // Draws one code point.
  char32_t (*draw)(std::mt19937& random);
};

char32_t Between(std::mt19937& random, char32_t lo, char32_t hi) {
  return std::uniform_int_distribution<char32_t>(lo, hi)(random);
}

const Input kInputs[] = {
    // Printable ASCII.
    {"ASCII", [](std::mt19937& r) -> char32_t { return Between(r, 0x20, 0x7E); }},
    // The printable characters of ISO 8859-1, half of them ASCII.
    {"Latin-1",
     [](std::mt19937& r) -> char32_t {
       const char32_t c = Between(r, 0x20, 0x7E + 0x60);
       return c <= 0x7E ? c : c - 0x7F + 0xA0;
     }},
    // CJK unified ideographs.
    {"CJK", [](std::mt19937& r) -> char32_t { return Between(r, 0x4E00, 0x9FFF); }},
    // One character in five from the supplementary planes (emoji), the rest CJK.
    {"20% supplementary", [](std::mt19937& r) -> char32_t {
       return Between(r, 0, 4) == 0 ? Between(r, 0x1F300, 0x1F64F) : Between(r, 0x4E00, 0x9FFF);
     }}};

const Texts& TextsOf(const Input& input) {
  static std::map<const Input*, Texts> cache;
  auto found = cache.find(&input);
  if (found != cache.end())
    return found->second;
  std::mt19937 random(2024);
  std::vector<UChar32> codePoints(kCharacters);
  for (UChar32& c : codePoints)
    c = static_cast<UChar32>(input.draw(random));
  Texts texts;
  texts.utf16.resize(2 * kCharacters);
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF32(texts.utf16.data(), static_cast<int32_t>(texts.utf16.size()), &length,
                 codePoints.data(), static_cast<int32_t>(codePoints.size()), &error);
  texts.utf16.resize(static_cast<std::size_t>(length));
  texts.utf8.resize(4 * kCharacters);
  u_strToUTF8(reinterpret_cast<char*>(texts.utf8.data()), static_cast<int32_t>(texts.utf8.size()),
              &length, texts.utf16.data(), static_cast<int32_t>(texts.utf16.size()), &error);
  texts.utf8.resize(static_cast<std::size_t>(length));
  if (U_FAILURE(error))
    std::fprintf(stderr, "could not build the %s text: %s\n", input.name, u_errorName(error));
  return cache.emplace(&input, std::move(texts)).first->second;
}

void SetThroughput(benchmark::State& state, std::size_t inputBytes) {
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(inputBytes) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void GenattrUTF16ToUTF8(benchmark::State& state, const Input* input) {
  const Texts& texts = TextsOf(*input);
  std::vector<unsigned char> target(3 * texts.utf16.size());
  for (auto _ : state) {
    const char16_t* source = texts.utf16.data();
    unsigned char* cursor = target.data();
    const auto result = genattr::detail::TranscodeUTF16ToUTF8(
        &source, source + texts.utf16.size(), &cursor, target.data() + target.size(), 0);
    if (result != TranscodeOk || cursor - target.data() != static_cast<long>(texts.utf8.size()))
      state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(cursor);
    benchmark::ClobberMemory();
  }
  SetThroughput(state, 2 * texts.utf16.size());
}

void IcuUTF16ToUTF8(benchmark::State& state, const Input* input) {
  const Texts& texts = TextsOf(*input);
  std::vector<char> target(3 * texts.utf16.size());
  for (auto _ : state) {
    int32_t length = 0;
    UErrorCode error = U_ZERO_ERROR;
    u_strToUTF8(target.data(), static_cast<int32_t>(target.size()), &length, texts.utf16.data(),
                static_cast<int32_t>(texts.utf16.size()), &error);
    if (U_FAILURE(error) || length != static_cast<int32_t>(texts.utf8.size()))
      state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(length);
    benchmark::ClobberMemory();
  }
  SetThroughput(state, 2 * texts.utf16.size());
}

void GenattrUTF8ToUTF16(benchmark::State& state, const Input* input) {
  const Texts& texts = TextsOf(*input);
  std::vector<char16_t> target(texts.utf8.size());
  for (auto _ : state) {
    const unsigned char* source = texts.utf8.data();
    char16_t* cursor = target.data();
    const auto result = genattr::detail::TranscodeUTF8ToUTF16(
        &source, source + texts.utf8.size(), &cursor, target.data() + target.size(), 0);
    if (result != TranscodeOk || cursor - target.data() != static_cast<long>(texts.utf16.size()))
      state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(cursor);
    benchmark::ClobberMemory();
  }
  SetThroughput(state, texts.utf8.size());
}

void IcuUTF8ToUTF16(benchmark::State& state, const Input* input) {
  const Texts& texts = TextsOf(*input);
  std::vector<UChar> target(texts.utf8.size());
  for (auto _ : state) {
    int32_t length = 0;
    UErrorCode error = U_ZERO_ERROR;
    u_strFromUTF8(target.data(), static_cast<int32_t>(target.size()), &length,
                  reinterpret_cast<const char*>(texts.utf8.data()),
                  static_cast<int32_t>(texts.utf8.size()), &error);
    if (U_FAILURE(error) || length != static_cast<int32_t>(texts.utf16.size()))
      state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(length);
    benchmark::ClobberMemory();
  }
  SetThroughput(state, texts.utf8.size());
}

// Prints the usual lines, then one row per input and direction with both
// libraries' MB/s.
class SideBySideReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto counter = run.counters.find("MB/s");
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && counter != run.counters.end())
        mFigures[run.benchmark_name()] = counter->second.value;
    }
  }

  void PrintTable() const {
    std::printf("\n%-20s %-14s %12s %12s\n", "input", "direction", "genattr MB/s", "ICU MB/s");
    for (const Input& input : kInputs)
      for (const char* direction : {"UTF-16->UTF-8", "UTF-8->UTF-16"}) {
        const std::string row = std::string(direction) + "/" + input.name;
        std::printf("%-20s %-14s %12.0f %12.0f\n", input.name, direction, Figure(row + "/genattr"),
                    Figure(row + "/ICU"));
      }
  }

private:
  double Figure(const std::string& name) const {
    const auto found = mFigures.find(name);
    return found == mFigures.end() ? 0.0 : found->second;
  }
  std::map<std::string, double> mFigures;
};

} // namespace

int main(int argc, char** argv) {
  for (const Input& input : kInputs) {
    const std::string name = input.name;
    benchmark::RegisterBenchmark(("UTF-16->UTF-8/" + name + "/genattr").c_str(), GenattrUTF16ToUTF8,
                                 &input);
    benchmark::RegisterBenchmark(("UTF-16->UTF-8/" + name + "/ICU").c_str(), IcuUTF16ToUTF8,
                                 &input);
    benchmark::RegisterBenchmark(("UTF-8->UTF-16/" + name + "/genattr").c_str(), GenattrUTF8ToUTF16,
                                 &input);
    benchmark::RegisterBenchmark(("UTF-8->UTF-16/" + name + "/ICU").c_str(), IcuUTF8ToUTF16,
                                 &input);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  SideBySideReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable();
  benchmark::Shutdown();
  return 0;
}
