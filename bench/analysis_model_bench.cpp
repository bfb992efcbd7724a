// Analysis-model benchmarks on a mesh of 1,000,000 two-node beams on
// 1,000,001 nodes, every element with section, material, eccentricity and
// transformation ids: first flush and reopen against raw SQLite doing the
// same rows (once each, and the best of five in turn), a 100-element change
// flushed, memory per element, and GetElement + SetSection against a plain
// loop over a vector of structs.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "tests/support/scratch_file.hpp"

using namespace Kestrum::Quilm::AnalysisModel;

namespace {

constexpr long kElements = 1000000;
const std::string kModelFile = Kestrum::Quilm::Testing::ScratchFilePath("analysis_model_bench");
const std::string kRawFile = Kestrum::Quilm::Testing::ScratchFilePath("analysis_model_bench_raw", ".db");

std::map<std::string, double> g_seconds;  // phase -> seconds, for the ratios printed at the end

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Ids {
  long section1, section2, material, eccentricity, transformation;
};

Ids BuildMesh(XafModel& m) {
  Ids ids;
  ids.section1 = m.Sections().AddSection(qlSection::IProfile(0.2, 0.2, 0.0065, 0.01), "HE200A", -1);
  ids.section2 = m.Sections().AddSection(qlSection::Pipe(0.3, 0.01), "CHS", -1);
  ids.material = m.Materials().AddMaterial(qlMaterial(2.1e11, 0.3, 7850), "S355", -1);
  ids.eccentricity = m.Eccentricities().AddEccentricity(vec3d(0, 0, 0.1), -1);
  ids.transformation = m.Transformations().AddTransformation(vec3d(0, 0, 1), -1);
  for (long n = 0; n <= kElements; ++n) m.Nodes().AddNode(pos3d(0.5 * n, 0, 0));
  auto& elements = m.Elements();
  for (long e = 1; e <= kElements; ++e) {
    elements.AddElement(qlElementType::Beam2(), {e, e + 1});
    auto x = elements.GetElement(e);
    x->SetSection(ids.section1);
    x->SetMaterial(ids.material);
    x->SetEccentricity(ids.eccentricity);
    x->SetTransformation(ids.transformation);
  }
  return ids;
}

// ---- raw SQLite: the same rows, prepared statements, one transaction ---------

void Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
}

