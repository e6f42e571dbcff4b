// UTF-16 to UTF-8 and back with the library's internal conversions, beside
// ICU's u_strToUTF8 / u_strFromUTF8 on the same texts, in MB of input per
// second. Each text holds two million characters of one mix.
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include <unicode/ustring.h>

#include "base/Transcode.h"
#include "bench/BenchUtil.h"

namespace {

using genattr::detail::TranscodeOk;
using genattr::detail::TranscodeStrict;

constexpr std::size_t kCharacters = std::size_t{1} << 21;

struct Text {
  const char* name;
  std::u16string utf16;
  std::string utf8;
};

void AppendUtf16(std::u16string& text, char32_t c) {
  if (c < 0x10000) {
    text.push_back(static_cast<char16_t>(c));
    return;
  }
  c -= 0x10000;
  text.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
  text.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
}

// The UTF-8 form is made by ICU, independently of the code measured.
std::string ToUtf8(const std::u16string& text) {
  std::string utf8(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8(&utf8[0], static_cast<int32_t>(utf8.size()), &length, text.data(),
              static_cast<int32_t>(text.size()), &error);
  utf8.resize(U_SUCCESS(error) ? static_cast<std::size_t>(length) : 0);
  return utf8;
}

template <class Draw> Text MakeText(const char* name, Draw draw) {
  std::mt19937 random(20240611);
  Text text{name, {}, {}};
  for (std::size_t i = 0; i < kCharacters; ++i) {
    AppendUtf16(text.utf16, draw(random));
  }
  text.utf8 = ToUtf8(text.utf16);
  return text;
}

char32_t Between(std::mt19937& random, char32_t first, char32_t last) {
  return std::uniform_int_distribution<char32_t>(first, last)(random);
}

const std::vector<Text>& Texts() {
  static const std::vector<Text> texts = [] {
    std::vector<Text> made;
    made.push_back(MakeText("ascii", [](std::mt19937& r) { return Between(r, 0x20, 0x7E); }));
    // The Latin-1 range beyond ASCII alone, and mixed half and half with
    // ASCII as in Western European text.
    made.push_back(MakeText("latin1", [](std::mt19937& r) { return Between(r, 0xA0, 0xFF); }));
    made.push_back(MakeText("latin1mixed", [](std::mt19937& r) {
      return Between(r, 0, 1) == 0 ? Between(r, 0x20, 0x7E) : Between(r, 0xA0, 0xFF);
    }));
    made.push_back(MakeText("cjk", [](std::mt19937& r) { return Between(r, 0x4E00, 0x9FFF); }));
    // One character in five beyond the BMP (pictographs), the rest ASCII or
    // the rest CJK.
    made.push_back(MakeText("supplementary20", [](std::mt19937& r) {
      return Between(r, 0, 4) == 0 ? Between(r, 0x1F300, 0x1FAFF) : Between(r, 0x20, 0x7E);
    }));
    made.push_back(MakeText("supplementary20cjk", [](std::mt19937& r) {
      return Between(r, 0, 4) == 0 ? Between(r, 0x1F300, 0x1FAFF) : Between(r, 0x4E00, 0x9FFF);
    }));
    return made;
  }();
  return texts;
}

void SetMegabytes(benchmark::State& state, std::size_t bytes) {
  bench::SetWork(state, static_cast<double>(bytes) / 1e6);
}

void Utf16To8_genattr(benchmark::State& state, const Text* text) {
  std::vector<unsigned char> out(text->utf16.size() * 3);
  for (auto _ : state) {
    const char16_t* source = text->utf16.data();
    unsigned char* target = out.data();
    if (genattr::detail::TranscodeUTF16ToUTF8(&source, source + text->utf16.size(), &target,
                                              out.data() + out.size(),
                                              TranscodeStrict) != TranscodeOk) {
      state.SkipWithError("conversion failed");
    }
    benchmark::DoNotOptimize(target);
  }
  SetMegabytes(state, text->utf16.size() * sizeof(char16_t));
}

void Utf16To8_icu(benchmark::State& state, const Text* text) {
  std::string out(text->utf16.size() * 3, '\0');
  for (auto _ : state) {
    int32_t length = 0;
    UErrorCode error = U_ZERO_ERROR;
    u_strToUTF8(&out[0], static_cast<int32_t>(out.size()), &length, text->utf16.data(),
                static_cast<int32_t>(text->utf16.size()), &error);
    if (U_FAILURE(error)) {
      state.SkipWithError("conversion failed");
    }
    benchmark::DoNotOptimize(length);
  }
  SetMegabytes(state, text->utf16.size() * sizeof(char16_t));
}

void Utf8To16_genattr(benchmark::State& state, const Text* text) {
  std::vector<char16_t> out(text->utf8.size());
  const auto* begin = reinterpret_cast<const unsigned char*>(text->utf8.data());
  for (auto _ : state) {
    const unsigned char* source = begin;
    char16_t* target = out.data();
    if (genattr::detail::TranscodeUTF8ToUTF16(&source, begin + text->utf8.size(), &target,
                                              out.data() + out.size(),
                                              TranscodeStrict) != TranscodeOk) {
      state.SkipWithError("conversion failed");
    }
    benchmark::DoNotOptimize(target);
  }
  SetMegabytes(state, text->utf8.size());
}

void Utf8To16_icu(benchmark::State& state, const Text* text) {
  std::vector<UChar> out(text->utf8.size());
  for (auto _ : state) {
    int32_t length = 0;
    UErrorCode error = U_ZERO_ERROR;
    u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &length, text->utf8.data(),
                  static_cast<int32_t>(text->utf8.size()), &error);
    if (U_FAILURE(error)) {
      state.SkipWithError("conversion failed");
    }
    benchmark::DoNotOptimize(length);
  }
  SetMegabytes(state, text->utf8.size());
}

} // namespace

int main(int argc, char** argv) {
  const struct {
    const char* name;
    void (*run)(benchmark::State&, const Text*);
  } directions[] = {{"Utf16To8_genattr", Utf16To8_genattr},
                    {"Utf16To8_icu", Utf16To8_icu},
                    {"Utf8To16_genattr", Utf8To16_genattr},
                    {"Utf8To16_icu", Utf8To16_icu}};
  for (const Text& text : Texts()) {
    for (const auto& direction : directions) {
      benchmark::RegisterBenchmark((std::string(direction.name) + "/" + text.name).c_str(),
                                   direction.run, &text)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
