// Stored-result benchmarks on a model of 100,000 elements (50,000 four-node
// shells on a 251 x 201 node grid and 50,000 two-node beams along its x
// lines) with one solve's results: every node's motion, the reactions of
// one supported edge, every beam's end forces and every shell's stresses.
// Storing them (AddAnalysis, SetArray, Flush) is set against raw SQLite
// writing the same rows with prepared statements into a copy of the same
// file; reading them back (open + GetArray, less the open of the model
// without results) against a raw read of the same rows into arrays.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "tests/support/scratch_file.hpp"

using namespace Kestrum::Quilm::AnalysisModel;
using Kestrum::Quilm::Testing::RemoveModelFiles;
using Kestrum::Quilm::Testing::ScratchFilePath;

namespace {

constexpr long kNx = 251, kNy = 201;  // grid nodes
const std::string kMeshFile = ScratchFilePath("results_bench_mesh");
const std::string kStoredFile = ScratchFilePath("results_bench_stored");
const std::string kRawFile = ScratchFilePath("results_bench_raw", ".db");

std::map<std::string, double> g_seconds;  // phase -> fastest seconds, for the ratios printed at the end

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Record(benchmark::State& state, const char* phase, double s) {
  state.SetIterationTime(s);
  auto it = g_seconds.find(phase);
  if (it == g_seconds.end() || s < it->second) g_seconds[phase] = s;
}

long NodeAt(long i, long j) { return 1 + j * kNx + i; }

// The mesh, flushed once into kMeshFile; returns the beam and shell ids.
void BuildMeshFile(std::vector<long>& beams, std::vector<long>& shells) {
  RemoveModelFiles(kMeshFile);
  XafModel m(kMeshFile, 1, 1, true);
  for (long j = 0; j < kNy; ++j)
    for (long i = 0; i < kNx; ++i) m.Nodes().AddNode(pos3d(0.5 * i, 0.5 * j, 0));
  for (long j = 0; j + 1 < kNy; ++j)
    for (long i = 0; i + 1 < kNx; ++i) {
      shells.push_back(m.Elements().AddElement(
          qlElementType::Shell4(), {NodeAt(i, j), NodeAt(i + 1, j), NodeAt(i + 1, j + 1), NodeAt(i, j + 1)}));
      beams.push_back(m.Elements().AddElement(qlElementType::Beam2(), {NodeAt(i, j), NodeAt(i + 1, j)}));
    }
  for (long i = 0; i < kNx; ++i) m.NodeProperties().SetBoundaryCondition(NodeAt(i, 0), Hinge());
  m.Flush();
}

// One solve's results, as a solver bridge hands them over.
struct Solve {
  ResultArray motion, reactions, beamForces, shellStress;
  std::size_t Rows() const {
    return motion.Size() + reactions.Size() + beamForces.Size() + shellStress.Size();
  }
};

Solve MakeSolve(const std::vector<long>& beams, const std::vector<long>& shells) {
  Solve s;
  double v[12];
  for (long n = 1; n <= kNx * kNy; ++n) {
    for (int k = 0; k < 6; ++k) v[k] = 1e-3 * n + k;
    s.motion.Append(n, v, 6);
  }
  for (long i = 0; i < kNx; ++i) {
    for (int k = 0; k < 6; ++k) v[k] = 1e3 * i - k;
    s.reactions.Append(NodeAt(i, 0), v, 6);
  }
  for (long e : beams) {
    for (int k = 0; k < 12; ++k) v[k] = 0.5 * e + k;
    s.beamForces.Append(e, v, 12);
  }
  for (long e : shells) {
    for (int k = 0; k < 3; ++k) v[k] = 1e6 + e + k;
    s.shellStress.Append(e, v, 3);
  }
  return s;
}

const Solve& TheSolve() {
  static const Solve solve = [] {
    std::vector<long> beams, shells;
    BuildMeshFile(beams, shells);
    return MakeSolve(beams, shells);
  }();
  return solve;
}

void CopyMeshTo(const std::string& target) {
  RemoveModelFiles(target);
  std::filesystem::copy_file(kMeshFile, target, std::filesystem::copy_options::overwrite_existing);
}

// ---- raw SQLite: the same rows, prepared statements, one transaction -----------

void Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
}

void RawInsert(sqlite3_stmt* put, int quantity, const ResultArray& t) {
  for (std::size_t i = 0; i < t.ids.size(); ++i) {
    sqlite3_bind_int64(put, 1, 1);
    sqlite3_bind_int64(put, 2, quantity);
    sqlite3_bind_int64(put, 3, t.ids[i]);
    sqlite3_bind_blob(put, 4, t.values.data() + t.offsets[i],
                      (t.offsets[i + 1] - t.offsets[i]) * sizeof(double), SQLITE_STATIC);
    sqlite3_step(put);
    sqlite3_reset(put);
  }
}