void RawWrite(const Ids& ids) {
  Kestrum::Quilm::Testing::RemoveModelFiles(kRawFile);
  sqlite3* db = nullptr;
  sqlite3_open(kRawFile.c_str(), &db);
  Exec(db, "PRAGMA journal_mode = DELETE");
  Exec(db, "PRAGMA synchronous = NORMAL");
  Exec(db, "BEGIN IMMEDIATE");
  Exec(db,
       "CREATE TABLE nodes(id INTEGER PRIMARY KEY, position BLOB NOT NULL);"
       "CREATE TABLE elements(id INTEGER PRIMARY KEY, type INTEGER NOT NULL, n0 INTEGER, n1 INTEGER, n2 "
       "INTEGER,"
       " n3 INTEGER, section INTEGER, material INTEGER, eccentricity INTEGER, transformation INTEGER,"
       " fixation INTEGER, per_node BLOB);");
  sqlite3_stmt* node = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO nodes(id, position) VALUES(?, ?)", -1, &node, nullptr);
  for (long n = 1; n <= kElements + 1; ++n) {
    const double p[3] = {0.5 * (n - 1), 0, 0};
    sqlite3_bind_int64(node, 1, n);
    sqlite3_bind_blob(node, 2, p, sizeof p, SQLITE_TRANSIENT);
    sqlite3_step(node);
    sqlite3_reset(node);
  }
  sqlite3_finalize(node);
  sqlite3_stmt* element = nullptr;
  sqlite3_prepare_v2(
      db,
      "INSERT INTO elements(id, type, n0, n1, n2, n3, section, material, eccentricity,"
      " transformation, fixation, per_node) VALUES(?, ?, ?, ?, NULL, NULL, ?, ?, ?, ?, ?, NULL)",
      -1, &element, nullptr);
  for (long e = 1; e <= kElements; ++e) {
    sqlite3_bind_int64(element, 1, e);
    sqlite3_bind_int64(element, 2, 15);
    sqlite3_bind_int64(element, 3, e);
    sqlite3_bind_int64(element, 4, e + 1);
    sqlite3_bind_int64(element, 5, ids.section1);
    sqlite3_bind_int64(element, 6, ids.material);
    sqlite3_bind_int64(element, 7, ids.eccentricity);
    sqlite3_bind_int64(element, 8, ids.transformation);
    sqlite3_bind_int64(element, 9, 0);
    sqlite3_step(element);
    sqlite3_reset(element);
  }
  sqlite3_finalize(element);
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

struct RawElement {
  int type, n0, n1, section, material, eccentricity, transformation, fixation;
};

std::size_t RawRead() {
  sqlite3* db = nullptr;
  sqlite3_open_v2(kRawFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  Exec(db, "BEGIN");
  std::vector<pos3d> nodes;
  std::vector<RawElement> elements;
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "SELECT id, position FROM nodes ORDER BY id", -1, &s, nullptr);
  while (sqlite3_step(s) == SQLITE_ROW) {
    pos3d p;
    std::memcpy(&p, sqlite3_column_blob(s, 1), sizeof p);
    nodes.push_back(p);
  }
  sqlite3_finalize(s);
  sqlite3_prepare_v2(
      db,
      "SELECT id, type, n0, n1, n2, n3, section, material, eccentricity, transformation, fixation,"
      " per_node FROM elements",
      -1, &s, nullptr);
  while (sqlite3_step(s) == SQLITE_ROW) {
    elements.push_back(RawElement{sqlite3_column_int(s, 1), sqlite3_column_int(s, 2),
                                  sqlite3_column_int(s, 3), sqlite3_column_int(s, 6),
                                  sqlite3_column_int(s, 7), sqlite3_column_int(s, 8),
                                  sqlite3_column_int(s, 9), sqlite3_column_int(s, 10)});
  }
  sqlite3_finalize(s);
  Exec(db, "COMMIT");
  sqlite3_close(db);
  return nodes.size() + elements.size();
}

// ---- benchmarks ------------------------------------------------------------------

void BM_FirstFlush(benchmark::State& state) {
  for (auto _ : state) {
    Kestrum::Quilm::Testing::RemoveModelFiles(kModelFile);
    XafModel m(kModelFile, 1, 1, true);
    BuildMesh(m);
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    m.Flush();
    const double s = Seconds(start);
    state.SetIterationTime(s);
    g_seconds["first flush"] = s;
  }
}

void BM_RawWrite(benchmark::State& state) {
  for (auto _ : state) {
    Ids ids{1, 2, 1, 1, 1};
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    RawWrite(ids);
    const double s = Seconds(start);
    state.SetIterationTime(s);
    g_seconds["raw write"] = s;
  }
}

void BM_Reopen(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    XafModel m(kModelFile, 1, 1, false);
    const double s = Seconds(start);
    state.SetIterationTime(s);
    g_seconds["reopen"] = s;
    if (m.Elements().Count() != static_cast<std::size_t>(kElements))
      state.SkipWithError("wrong element count");
  }
}

void BM_RawRead(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const std::size_t rows = RawRead();
    const double s = Seconds(start);
    state.SetIterationTime(s);
    g_seconds["raw read"] = s;
    if (rows != static_cast<std::size_t>(2 * kElements + 1)) state.SkipWithError("wrong row count");
  }
}

// Reopen and the raw read in turn, five times each, keeping the best time
// of each: on a shared machine single runs vary by more than the margin the
// reopen is held to (1.1 times the raw read).
void BM_ReopenAgainstRawRead(benchmark::State& state) {
  for (auto _ : state) {
    double reopen = 1e9, raw = 1e9;
    for (int round = 0; round < 5; ++round) {
      {
        const auto start = std::chrono::steady_clock::now();
        XafModel m(kModelFile, 1, 1, false);
        reopen = std::min(reopen, Seconds(start));
      }
      const auto start = std::chrono::steady_clock::now();
      RawRead();
      raw = std::min(raw, Seconds(start));
    }
    state.SetIterationTime(reopen);
    g_seconds["best reopen"] = reopen;
    g_seconds["best raw read"] = raw;
  }
}

