// The model file: round trips, incremental flushes, refused files,
// read-only use and flushes interrupted by killing the writer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"
#include "model_snapshot.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void RunSql(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

class ModelFileTest : public XafModelTest {
 protected:
  // A model that uses every table.
  void BuildRichModel() {
    XafModel& m = *model;
    for (int i = 0; i < 6; ++i) AddNode(i, 0.5 * i, -0.1 * i);
    auto& e = m.Elements();
    e.AddElement(qlElementType::Beam2(), {1, 2});
    e.AddElement(qlElementType::Beam3(), {2, 4, 3});
    e.AddElement(qlElementType::Shell4(), {1, 2, 5, 6});
    e.AddElement(qlElementType::Shell3(), {3, 4, 5});
    e.AddElement(qlElementType::PointElement(), {6});
    const long mat = m.Materials().AddMaterial(qlMaterial(2.1e11, 0.3, 7850, 1.2e-5, 0.01), "S355", -1);
    m.Materials().AddMaterial(qlMaterial(3e10, 0.2, 2500), "C30", -1);
    m.Materials().AddMaterial(qlMaterial(7e10, 0.33, 2700), "gone", -1);
    m.Materials().DeleteMaterial(3);
    const long sec = m.Sections().AddSection(qlSection::IProfile(0.2, 0.2, 0.0065, 0.01), "HE200A", -1);
    m.Sections().AddSection(qlSection::Pipe(0.3, 0.01), "", -1);
    m.Sections().AddSection(qlSection::Box(0.3, 0.2, 0.01, 0.012), "box", -1);
    qlSectionProperties props;
    props.area = 0.01;
    props.iy = 1e-4;
    props.iz = 2e-5;
    props.it = 3e-6;
    props.shearAreaY = 0.004;
    props.shearAreaZ = 0.005;
    m.Sections().AddSection(qlSection::General(props), "general", -1);
    const long thick = m.Sections().AddThickness(0.2, "slab", -1);
    m.Sections().AddThickness(std::nan(""), "nan", -1);
    EntitySet set;
    set.AddNode(1);
    set.AddNode(4);
    set.AddElement(2);
    m.Sets().AddSet(set, "support", 7);
    const long c1 = m.StructureConcepts().AddConcept(20, 3, -1, "beam B1", -1);
    m.StructureConcepts().AddConcept(21, 4, c1, "segment", -1);
    m.StructureConcepts().SetConceptMembers(c1, ConceptMembers{{1, 2}, {1}});
    const long ecc = m.Eccentricities().AddEccentricity(vec3d(0, 0, 0.1), -1);
    m.Eccentricities().AddEccentricity(vec3d(0.1, 0.2, 0.3), -1);
    const long tr = m.Transformations().AddTransformation(vec3d(0, 1, 1), -1);
    m.Transformations().AddTransformation(locsys3d(vec3d(0, 1, 0), vec3d(1, 0, 0)));
    const long h = m.Hinges().AddHinge(Hinge({1, 1, 1, 0, 0.5, 0}));
    auto e1 = e.GetElement(1);
    e1->SetSection(sec);
    e1->SetMaterial(mat);
    e1->SetEccentricity(ecc);
    e1->SetNodeTransformation(1, tr);
    e1->SetNodeFixation(0, h);
    auto e3 = e.GetElement(3);
    e3->SetSection(thick);
    e3->SetMaterial(-1);
    auto p = e.GetElement(2);
    p->SetSection(-1);
    m.NodeProperties().SetName(1, "J1");
    m.NodeProperties().AddMass(6, Mass(100));
    m.NodeProperties().AddMass(6, Mass(1, 2, 3, 0.1, 0.2, 0.3));
    m.NodeProperties().SetTransnod(6, tr);
    m.NodeProperties().SetBoundaryCondition(1, Hinge({1, 1, 1, 1, 1, 1}));
    m.Loads().SetLoadCaseName(0, "dead");
    m.Loads().SetLoadCaseName(1, "");
    m.Loads().AddGravityLoad(0, 0, 0, 0, -9.81);
    PointLoad multi(pos3d(1, 0.5, -0.1), vec3d(0, 0, -1e3), vec3d(1, 2, 3));
    multi.AddValue(pos3d(0, 0, 0), vec3d(5, 0, 0), vec3d());
    m.Loads().AddPointLoad(0, 2, multi);
    m.Loads().AddLineLoad(0, 1, LineLoad(vec3d(0, 0, -1), vec3d(0, 0, -3)));
    m.Loads().AddSurfaceLoad(2, 3, SurfaceLoad(-2.5e3));
    SurfaceLoad marked(0.3);
    marked.SetLoadType(LoadType::InitialStrain);
    m.Loads().AddElementInitialStrain(2, 3, marked);
    m.Loads().AddElementInitialStrain(2, 1, InitialStrainLoad(1e-4));
    m.Loads().AddNodeAccelerationLoad(2, 5, PointLoad(pos3d(2, 1, -0.2), vec3d(0, 9.81, 0), vec3d()));
    m.GetArchive().SetArchiveMode(true);
    ASSERT_EQ(m.Validate(), "");
  }
};

