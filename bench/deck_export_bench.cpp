// The ccx deck export of a large model against a floor: the same numbers,
// read back from the written deck, written raw with the same formatting
// (to_chars, 12 significant digits) through the same size of buffer. The
// model file comes from QUILM_DECK_BENCH_MODEL, e.g. the 1M-element frame:
//   frame_host --elements 1000000 --file big.qdb --quiet
//   QUILM_DECK_BENCH_MODEL=big.qdb deck_export_bench
// Peak memory is reported as counters: after opening the model (the model's
// own) and after the export.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "solver/ccx/ccx_export.hpp"

using namespace Kestrum::Quilm;

namespace {

const char* ModelFile() { return std::getenv("QUILM_DECK_BENCH_MODEL"); }
std::string DeckFile() { return std::string(ModelFile()) + ".bench.inp"; }
std::string RawFile() { return std::string(ModelFile()) + ".bench.raw"; }

double PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double g_modelPeak = 0.0;

void BM_ExportDeck(benchmark::State& state) {
  if (!ModelFile()) {
    state.SkipWithError("set QUILM_DECK_BENCH_MODEL to a model file");
    return;
  }
  AnalysisModel::XafModel model(ModelFile(), 0, 1, false);
  g_modelPeak = PeakMiB();
  Solver::ExportOptions options;
  options.allowEquivalentSections = true;
  for (auto _ : state) {
    std::ofstream out(DeckFile(), std::ios::binary);
    Solver::ExportCcxDeck(model, out, options);
  }
  state.counters["model_peak_MiB"] = g_modelPeak;
  state.counters["peak_MiB"] = PeakMiB();
  state.counters["peak_ratio"] = PeakMiB() / g_modelPeak;
}
BENCHMARK(BM_ExportDeck)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(1);

// A token of a data line: an integer, a number, or text kept as it is.
struct Token {
  enum Kind : char { Integer, Number, Text } kind;
  char separator;  // what follows: ',' for ", ", '\n' for a line end, 0 for nothing
  union {
    long integer;
    double number;
    std::uint32_t textIndex;
  };
};

// Splits the deck into tokens; lines that are not plain comma-separated
// numbers stay text.
void ReadTokens(const std::string& path, std::vector<Token>& tokens, std::vector<std::string>& texts) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::size_t at = 0;
    while (at <= line.size()) {
      std::size_t end = line.find(", ", at);
      const bool last = end == std::string::npos;
      if (last) end = line.size();
      const std::string_view field(line.data() + at, end - at);
      Token token{};
      token.separator = last ? '\n' : ',';
      const char* first = field.data();
      const char* stop = first + field.size();
      const bool isFloat = field.find_first_of(".eE") != std::string_view::npos;
      if (!isFloat && !field.empty() && std::from_chars(first, stop, token.integer).ptr == stop) {
        token.kind = Token::Integer;
      } else if (isFloat && std::from_chars(first, stop, token.number).ptr == stop) {
        token.kind = Token::Number;
      } else {
        token.kind = Token::Text;
        token.textIndex = static_cast<std::uint32_t>(texts.size());
        texts.emplace_back(field);
      }
      tokens.push_back(token);
      if (last) break;
      at = end + 2;
    }
  }
}

void BM_RawFloor(benchmark::State& state) {
  if (!ModelFile()) {
    state.SkipWithError("set QUILM_DECK_BENCH_MODEL to a model file");
    return;
  }
  std::vector<Token> tokens;
  std::vector<std::string> texts;
  ReadTokens(DeckFile(), tokens, texts);
  constexpr std::size_t kSize = 1 << 16;
  const auto buffer = std::make_unique<char[]>(kSize);
  for (auto _ : state) {
    std::FILE* file = std::fopen(RawFile().c_str(), "wb");
    std::size_t used = 0;
    for (const Token& token : tokens) {
      if (kSize - used < 64) {
        std::fwrite(buffer.get(), 1, used, file);
        used = 0;
      }
      char* at = buffer.get() + used;
      char* end = buffer.get() + kSize;
      if (token.kind == Token::Integer) {
        at = std::to_chars(at, end, token.integer).ptr;
      } else if (token.kind == Token::Number) {
        at = std::to_chars(at, end, token.number, std::chars_format::general, 12).ptr;
      } else {
        const std::string& text = texts[token.textIndex];
        if (text.size() > static_cast<std::size_t>(end - at) - 4) {
          std::fwrite(buffer.get(), 1, used, file);
          std::fwrite(text.data(), 1, text.size(), file);
          at = buffer.get();
        } else {
          at = static_cast<char*>(std::memcpy(at, text.data(), text.size())) + text.size();
        }
      }
      if (token.separator == ',') {
        *at++ = ',';
        *at++ = ' ';
      } else {
        *at++ = '\n';
      }
      used = static_cast<std::size_t>(at - buffer.get());
    }
    std::fwrite(buffer.get(), 1, used, file);
    std::fclose(file);
  }
  state.counters["tokens"] = static_cast<double>(tokens.size());
}
BENCHMARK(BM_RawFloor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
