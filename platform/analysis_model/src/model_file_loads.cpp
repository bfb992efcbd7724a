// The load tables: load cases with their name and gravity load, and the
// loads of each case in their order.
#include <boost/make_shared.hpp>

#include "model_file_tables.hpp"
#include "model_schema.hpp"
#include "row_rules.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

// ---- load cases --------------------------------------------------------------------

// id: the host's load case number (0 or above). name: NULL when the case has
// none. gravity_option, gravity: the gravity load's option and acceleration
// (three doubles), both NULL when the case has none.
const char* const LoadCasesTable::kCreate =
    R"sql(CREATE TABLE load_cases(id INTEGER PRIMARY KEY, name TEXT, gravity_option INTEGER, gravity BLOB))sql";

namespace {

void ReadLoadCaseRow(const ModelData& d, const Sql::Statement& s, LoadCaseRow& row) {
  if (!s.IsNull(1)) row.name = s.Text(1);
  if (!s.IsNull(2)) {
    const auto g = DoublesOf(d, s, 3, 3, "a gravity load");
    if (!AllFinite(g.data(), 3)) DamagedRow(d, "load_cases", s.Int(0), "gravity is not finite");
    row.gravity = GravityLoad{s.Int(2), vec3d(g[0], g[1], g[2])};
  }
}

void BindLoadCaseRow(Sql::Statement& s, long lc, const LoadCaseRow& row) {
  s.Bind(1, static_cast<std::int64_t>(lc));
  if (row.name)
    s.Bind(2, *row.name);
  else
    s.BindNull(2);
  if (row.gravity) {
    const vec3d& g = row.gravity->acceleration;
    s.Bind(3, static_cast<std::int64_t>(row.gravity->option))
        .BindVector(4, std::vector<double>{g.x, g.y, g.z});
  } else {
    s.BindNull(3).BindNull(4);
  }
}

}  // namespace

void LoadCasesTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, name, gravity_option, gravity FROM load_cases");
  while (s.Step())
    ReadLoadCaseRow(d, s, d.loadCases[CheckedId(d, "load_cases", s.Int(0), "id", s.Int(0), 0)]);
}

// A changed case is rewritten whole: its row, then all its loads (deleted
// first, so that loads removed from the case go too).
void LoadCasesTable::Write(Sql::Connection& db, const ModelData& d) {
  if (d.dirtyLoadCases.empty()) return;
  LoadsTable::Writer loads(db);
  Sql::Statement remove(db, "DELETE FROM load_cases WHERE id = ?");
  Sql::Statement put(
      db, "INSERT OR REPLACE INTO load_cases(id, name, gravity_option, gravity) VALUES(?, ?, ?, ?)");
  for (long lc : d.dirtyLoadCases) {
    loads.Clear(lc);
    auto it = d.loadCases.find(lc);
    if (it == d.loadCases.end()) {
      remove.Bind(1, static_cast<std::int64_t>(lc)).Run();
      continue;
    }
    BindLoadCaseRow(put, lc, it->second);
    put.Run();
    loads.Put(d, lc, it->second.loads);
  }
}

// ---- loads -------------------------------------------------------------------------

// seq: the load's place in its case, from 0. kind: the LoadKind number.
// target: the node or element loaded. record: the record class
// (Schema::RecordKind). load_type: the record's LoadType number. data: the
// record's values as doubles; point: nine per value (position, force,
// moment); line: six (start and end vectors); surface: the pressure;
// initial strain: the strain.
const char* const LoadsTable::kCreate =
    R"sql(CREATE TABLE loads(load_case INTEGER NOT NULL, seq INTEGER NOT NULL, kind INTEGER NOT NULL,
  target INTEGER NOT NULL, record INTEGER NOT NULL, load_type INTEGER NOT NULL, data BLOB NOT NULL,
  PRIMARY KEY(load_case, seq)) WITHOUT ROWID)sql";