TEST_F(ModelFileTest, RoundTripRestoresEveryTableAndCounter) {
  BuildRichModel();
  model->Flush();
  const auto before = Snapshot(*model);
  Reopen();
  const auto after = Snapshot(*model);
  for (const auto& [table, text] : before) {
    SCOPED_TRACE(table);
    EXPECT_EQ(after.at(table), text);
  }
  EXPECT_TRUE(model->GetArchive().GetArchiveMode());
  // Counters continue where they were: deleted material 3 is not handed out again.
  EXPECT_EQ(model->Materials().AddMaterial(qlMaterial(1e9, 0.1, 1), "new", -1), 4);
  EXPECT_EQ(model->Sets().AddSet(EntitySet(), "", -1), 8);
  EXPECT_EQ(model->Nodes().AddNode(pos3d(9, 9, 9)), 7);
  EXPECT_EQ(model->Elements().AddElement(qlElementType::Beam2(), {6, 7}), 6);
  EXPECT_EQ(model->Hinges().AddHinge(Hinge()), 2);
  EXPECT_EQ(model->StructureConcepts().AddConcept(1, 1, -1, "", -1), 3);
}

TEST_F(ModelFileTest, IncrementalFlushesWriteEveryKindOfChange) {
  BuildRichModel();
  model->Flush();
  std::mt19937 random(12345);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    XafModel& m = *model;
    // A mixed batch of changes, deletions included.
    for (int i = 0; i < 20; ++i) {
      const auto ids = m.Elements().GetElementIds();
      const long e = ids[random() % ids.size()];
      switch (random() % 9) {
        case 0:
          m.Elements().GetElement(e)->SetSection(random() % 2 ? 1 : 0);
          break;
        case 1:
          m.Elements().GetElement(e)->SetNodeEccentricity(0, 2);
          break;
        case 2:
          m.Elements().GetElement(e)->SetEccentricity(1);
          break;
        case 3: {
          const long a = AddNode(random() % 100, 1, 2), b = AddNode(3, random() % 100, 4);
          m.Elements().AddElement(qlElementType::Beam2(), {a, b});
          break;
        }
        case 4:
          if (ids.size() > 3) m.Elements().RemoveElement(e, random() % 2 == 0);
          break;
        case 5:
          m.Loads().DeleteNodeLoad(0, 2);
          m.Loads().AddLineLoad(round, e, LineLoad(vec3d(0, 0, -i)));
          break;
        case 6:
          m.NodeProperties().SetName(1 + random() % 6, "n" + std::to_string(i));
          break;
        case 7:
          m.NodeProperties().RemoveMasses(6);
          m.Loads().DeleteLoadCaseName(1);
          break;
        case 8:
          m.Materials().AddMaterial(qlMaterial(1e9 + i, 0.2, 10), "m" + std::to_string(i), 1 + random() % 5);
          break;
      }
    }
    if (round == 2) m.Sections().DeleteSection(2);
    if (round == 3) m.Loads().DeleteAllLoadsInLoadCase(2);
    if (round == 4) m.Transformations().AddTransformation(vec3d(1, 0, 0), 1);
    m.Flush();
    const auto before = Snapshot(m);
    Reopen();
    EXPECT_EQ(Snapshot(*model), before);
  }
}