void RawStore(sqlite3* db, const Solve& s) {
  Exec(db, "BEGIN IMMEDIATE");
  Exec(db,
       "CREATE TABLE result_analyses(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, number INTEGER NOT NULL,"
       " name TEXT NOT NULL, value BLOB NOT NULL, fingerprint INTEGER NOT NULL, stale INTEGER NOT NULL);"
       "CREATE TABLE result_values(analysis INTEGER NOT NULL, quantity INTEGER NOT NULL, entity INTEGER NOT "
       "NULL,"
       " vals BLOB NOT NULL, PRIMARY KEY(analysis, quantity, entity)) WITHOUT ROWID;"
       "INSERT INTO result_analyses VALUES(1, 1, 1, 'Dead', x'0000000000000000', 0, 0)");
  sqlite3_stmt* put = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO result_values(analysis, quantity, entity, vals) VALUES(?, ?, ?, ?)", -1,
                     &put, nullptr);
  RawInsert(put, 1, s.motion);
  RawInsert(put, 2, s.reactions);
  RawInsert(put, 3, s.beamForces);
  RawInsert(put, 4, s.shellStress);
  sqlite3_finalize(put);
  Exec(db, "COMMIT");
}

std::size_t RawRead(const std::string& file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  Exec(db, "BEGIN");
  ResultArray tables[4];
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(
      db, "SELECT analysis, quantity, entity, vals FROM result_values ORDER BY analysis, quantity, entity",
      -1, &s, nullptr);
  while (sqlite3_step(s) == SQLITE_ROW) {
    ResultArray& t = tables[sqlite3_column_int(s, 1) - 1];
    const int bytes = sqlite3_column_bytes(s, 3);
    t.ids.push_back(static_cast<std::int32_t>(sqlite3_column_int64(s, 2)));
    const std::size_t at = t.values.size();
    t.values.resize(at + bytes / sizeof(double));
    std::memcpy(t.values.data() + at, sqlite3_column_blob(s, 3), bytes);
    t.offsets.push_back(static_cast<std::uint32_t>(t.values.size()));
  }
  sqlite3_finalize(s);
  Exec(db, "COMMIT");
  sqlite3_close(db);
  std::size_t rows = 0;
  for (const ResultArray& t : tables) rows += t.Size();
  return rows;
}

// ---- benchmarks -----------------------------------------------------------------

void BM_StoreResults(benchmark::State& state) {
  const Solve& solve = TheSolve();
  for (auto _ : state) {
    CopyMeshTo(kStoredFile);
    XafModel m(kStoredFile, 1, 1, false);
    const auto fingerprintStart = std::chrono::steady_clock::now();
    const std::uint64_t fingerprint = m.Results().GetModelFingerprint();
    g_seconds["fingerprint (not in store)"] = Seconds(fingerprintStart);
    Solve copy = solve;
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    auto& r = m.Results();
    const long a = r.AddAnalysis(AnalysisKind::LoadCase, 1, "Dead", 0.0, fingerprint);
    r.SetArray(a, ResultQuantity::NodeMotion, std::move(copy.motion));
    r.SetArray(a, ResultQuantity::NodeReaction, std::move(copy.reactions));
    r.SetArray(a, ResultQuantity::BeamForces, std::move(copy.beamForces));
    r.SetArray(a, ResultQuantity::ShellStress, std::move(copy.shellStress));
    m.Flush();
    Record(state, "store", Seconds(start));
  }
}

void BM_RawStore(benchmark::State& state) {
  const Solve& solve = TheSolve();
  for (auto _ : state) {
    CopyMeshTo(kRawFile);
    sqlite3* db = nullptr;
    sqlite3_open(kRawFile.c_str(), &db);
    Exec(db, "PRAGMA journal_mode = DELETE");
    Exec(db, "PRAGMA synchronous = NORMAL");
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    RawStore(db, solve);
    Record(state, "raw store", Seconds(start));
    sqlite3_close(db);
  }
}

void BM_OpenWithoutResults(benchmark::State& state) {
  TheSolve();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    XafModel m(kMeshFile, 0, 1, false);
    Record(state, "open without results", Seconds(start));
  }
}

void BM_OpenAndReadArrays(benchmark::State& state) {
  const std::size_t rows = TheSolve().Rows();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    XafModel m(kStoredFile, 0, 1, false);
    std::size_t read = 0;
    for (ResultQuantity q : kResultQuantities) read += m.Results().GetArray(1, q).Size();
    Record(state, "open and read arrays", Seconds(start));
    if (read != rows || m.Results().IsStale(1)) state.SkipWithError("wrong results");
  }
}

void BM_RawRead(benchmark::State& state) {
  const std::size_t rows = TheSolve().Rows();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const std::size_t read = RawRead(kRawFile);
    Record(state, "raw read", Seconds(start));
    if (read != rows) state.SkipWithError("wrong row count");
  }
}

}  // namespace

BENCHMARK(BM_StoreResults)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawStore)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenWithoutResults)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndReadArrays)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRead)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nSummary (fastest of each):\n");
  for (const auto& [k, v] : g_seconds) std::printf("  %-40s %.6g s\n", k.c_str(), v);
  auto has = [](const char* k) { return g_seconds.count(k) > 0; };
  if (has("store") && has("raw store"))
    std::printf("  %-40s %.3f\n", "store / raw store", g_seconds["store"] / g_seconds["raw store"]);
  if (has("open and read arrays") && has("open without results") && has("raw read"))
    std::printf(
        "  %-40s %.3f\n", "(open+read - open without) / raw read",
        (g_seconds["open and read arrays"] - g_seconds["open without results"]) / g_seconds["raw read"]);
  for (const std::string& f : {kMeshFile, kStoredFile, kRawFile}) RemoveModelFiles(f);
  return 0;
}