namespace {

// The record class and values of a load, as stored.
std::pair<int, std::vector<double>> EncodeLoad(const ModelData& d, const Load& load) {
  if (const auto* p = dynamic_cast<const PointLoad*>(&load)) {
    std::vector<double> v;
    for (const auto& [at, m] : p->GetValues()) {
      v.insert(v.end(), {at.x, at.y, at.z});
      for (unsigned r = 0; r < 2; ++r)
        for (unsigned c = 0; c < 3; ++c) v.push_back(m.Rows() > r && m.Columns() > c ? m(r, c) : 0.0);
    }
    return {Schema::kPointRecord, v};
  }
  if (const auto* l = dynamic_cast<const LineLoad*>(&load))
    return {Schema::kLineRecord,
            {l->Start().x, l->Start().y, l->Start().z, l->End().x, l->End().y, l->End().z}};
  if (const auto* s = dynamic_cast<const SurfaceLoad*>(&load))
    return {Schema::kSurfaceRecord, {s->Pressure()}};
  if (const auto* i = dynamic_cast<const InitialStrainLoad*>(&load))
    return {Schema::kInitialStrainRecord, {i->Strain()}};
  throw ModelError("model file \"" + d.fileName + "\": cannot store a load record of an unknown class (" +
                   load.Describe() + ")");
}

// The record of a stored load, without its load type.
boost::shared_ptr<Load> DecodeRecord(const ModelData& d, int record, const std::vector<double>& v) {
  auto need = [&](std::size_t n) {
    if (v.size() != n) Damaged(d.fileName, "a load record has a wrong size");
  };
  switch (record) {
    case Schema::kPointRecord: {
      if (v.size() % 9 != 0) Damaged(d.fileName, "a point load has a wrong size");
      auto p = boost::make_shared<PointLoad>();
      for (std::size_t i = 0; i < v.size(); i += 9)
        p->AddValue(pos3d(v[i], v[i + 1], v[i + 2]), vec3d(v[i + 3], v[i + 4], v[i + 5]),
                    vec3d(v[i + 6], v[i + 7], v[i + 8]));
      return p;
    }
    case Schema::kLineRecord:
      need(6);
      return boost::make_shared<LineLoad>(vec3d(v[0], v[1], v[2]), vec3d(v[3], v[4], v[5]));
    case Schema::kSurfaceRecord:
      need(1);
      return boost::make_shared<SurfaceLoad>(v[0]);
    case Schema::kInitialStrainRecord:
      need(1);
      return boost::make_shared<InitialStrainLoad>(v[0]);
  }
  Damaged(d.fileName, "a load has an unknown record class");
}

// The row check of the loads table for the kind and load type numbers.
LoadKind CheckedLoadKind(const ModelData& d, std::int64_t kind) {
  if (kind < static_cast<int>(LoadKind::Point) || kind > static_cast<int>(LoadKind::NodeAcceleration))
    Damaged(d.fileName, "a load has an unknown kind");
  return static_cast<LoadKind>(kind);
}

LoadType::Options CheckedLoadType(const ModelData& d, int loadType) {
  switch (loadType) {
    case LoadType::PointForce:
    case LoadType::LineForce:
    case LoadType::SurfacePressure:
    case LoadType::NodeAcceleration:
    case LoadType::InitialStrain:
      return static_cast<LoadType::Options>(loadType);
  }
  Damaged(d.fileName, "a load has an unknown load type");
}

LoadEntry ReadLoadRow(const ModelData& d, const Sql::Statement& s) {
  const LoadKind kind = CheckedLoadKind(d, s.Int(1));
  const auto values = s.Vector<double>(5);
  if (!AllFinite(values.data(), values.size())) Damaged(d.fileName, "a load has a value that is not finite");
  auto record = DecodeRecord(d, static_cast<int>(s.Int(3)), values);
  record->SetLoadType(CheckedLoadType(d, static_cast<int>(s.Int(4))));
  return LoadEntry{kind, s.Int(2), std::move(record)};
}

}  // namespace

// Every load is checked against the mesh read before it (row_rules.hpp):
// a load that names nothing, or the wrong kind of thing, would change the
// analysis without a word.
void LoadsTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db,
                   "SELECT load_case, kind, target, record, load_type, data, seq FROM loads"
                   " ORDER BY load_case, seq");
  while (s.Step()) {
    const std::string row =
        "loads row (load case " + std::to_string(s.Int(0)) + ", seq " + std::to_string(s.Int(6)) + "): ";
    auto it = d.loadCases.find(s.Int(0));
    if (it == d.loadCases.end()) Damaged(d.fileName, row + "its load case is missing");
    LoadEntry load = ReadLoadRow(d, s);
    const std::string problem = LoadProblem(d, load);
    if (!problem.empty()) Damaged(d.fileName, row + problem);
    it->second.loads.push_back(std::move(load));
  }
}

LoadsTable::Writer::Writer(Sql::Connection& db)
    : clear_(db, "DELETE FROM loads WHERE load_case = ?"),
      put_(db,
           "INSERT INTO loads(load_case, seq, kind, target, record, load_type, data)"
           " VALUES(?, ?, ?, ?, ?, ?, ?)") {}

void LoadsTable::Writer::Clear(long lc) { clear_.Bind(1, static_cast<std::int64_t>(lc)).Run(); }

void LoadsTable::Writer::Put(const ModelData& d, long lc, const std::vector<LoadEntry>& loads) {
  std::int64_t seq = 0;
  for (const LoadEntry& e : loads) {
    const auto [record, values] = EncodeLoad(d, *e.record);
    put_.Bind(1, static_cast<std::int64_t>(lc)).Bind(2, seq++).Bind(3, static_cast<int>(e.kind));
    put_.Bind(4, static_cast<std::int64_t>(e.target)).Bind(5, record);
    put_.Bind(6, static_cast<int>(e.record->loadType())).BindVector(7, values);
    put_.Run();
  }
}

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
