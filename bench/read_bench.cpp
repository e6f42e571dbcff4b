// Reading the benchmark tree's documents back: genattr_xml against pugixml's
// load_file of the same file, typed and plain, and against expat parsing the
// file alone with handlers that do nothing (the floor under genattr_xml).
// Building the tree is part of reading; releasing it is not.
#include <cstdio>

#include <expat.h>
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

void XMLCALL IgnoreStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL IgnoreEnd(void*, const XML_Char*) {}
void XMLCALL IgnoreText(void*, const XML_Char*, int) {}

// What the reader does besides building: the file in 64 KiB pieces into
// expat, as the reader hands it over, with the handlers any reader needs
// (start tags, end tags, character data) set for the whole parse. The
// reader's other handlers answer declarations only; the one for character
// data it sets only while it keeps text, which is its own saving.
void Parse_expat(benchmark::State& state, bool typed) {
  const char* path = bench::DocumentPath(typed).c_str();
  constexpr int chunk = 1 << 16;
  for (auto _ : state) {
    std::FILE* file = std::fopen(path, "rb");
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, IgnoreStart, IgnoreEnd);
    XML_SetCharacterDataHandler(parser, IgnoreText);
    bool ok = file != nullptr;
    for (bool last = false; ok && !last;) {
      void* buffer = XML_GetBuffer(parser, chunk);
      const std::size_t got = std::fread(buffer, 1, chunk, file);
      last = got < static_cast<std::size_t>(chunk);
      ok = XML_ParseBuffer(parser, static_cast<int>(got), last) == XML_STATUS_OK;
    }
    XML_ParserFree(parser);
    if (file != nullptr) {
      std::fclose(file);
    }
    if (!ok) {
      state.SkipWithError("expat failed");
      break;
    }
  }
  bench::SetWork(state, bench::kTreeNodes);
}

void ParseTyped_expat(benchmark::State& state) {
  Parse_expat(state, true);
}
void ParsePlain_expat(benchmark::State& state) {
  Parse_expat(state, false);
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
BENCHMARK(ParseTyped_expat)->Unit(benchmark::kMillisecond);
BENCHMARK(ParsePlain_expat)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