TEST_F(ModelFileTest, AModelClosedWithoutFlushLeavesTheFileAsItWas) {
  BuildRichModel();
  model->Flush();
  const std::string bytes = ReadFile(path);
  model->Elements().RemoveElement(1, true);
  model->Materials().AddMaterial(qlMaterial(1e9, 0.1, 1), "unsaved", -1);
  model.reset();
  EXPECT_EQ(ReadFile(path), bytes);
  Reopen();
  EXPECT_TRUE(model->Elements().Contains(1));
}

TEST_F(ModelFileTest, ANewModelWritesNoFileBeforeItsFirstFlush) {
  AddBeamChain(2);
  EXPECT_NE(::access(path.c_str(), F_OK), 0);
  model->Flush();
  EXPECT_EQ(::access(path.c_str(), F_OK), 0);
}

// A load record class the file cannot hold makes the flush fail as a whole;
// the changes stay in memory and the next flush writes them.
class HostLoad : public Load {
 public:
  HostLoad() : Load(LoadType::InitialStrain) {}
  boost::shared_ptr<Load> Clone() const override { return boost::shared_ptr<Load>(new HostLoad(*this)); }
  std::string Describe() const override { return "HostLoad"; }
  bool Equals(const Load& other) const override { return dynamic_cast<const HostLoad*>(&other) != nullptr; }
};

TEST_F(ModelFileTest, AFailedFlushKeepsTheFileAndTheChanges) {
  BuildRichModel();
  model->Flush();
  const std::string bytes = ReadFile(path);
  model->Elements().GetElement(1)->SetSection(2);
  model->NodeProperties().SetName(4, "kept");
  model->Loads().AddElementInitialStrain(5, 2, HostLoad());
  EXPECT_THROW(model->Flush(), ModelError);
  EXPECT_EQ(ReadFile(path), bytes);
  model->Loads().DeleteElementLoad(5, 2);
  model->Flush();
  Reopen();
  EXPECT_EQ(model->Elements().GetElement(1)->GetSection(), 2);
  EXPECT_EQ(model->NodeProperties().GetName(4), "kept");
  EXPECT_TRUE(model->Loads().GetLoads(5).empty());
}

TEST_F(ModelFileTest, MissingFileWithoutCreateAndBadArgumentsThrow) {
  EXPECT_THROW(XafModel(path + ".none", 1, 1, false), ModelError);
  EXPECT_THROW(XafModel(path + ".x", 2, 1, true), ModelError);
  EXPECT_THROW(XafModel(path + ".x", 1, 2, true), ModelError);
  EXPECT_THROW(XafModel("", 1, 1, true), ModelError);
  // Neither a FIFO (reading it would wait for a writer for ever) nor a
  // device is opened, in either mode.
  ASSERT_EQ(::mkfifo((path + ".fifo").c_str(), 0644), 0);
  for (const std::string& name : {path + ".fifo", std::string("/dev/zero")})
    for (long mode : {0L, 1L}) {
      try {
        XafModel m(name, mode, 1, true);
        ADD_FAILURE() << name << " opened";
      } catch (const ModelError& e) {
        EXPECT_NE(std::string(e.what()).find("is not a model file: it is a"), std::string::npos) << e.what();
      }
    }
  ::unlink((path + ".fifo").c_str());
}

TEST_F(ModelFileTest, ReadOnlyModelsReadButRefuseToFlush) {
  BuildRichModel();
  model->Flush();
  const auto before = Snapshot(*model);
  const std::string bytes = ReadFile(path);
  model.reset();
  XafModel readOnly(path, 0, 1, false);
  EXPECT_TRUE(readOnly.IsReadOnly());
  EXPECT_EQ(Snapshot(readOnly), before);
  readOnly.NodeProperties().SetName(2, "changed in memory");
  EXPECT_THROW(readOnly.Flush(), ModelError);
  EXPECT_EQ(ReadFile(path), bytes);
}

