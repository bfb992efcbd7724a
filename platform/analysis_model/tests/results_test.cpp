// Stored analysis results: the round trip through the file, the stale mark
// and the checks of stored values.
#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <random>

#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel::Testing {
namespace {

using Q = ResultQuantity;

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

bool FileHasTable(const std::string& path, const char* table) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE name = ?", -1, &s, nullptr);
  sqlite3_bind_text(s, 1, table, -1, SQLITE_TRANSIENT);
  const bool found = sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int(s, 0) > 0;
  sqlite3_finalize(s);
  sqlite3_close(db);
  return found;
}

class ResultsTest : public XafModelTest {
 protected:
  // Three two-node beams on nodes 1..4, a shell on nodes 1, 2, 5, 6, a
  // support at node 1 and a load case with a point load.
  void SetUp() override {
    XafModelTest::SetUp();
    AddBeamChain(3);
    AddNode(0, 1, 0);
    AddNode(1, 1, 0);
    shell = model->Elements().AddElement(qlElementType::Shell4(), {1, 2, 6, 5});
    model->NodeProperties().SetBoundaryCondition(1, Hinge());
    model->Loads().AddPointLoad(1, 4, PointLoad(pos3d(3, 0, 0), vec3d(0, 0, -1e3), vec3d(0, 0, 0)));
  }

  // One analysis of each kind with every quantity, odd values included.
  void StoreSample() {
    auto& r = model->Results();
    lc = r.AddAnalysis(AnalysisKind::LoadCase, 1, "Dead", 0.0);
    mode = r.AddAnalysis(AnalysisKind::Mode, 1, "", 3.25);
    const double nan = std::nan("");
    r.SetValues(lc, Q::NodeMotion, 4, {1e-3, -0.0, nan, 0, 0, 0.25});
    r.SetValues(lc, Q::NodeMotion, 2, {1, 2, 3, 4, 5, 6});  // out of order
    r.SetValues(lc, Q::NodeReaction, 1, {0, 0, 1e3, 0, 0, 0});
    r.SetValues(lc, Q::BeamForces, 2, std::vector<double>(12, -7.5));
    r.SetValues(lc, Q::ShellStress, shell, {1e6, 0, -1e6});
    ResultArray shape;
    for (long n = 1; n <= 6; ++n) {
      const double v[6] = {0, 0, 0.1 * n, 0, 0, 0};
      shape.Append(n, v, 6);
    }
    r.SetArray(mode, Q::NodeMotion, shape);
  }

  long shell = 0, lc = 0, mode = 0;
};

TEST_F(ResultsTest, ResultsRoundTripThroughTheFileBitForBit) {
  StoreSample();
  std::map<std::pair<long, int>, ResultArray> before;
  for (long a : {lc, mode})
    for (Q q : kResultQuantities) before[{a, static_cast<int>(q)}] = model->Results().GetArray(a, q);
  const auto analyses = model->Results().GetAnalyses();
  model->Flush();
  Reopen();
  auto& r = model->Results();
  ASSERT_EQ(r.GetAnalyses().size(), analyses.size());
  for (const ResultAnalysis& a : analyses) {
    const ResultAnalysis b = r.GetAnalysis(a.id);
    EXPECT_EQ(b.kind, a.kind);
    EXPECT_EQ(b.number, a.number);
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(b.value, a.value);
    EXPECT_FALSE(b.stale);
  }
  for (const auto& [key, array] : before) {
    SCOPED_TRACE(key.first * 10 + key.second);
    const ResultArray back = r.GetArray(key.first, static_cast<Q>(key.second));
    EXPECT_EQ(back.ids, array.ids);
    EXPECT_EQ(back.offsets, array.offsets);
    EXPECT_TRUE(SameBits(back.values, array.values));
  }
  EXPECT_EQ(r.GetArray(lc, Q::NodeMotion).ids, (std::vector<std::int32_t>{2, 4}));
  EXPECT_TRUE(std::isnan(r.GetValues(lc, Q::NodeMotion, 4)[2]));
  EXPECT_TRUE(r.GetValues(lc, Q::NodeMotion, 3).empty());
  EXPECT_EQ(r.FindAnalysis(AnalysisKind::Mode, 1), mode);
  EXPECT_EQ(r.FindAnalysis(AnalysisKind::Mode, 2), -1);
}