// Changes the section of 100 elements spread over the mesh, then flushes.
void BM_SmallChangeFlush(benchmark::State& state) {
  XafModel m(kModelFile, 1, 1, false);
  // Write back what earlier benchmarks left in the page cache, so that the
  // file system's journal commit in this flush's sync does not pay for it.
  ::sync();
  long round = 0;
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < 100; ++i)
      m.Elements().GetElement(1 + i * (kElements / 100))->SetSection(1 + round % 2);
    m.Flush();
    const double s = Seconds(start);
    state.SetIterationTime(s);
    total += s;
    ++round;
  }
  g_seconds["100-element flush"] = total / round;
}

void BM_MemoryPerElement(benchmark::State& state) {
  for (auto _ : state) {
    // Heap in use, counting the large blocks malloc maps directly (the
    // big vectors) as well as the small ones.
    auto inUse = [] {
      const auto info = mallinfo2();
      return info.uordblks + info.hblkhd;
    };
    const std::size_t before = inUse();
    auto m = std::make_unique<XafModel>(kModelFile + ".memory", 1, 1, true);
    BuildMesh(*m);
    const std::size_t after = inUse();
    state.counters["bytes_per_element"] = static_cast<double>(after - before) / kElements;
    g_seconds["bytes per element (not seconds)"] = static_cast<double>(after - before) / kElements;
    state.SetIterationTime(1);
  }
}

void BM_GetElementSetSection(benchmark::State& state) {
  XafModel m(kModelFile + ".loop", 1, 1, true);
  const Ids ids = BuildMesh(m);
  long round = 0;
  for (auto _ : state) {
    const long section = round++ % 2 ? ids.section1 : ids.section2;
    const auto start = std::chrono::steady_clock::now();
    auto& elements = m.Elements();
    for (long e = 1; e <= kElements; ++e) elements.GetElement(e)->SetSection(section);
    const double s = Seconds(start);
    state.SetIterationTime(s);
    g_seconds["GetElement+SetSection ns/element"] = s * 1e9 / kElements;
  }
  state.SetItemsProcessed(state.iterations() * kElements);
}

void BM_PlainVectorLoop(benchmark::State& state) {
  struct Row {
    int type, nodes[2], section, material, eccentricity, transformation, fixation;
  };
  std::vector<Row> rows(kElements, Row{15, {0, 0}, 1, 1, 1, 1, 0});
  long round = 0;
  for (auto _ : state) {
    const int section = static_cast<int>(round++ % 2 + 1);
    const auto start = std::chrono::steady_clock::now();
    for (Row& r : rows) {
      r.section = section;
      benchmark::ClobberMemory();
    }
    const double s = Seconds(start);
    state.SetIterationTime(s);
    g_seconds["plain loop ns/element"] = s * 1e9 / kElements;
  }
  state.SetItemsProcessed(state.iterations() * kElements);
}

}  // namespace

BENCHMARK(BM_FirstFlush)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWrite)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reopen)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRead)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReopenAgainstRawRead)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallChangeFlush)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryPerElement)->UseManualTime()->Iterations(1);
BENCHMARK(BM_GetElementSetSection)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainVectorLoop)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  auto ratio = [](const char* a, const char* b) {
    if (g_seconds.count(a) && g_seconds.count(b))
      std::printf("  %-40s %.3f\n", (std::string(a) + " / " + b).c_str(), g_seconds[a] / g_seconds[b]);
  };
  std::printf("\nSummary:\n");
  for (const auto& [k, v] : g_seconds) std::printf("  %-40s %.6g\n", k.c_str(), v);
  ratio("first flush", "raw write");
  ratio("reopen", "raw read");
  ratio("best reopen", "best raw read");
  ratio("100-element flush", "first flush");
  ratio("GetElement+SetSection ns/element", "plain loop ns/element");
  for (const std::string& f : {kModelFile, kRawFile, kModelFile + ".memory", kModelFile + ".loop"})
    Kestrum::Quilm::Testing::RemoveModelFiles(f);
  return 0;
}