// Files that are not model files, damaged, truncated or newer are refused
// with ModelError and left byte for byte as they were.
TEST_F(ModelFileTest, RefusedFilesAreLeftUntouched) {
  BuildRichModel();
  for (int i = 0; i < 3000; ++i) AddNode(i, i, i);  // enough pages to truncate
  model->Flush();
  model.reset();
  const std::string good = ReadFile(path);
  struct Case {
    const char* what;
    std::function<void(const std::string&)> spoil;
  } cases[] = {
      {"empty file", [](const std::string& p) { WriteFile(p, ""); }},
      {"text", [](const std::string& p) { WriteFile(p, "this is not a database, just some text\n"); }},
      {"garbage",
       [](const std::string& p) {
         std::mt19937 r(7);
         std::string bytes(20000, '\0');
         for (char& c : bytes) c = static_cast<char>(r());
         WriteFile(p, bytes);
       }},
      {"garbage after a database header",
       [&](const std::string& p) {
         std::string bytes = good;
         for (std::size_t i = 100; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
         WriteFile(p, bytes);
       }},
      {"truncated", [&](const std::string& p) { WriteFile(p, good.substr(0, good.size() / 2)); }},
      {"truncated to a page", [&](const std::string& p) { WriteFile(p, good.substr(0, 4096)); }},
      {"another application's database",
       [](const std::string& p) { RunSql(p, "CREATE TABLE t(x); INSERT INTO t VALUES(1);"); }},
      {"newer schema version",
       [&](const std::string& p) {
         WriteFile(p, good);
         RunSql(p, "PRAGMA user_version = 99");
       }},
      {"a table missing",
       [&](const std::string& p) {
         WriteFile(p, good);
         RunSql(p, "DROP TABLE loads");
       }},
      {"an element on a missing node",
       [&](const std::string& p) {
         WriteFile(p, good);
         RunSql(p, "UPDATE elements SET n1 = 999999 WHERE id = 1");
       }},
      {"a cycle of parent concepts",
       [&](const std::string& p) {
         WriteFile(p, good);
         RunSql(p, "UPDATE concepts SET parent = 2 WHERE id = 1");
       }},
      {"a negative id counter",
       [&](const std::string& p) {
         WriteFile(p, good);
         RunSql(p, "UPDATE meta SET value = -4 WHERE key = 'materials'");
       }},
      {"an unknown element type",
       [&](const std::string& p) {
         WriteFile(p, good);
         RunSql(p, "UPDATE elements SET type = 77 WHERE id = 1");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveModelFiles(path);
    c.spoil(path);
    const std::string bytes = ReadFile(path);
    for (long mode : {1L, 0L}) {
      try {
        XafModel m(path, mode, 1, false);
        ADD_FAILURE() << "opened";
      } catch (const ModelError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      }
      EXPECT_EQ(ReadFile(path), bytes);
    }
  }
  RemoveModelFiles(path);
  model = std::make_unique<XafModel>(path, 1, 1, true);
}

// Damaged content that SQLite reads without complaint is refused by the
// row checks, naming the table, the row and the problem, in either access
// mode and without a byte of the file changing.
TEST_F(ModelFileTest, DamagedRowsAreRefusedNamingTableRowAndProblem) {
  BuildRichModel();
  model->Flush();
  model.reset();
  const std::string good = ReadFile(path);
  const struct {
    const char* sql;
    const char* message;
  } cases[] = {
      {"DELETE FROM transformations WHERE id = 1", "transformations row 1: is missing"},
      {"DELETE FROM eccentricities WHERE id = 2", "eccentricities has 1 rows, the meta table states 2"},
      {"DELETE FROM hinges WHERE id = 1", "hinges has 0 rows"},
      {"DELETE FROM nodes WHERE id = 3", "nodes row 3: is missing"},
      {"UPDATE nodes SET position = x'000000000000F87F00000000000000000000000000000000' WHERE id = 2",
       "nodes row 2: position is not finite"},
      {"UPDATE eccentricities SET vector = x'000000000000F07F00000000000000000000000000000000' WHERE id = 1",
       "eccentricities row 1: vector is not finite"},
      {"UPDATE transformations SET matrix = zeroblob(72) WHERE id = 2",
       "transformations row 2: matrix has a zero axis"},
      {"UPDATE elements SET n0 = 4294967297 WHERE id = 1", "elements row 1: node 4294967297 is out of range"},
      {"UPDATE elements SET section = -3 WHERE id = 1", "elements row 1: section -3 is out of range"},
      {"UPDATE materials SET id = 4294967297 WHERE id = 1", "materials row 4294967297: id"},
      {"UPDATE meta SET value = 50000000 WHERE key = 'nodes'",
       "nodes has 6 rows, the meta table states 50000000"},
      {"UPDATE meta SET value = 2147483000 WHERE key = 'hinges'", "hinges has 1 rows"},
      {"UPDATE meta SET value = 4 WHERE key = 'elements'", "element id 5 is out of range"},
      {"UPDATE node_properties SET masses = "
       "x'000000000000F87F00000000000000000000000000000000000000000000000000000000000000000000000000000000' "
       "WHERE node = 6",
       "node_properties row 6: a mass is not finite"},
      {"UPDATE load_cases SET gravity = x'00000000000000000000000000000000000000000000F07F' WHERE id = 0",
       "load_cases row 0: gravity is not finite"},
      {"UPDATE loads SET data = x'000000000000F87F' WHERE record = 3",
       "a load has a value that is not finite"},
      // References and kinds, with the rules of Validate (row_rules.hpp).
      {"UPDATE loads SET data = x'' WHERE load_case = 0 AND seq = 0",
       "loads row (load case 0, seq 0): point load has no values"},
      {"UPDATE loads SET target = 99 WHERE load_case = 0 AND seq = 1",
       "loads row (load case 0, seq 1): line load on element 99, which was never created"},
      {"UPDATE loads SET target = 77 WHERE load_case = 2 AND seq = 3",
       "loads row (load case 2, seq 3): node acceleration load on missing node 77"},
      {"UPDATE loads SET kind = 1 WHERE load_case = 2 AND seq = 0",
       "loads row (load case 2, seq 0): line load holds a surface record"},
      {"UPDATE elements SET type = (SELECT type FROM elements WHERE id = 1) WHERE id = 3",
       "elements row 3: type"},
      {"UPDATE elements SET type = (SELECT type FROM elements WHERE id = 1), n2 = NULL, n3 = NULL WHERE id = "
       "3",
       "loads row (load case 2, seq 0): a surface load cannot act on line element 3"},
      {"UPDATE concept_members SET elements = x'6300000000000000'",
       "concept_members row 1: names element 99, which was never created"},
      {"UPDATE concept_members SET nodes = x'6300000000000000'",
       "concept_members row 1: names missing node 99"},
      {"UPDATE concept_members SET concept = 77", "concept_members row 77: names missing concept 77"},
      {"DROP TABLE concept_members", "the concept_members table is missing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    RemoveModelFiles(path);
    WriteFile(path, good);
    RunSql(path, c.sql);
    const std::string bytes = ReadFile(path);
    for (long mode : {1L, 0L}) {
      try {
        XafModel m(path, mode, 1, false);
        ADD_FAILURE() << "opened";
      } catch (const ModelError& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      }
      EXPECT_EQ(ReadFile(path), bytes);
    }
  }
  RemoveModelFiles(path);
  model = std::make_unique<XafModel>(path, 1, 1, true);
}

// Pages damaged below the rows (b-tree headers, the schema page) are
// refused in one line that says what was being read and why, never by
// quoting SQL.
TEST_F(ModelFileTest, DamagedPagesAreRefusedInOneLineWithoutSql) {
  BuildRichModel();
  model->Flush();
  model.reset();
  const std::string good = ReadFile(path);
  int refused = 0;
  for (std::size_t page = 0; page * 4096 < good.size(); ++page) {
    for (std::size_t offset : {std::size_t{100}, std::size_t{0}}) {
      if (page == 0 && offset == 0) continue;  // the file header: its own check
      SCOPED_TRACE("page " + std::to_string(page + 1) + " at " + std::to_string(offset));
      std::string bytes = good;
      bytes.replace(page * 4096 + offset, 12, std::string(12, '\xff'));
      RemoveModelFiles(path);
      WriteFile(path, bytes);
      try {
        XafModel m(path, 0, 1, false);
      } catch (const ModelError& e) {
        ++refused;
        const std::string message = e.what();
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        for (const char* sql : {"SELECT", "CREATE", "INSERT"})
          EXPECT_EQ(message.find(sql), std::string::npos) << message;
        EXPECT_NE(message.find("is damaged"), std::string::npos) << message;
      }
    }
  }
  EXPECT_GT(refused, 5);
  RemoveModelFiles(path);
  model = std::make_unique<XafModel>(path, 1, 1, true);
}

// The stored element count is the largest id handed out, not a size to
// allocate: a huge one opens with the rows present, and new elements count
// on from it (rows for the removed ids between are made only then).
TEST_F(ModelFileTest, TheStoredElementCountDecidesIdsNotAllocations) {
  AddBeamChain(3);
  model->Flush();
  model.reset();
  RunSql(path, "UPDATE meta SET value = 2147483000 WHERE key = 'elements'");
  Reopen();
  EXPECT_EQ(model->Elements().GetElementIds(), (std::vector<long>{1, 2, 3}));
  model.reset();
  RunSql(path, "UPDATE meta SET value = 40 WHERE key = 'elements'");
  Reopen();
  EXPECT_EQ(model->Elements().AddElement(qlElementType::Beam2(), {1, 3}), 41);
  EXPECT_FALSE(model->Elements().Contains(40));
  model->Flush();
  Reopen();
  EXPECT_EQ(model->Elements().GetElementIds(), (std::vector<long>{1, 2, 3, 41}));
}

// A deep parent chain opens in linear time; closing it into a ring is
// found as a cycle.
TEST_F(ModelFileTest, DeepConceptChainsOpenQuicklyAndRingsAreRefused) {
  AddBeamChain(1);
  model->Flush();
  model.reset();
  RunSql(path,
         "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 40000)"
         " INSERT INTO concepts SELECT i, 1, 1, CASE WHEN i = 1 THEN -1 ELSE i - 1 END, '' FROM c;"
         " UPDATE meta SET value = 40000 WHERE key = 'concepts'");
  // A walk up every chain (quadratic) takes minutes at this depth; the bound
  // of unoptimised sanitizer builds leaves room for a loaded machine.
#ifdef NDEBUG
  const double bound = 1.0;
#else
  const double bound = 5.0;
#endif
  const auto start = std::chrono::steady_clock::now();
  Reopen();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), bound);
  EXPECT_EQ(model->StructureConcepts().GetConcept(40000).parent, 39999);
  model.reset();
  RunSql(path, "UPDATE concepts SET parent = 40000 WHERE id = 1");
  EXPECT_THROW(XafModel(path, 0, 1, false), ModelError);
  RemoveModelFiles(path);
  model = std::make_unique<XafModel>(path, 1, 1, true);
}

// A journal beside a good model is never applied by a read-only open: it
// refuses, asking for a read-write open, and changes no byte.
TEST_F(ModelFileTest, AReadOnlyOpenRefusesAWaitingJournal) {
  AddBeamChain(4);
  model->Flush();
  model.reset();
  const std::string bytes = ReadFile(path);
  WriteFile(path + "-journal", std::string(512, '\x5a'));
  try {
    XafModel m(path, 0, 1, false);
    ADD_FAILURE() << "opened";
  } catch (const ModelError& e) {
    EXPECT_NE(std::string(e.what()).find("open it read-write once"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadFile(path), bytes);
  EXPECT_EQ(ReadFile(path + "-journal"), std::string(512, '\x5a'));
  Reopen();
  EXPECT_EQ(model->Elements().Count(), 4u);
}

// A writer killed at a random moment of a flush leaves the last completed
// flush: the generation stamp, every element's section and the load list
// always agree.
TEST_F(ModelFileTest, AFlushKilledAtAnyMomentLeavesTheOldOrTheNewState) {
  const int kElements = 5000;
  const long first = AddBeamChain(kElements);
  const long s1 = model->Sections().AddSection(qlSection::Rectangle(0.2, 0.1), "A", -1);
  const long s2 = model->Sections().AddSection(qlSection::Rectangle(0.3, 0.1), "B", -1);
  model->Loads().SetLoadCaseName(1, "0");
  model->Flush();
  model.reset();

  std::mt19937 random(99);
  int sawOld = 0, sawNew = 0, midFlush = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    SCOPED_TRACE(attempt);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The writer: flush big changes over and over until killed.
      try {
        XafModel m(path, 1, 1, false);
        long generation = std::stol(*m.Loads().GetLoadCaseName(1));
        for (;;) {
          ++generation;
          const long section = generation % 2 ? s1 : s2;
          for (long e = first; e < first + kElements; ++e) m.Elements().GetElement(e)->SetSection(section);
          m.Loads().DeleteAllLoadsInLoadCase(1);
          for (long n = 1; n <= 200; ++n) m.Loads().AddLineLoad(1, n, LineLoad(vec3d(0, 0, -generation)));
          m.Loads().SetLoadCaseName(1, std::to_string(generation));
          m.Flush();
        }
      } catch (...) {
        ::_exit(3);
      }
    }
    ::usleep(10000 + random() % 140000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
    // A journal left behind shows that the kill hit a flush in progress.
    midFlush += ::access((path + "-journal").c_str(), F_OK) == 0;

    XafModel m(path, 1, 1, false);
    ASSERT_EQ(m.Validate(), "");
    const long generation = std::stol(*m.Loads().GetLoadCaseName(1));
    const long expected = generation == 0 ? 0 : (generation % 2 ? s1 : s2);
    long mismatches = 0;
    for (long e = first; e < first + kElements; ++e)
      mismatches += m.Elements().GetElement(e)->GetSection() != expected;
    EXPECT_EQ(mismatches, 0) << "generation " << generation;
    const auto loads = m.Loads().GetLoads(1);
    EXPECT_EQ(loads.size(), generation == 0 ? 0u : 200u);
    for (const LoadEntry& l : loads)
      EXPECT_TRUE(l.record->Equals(LineLoad(vec3d(0, 0, -static_cast<double>(generation)))));
    (generation == 0 ? sawOld : sawNew) += 1;
  }
  RecordProperty("old_states", sawOld);
  RecordProperty("new_states", sawNew);
  RecordProperty("killed_mid_flush", midFlush);
  model = std::make_unique<XafModel>(path, 1, 1, false);
}

// A model killed during its very first flush has never been flushed: its
// file either does not exist yet or holds the whole first flush, and what
// the killed flush left beside it does not stop the next one.
TEST_F(ModelFileTest, AFirstFlushKilledAtAnyMomentLeavesNoHalfMadeFile) {
  model.reset();
  std::mt19937 random(7);
  int sawNone = 0, sawWhole = 0;
  for (int attempt = 0; attempt < 6; ++attempt) {
    SCOPED_TRACE(attempt);
    RemoveModelFiles(path);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        XafModel m(path, 1, 1, true);
        long previous = m.Nodes().AddNode(pos3d(0, 0, 0));
        for (int i = 1; i <= 20000; ++i) {
          const long next = m.Nodes().AddNode(pos3d(i, 0, 0));
          m.Elements().AddElement(qlElementType::Beam2(), {previous, next});
          previous = next;
        }
        m.Loads().SetLoadCaseName(1, "complete");
        m.Flush();
        ::pause();
      } catch (...) {
        ::_exit(3);
      }
    }
    ::usleep(random() % 200000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
    if (::access(path.c_str(), F_OK) != 0) {
      ++sawNone;
      XafModel fresh(path, 1, 1, true);
      EXPECT_EQ(fresh.Elements().Count(), 0u);
      fresh.Nodes().AddNode(pos3d(1, 2, 3));
      fresh.Flush();
      XafModel reopened(path, 0, 1, false);
      EXPECT_EQ(reopened.Nodes().Count(), 1u);
      continue;
    }
    ++sawWhole;
    XafModel m(path, 1, 1, false);
    EXPECT_EQ(m.Validate(), "");
    EXPECT_EQ(m.Elements().Count(), 20000u);
    ASSERT_TRUE(m.Loads().GetLoadCaseName(1).has_value());
    EXPECT_EQ(*m.Loads().GetLoadCaseName(1), "complete");
  }
  RecordProperty("never_flushed", sawNone);
  RecordProperty("flushed_whole", sawWhole);
  RemoveModelFiles(path);
  model = std::make_unique<XafModel>(path, 1, 1, true);
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