TEST_F(ResultsTest, ChangesToWhatTheSolverReadsMarkResultsStaleForGood) {
  struct Case {
    const char* name;
    std::function<void(XafModel&)> change;
    bool stales;
  };
  const std::vector<Case> cases = {
      {"new node", [](XafModel& m) { m.Nodes().AddNode(pos3d(9, 9, 9)); }, true},
      {"removed element", [](XafModel& m) { m.Elements().RemoveElement(3, true); }, true},
      {"element section",
       [](XafModel& m) {
         const long s = m.Sections().AddThickness(0.2, "t", -1);
         m.Elements().GetElement(4)->SetSection(s);
       },
       true},
      {"material added",
       [](XafModel& m) { m.Materials().AddMaterial(qlMaterial(2e11, 0.3, 7850, 0, 0), "S", -1); }, true},
      {"support removed", [](XafModel& m) { m.NodeProperties().RemoveBoundaryCondition(1); }, true},
      {"point mass", [](XafModel& m) { m.NodeProperties().AddMass(3, Mass(10)); }, true},
      {"load", [](XafModel& m) { m.Loads().AddLineLoad(2, 1, LineLoad(vec3d(0, 0, -1))); }, true},
      {"gravity", [](XafModel& m) { m.Loads().AddGravityLoad(1, 0, 0, 0, -9.81); }, true},
      {"node name", [](XafModel& m) { m.NodeProperties().SetName(2, "J2"); }, false},
      {"load case name", [](XafModel& m) { m.Loads().SetLoadCaseName(1, "Dead load"); }, false},
      {"named empty load case", [](XafModel& m) { m.Loads().SetLoadCaseName(9, "Later"); }, false},
      {"concept", [](XafModel& m) { m.StructureConcepts().AddConcept(11, 0, -1, "Beam", -1); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    StoreSample();
    model->Flush();
    c.change(*model);
    EXPECT_EQ(model->Results().IsStale(lc), c.stales);
    EXPECT_EQ(model->Results().GetAnalyses()[1].stale, c.stales);
    model->Flush();
    Reopen();
    EXPECT_EQ(model->Results().IsStale(mode), c.stales);
  }
}

TEST_F(ResultsTest, TheStaleMarkOutlivesAnUndoneChangeAndStoringAgainClearsIt) {
  StoreSample();
  model->NodeProperties().RemoveBoundaryCondition(1);
  model->Flush();
  model->NodeProperties().SetBoundaryCondition(1, Hinge());
  EXPECT_TRUE(model->Results().IsStale(lc));
  const long again = model->Results().AddAnalysis(AnalysisKind::LoadCase, 1, "Dead", 0.0);
  EXPECT_EQ(again, lc);
  EXPECT_FALSE(model->Results().IsStale(lc));
  EXPECT_TRUE(model->Results().GetArray(lc, Q::NodeMotion).ids.empty());
  EXPECT_TRUE(model->Results().IsStale(mode));
}

TEST_F(ResultsTest, AFileChangedByAWriterWithoutResultsOpensWithStaleResults) {
  StoreSample();
  model->Flush();
  model.reset();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const double moved[3] = {0, 0, 0.5};
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "UPDATE nodes SET position = ? WHERE id = 3", -1, &s, nullptr);
  sqlite3_bind_blob(s, 1, moved, sizeof moved, SQLITE_STATIC);
  EXPECT_EQ(sqlite3_step(s), SQLITE_DONE);
  sqlite3_finalize(s);
  sqlite3_close(db);
  model = std::make_unique<XafModel>(path, 0, 1, false);
  EXPECT_TRUE(model->Results().IsStale(lc));
}

TEST_F(ResultsTest, AModelWithoutResultsGetsNoResultTables) {
  model->Flush();
  const long a = model->Results().AddAnalysis(AnalysisKind::LoadCase, 1, "", 0.0);
  model->Results().DeleteAnalysis(a);
  model->Flush();
  EXPECT_FALSE(FileHasTable(path, "result_analyses"));
  StoreSample();
  model->Flush();
  EXPECT_TRUE(FileHasTable(path, "result_values"));
  model->Results().Clear();
  model->Flush();
  Reopen();
  EXPECT_TRUE(model->Results().GetAnalyses().empty());
}

// Which solver produced an analysis survives the file, goes with the
// analysis when it is stored again or deleted, and files without any keep
// their layout.
TEST_F(ResultsTest, TheSolverOfAnAnalysisIsKeptWithItAndOnlyWithIt) {
  StoreSample();
  model->Flush();
  EXPECT_FALSE(FileHasTable(path, "result_solvers"));
  model->Results().SetSolver(lc, "native");
  model->Results().SetSolver(mode, "ccx");
  model->Flush();
  Reopen();
  EXPECT_EQ(model->Results().GetAnalysis(lc).solver, "native");
  EXPECT_EQ(model->Results().GetAnalysis(mode).solver, "ccx");
  model->Results().AddAnalysis(AnalysisKind::LoadCase, 1, "Dead", 0.0);  // stored again: no solver said
  model->Results().DeleteAnalysis(mode);
  const long again = model->Results().AddAnalysis(AnalysisKind::Mode, 1, "", 2.0);
  model->Flush();
  Reopen();
  EXPECT_EQ(model->Results().GetAnalysis(lc).solver, "");
  EXPECT_EQ(model->Results().GetAnalysis(again).solver, "");
  EXPECT_THROW(model->Results().SetSolver(99, "native"), ModelError);
}

TEST_F(ResultsTest, ValuesThatDoNotFitAreRefusedAndChangeNothing) {
  StoreSample();
  model->Flush();
  auto& r = model->Results();
  const ResultArray before = r.GetArray(lc, Q::BeamForces);
  struct Case {
    const char* name;
    std::function<void()> call;
  };
  const std::vector<Case> cases = {
      {"unknown analysis", [&] { r.SetValues(99, Q::NodeMotion, 1, std::vector<double>(6)); }},
      {"unknown node", [&] { r.SetValues(lc, Q::NodeMotion, 99, std::vector<double>(6)); }},
      {"short node row", [&] { r.SetValues(lc, Q::NodeReaction, 1, std::vector<double>(5)); }},
      {"two node points", [&] { r.SetValues(lc, Q::NodeMotion, 1, std::vector<double>(12)); }},
      {"beam forces on a shell", [&] { r.SetValues(lc, Q::BeamForces, shell, std::vector<double>(12)); }},
      {"partial beam point", [&] { r.SetValues(lc, Q::BeamForces, 1, std::vector<double>(8)); }},
      {"too many points", [&] { r.SetValues(lc, Q::BeamForces, 1, std::vector<double>(54)); }},
      {"falling array ids",
       [&] {
         ResultArray a;
         const double v[6] = {};
         a.Append(2, v, 6);
         a.ids.push_back(1);
         a.offsets.push_back(12);
         a.values.resize(12);
         r.SetArray(lc, Q::BeamForces, a);
       }},
      {"negative number", [&] { r.AddAnalysis(AnalysisKind::Combination, -1, "", 0.0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(c.call(), ModelError);
    const ResultArray now = r.GetArray(lc, Q::BeamForces);
    EXPECT_EQ(now.ids, before.ids);
    EXPECT_TRUE(SameBits(now.values, before.values));
  }
  EXPECT_EQ(r.GetAnalyses().size(), 2u);
}

TEST_F(ResultsTest, ValuesSetInAnyOrderReadBackAsTheLastSetPerEntity) {
  const long a = model->Results().AddAnalysis(AnalysisKind::Combination, 7, "ULS", 1.35);
  std::map<long, std::vector<double>> oracle;
  std::mt19937 random(15);
  for (int step = 0; step < 200; ++step) {
    const long node = 1 + static_cast<long>(random() % 6);
    const std::vector<double> v(6, static_cast<double>(step));
    model->Results().SetValues(a, Q::NodeMotion, node, v);
    oracle[node] = v;
  }
  model->Flush();
  Reopen();
  const ResultArray back = model->Results().GetArray(a, Q::NodeMotion);
  ASSERT_EQ(back.Size(), oracle.size());
  std::size_t i = 0;
  for (const auto& [node, v] : oracle) {
    EXPECT_EQ(back.ids[i], node);
    EXPECT_EQ(
        std::vector<double>(back.values.begin() + back.offsets[i], back.values.begin() + back.offsets[i + 1]),
        v);
    ++i;
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel::Testing
