// The model file: checking, reading and incremental writing.
#include "model_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <boost/make_shared.hpp>
#include <cstdio>
#include <fstream>

#include "model_schema.hpp"
#include "sqlite_handle.hpp"

namespace Kestrum::Quilm::AnalysisModel {

struct FileConnection {
  FileConnection(const std::string& name, int flags) : db(name, flags) {}
  Sql::Connection db;
};

namespace ModelFile {

namespace {

std::uint32_t BigEndian(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

long long FileSize(const std::string& name) {
  struct stat info;
  return ::stat(name.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

[[noreturn]] void NotAModel(const std::string& name, const std::string& why) {
  throw ModelError("\"" + name + "\" is not a model file: " + why);
}

[[noreturn]] void Damaged(const std::string& name, const std::string& why) {
  throw ModelError("model file \"" + name + "\" is damaged: " + why);
}

// A hot journal is left by a flush that did not complete; opening read-write
// lets SQLite roll it back, which restores the last completed flush.
bool HasHotJournal(const std::string& name) { return FileSize(name + "-journal") > 0; }

// Checks the database header with a plain read, before SQLite sees the
// file, so that a foreign or newer file is refused without any change to it.
void CheckHeader(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) throw ModelError("cannot read model file \"" + name + "\"");
  unsigned char header[100];
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (in.gcount() != static_cast<std::streamsize>(sizeof header)) NotAModel(name, "too short");
  if (std::memcmp(header, "SQLite format 3", 16) != 0) NotAModel(name, "no database header");
  if (BigEndian(header + 68, 4) != Schema::kApplicationId) NotAModel(name, "another application's database");
  const std::uint32_t version = BigEndian(header + 60, 4);
  if (version > Schema::kVersion)
    throw ModelError("model file \"" + name + "\" has schema version " + std::to_string(version) +
                     ", newer than this library's " + std::to_string(Schema::kVersion));
  if (version < 1) NotAModel(name, "no schema version");
  std::uint32_t pageSize = BigEndian(header + 16, 2);
  if (pageSize == 1) pageSize = 65536;
  const std::uint32_t pages = BigEndian(header + 28, 4);
  // The page count is trustworthy when the two change counters agree, and
  // when no interrupted flush is waiting to be rolled back (its journal
  // restores pages and size).
  if (!HasHotJournal(name) && BigEndian(header + 24, 4) == BigEndian(header + 92, 4) &&
      FileSize(name) < static_cast<long long>(pageSize) * pages)
    Damaged(name, "the file is shorter than its page count (truncated)");
}


// A blob of exactly n doubles.
std::vector<double> DoublesOf(const ModelData& d, const Sql::Statement& s, int column, std::size_t n,
                              const char* what) {
  auto v = s.Vector<double>(column);
  if (v.size() != n) Damaged(d.fileName, std::string(what) + " has a wrong size");
  return v;
}

void ReadMeta(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT key, value FROM meta");
  std::map<std::string, std::int64_t> values;
  bool magic = false;
  while (s.Step()) {
    const std::string key = s.Text(0);
    if (key == "magic") {
      magic = s.Text(1) == Schema::kMagic;
      continue;
    }
    values[key] = s.Int(1);
  }
  if (!magic) NotAModel(d.fileName, "no model identification");
  auto get = [&](const char* key) -> std::int64_t {
    auto it = values.find(key);
    if (it == values.end()) Damaged(d.fileName, std::string("meta value ") + key + " is missing");
    if (it->second < 0 || it->second > kMaxId)
      Damaged(d.fileName, std::string("meta value ") + key + " is invalid");
    return it->second;
  };
  if (get("schema_version") > Schema::kVersion) Damaged(d.fileName, "meta schema version is newer");
  const std::int64_t unit = get("unit_system");
  if (unit != d.unitSystem)
    throw ModelError("model file \"" + d.fileName + "\" uses unit system " + std::to_string(unit) +
                     ", not the requested " + std::to_string(d.unitSystem));
  d.archiveMode = get("archive_mode") != 0;
  d.counters.material = get("materials");
  d.counters.section = get("sections");
  d.counters.set = get("sets");
  d.counters.concept = get("concepts");
  d.nodes.resize(get("nodes"));
  d.elements.resize(get("elements"));
  d.eccentricities.resize(get("eccentricities"));
  d.transformations.resize(get("transformations"));
  d.hinges.resize(get("hinges"), Hinge());
}

// Checks that a row id of a dense table lies within its stored count.
void CheckDenseId(const ModelData& d, const char* table, std::int64_t id, std::size_t count) {
  if (id < 1 || static_cast<std::size_t>(id) > count)
    Damaged(d.fileName, std::string(table) + " id " + std::to_string(id) + " is out of range");
}

void ReadMesh(Sql::Connection& db, ModelData& d) {
  {
    Sql::Statement s(db, "SELECT id, position FROM nodes ORDER BY id");
    std::size_t next = 1;
    while (s.Step()) {
      if (static_cast<std::size_t>(s.Int(0)) != next || next > d.nodes.size())
        Damaged(d.fileName, "node ids are not consecutive from 1");
      if (sqlite3_column_bytes(s.Handle(), 1) != 3 * sizeof(double))
        Damaged(d.fileName, "a node has a wrong size");
      std::memcpy(&d.nodes[next - 1], sqlite3_column_blob(s.Handle(), 1), 3 * sizeof(double));
      ++next;
    }
    if (next - 1 != d.nodes.size()) Damaged(d.fileName, "nodes are missing");
    if (!d.nodes.empty()) {
      // Consecutive ids: one run, inserted in ascending order.
      for (std::size_t i = 1; i <= d.nodes.size(); ++i) d.nodeIds.insert(static_cast<long>(i));
    }
  }
  Sql::Statement s(
      db,
      "SELECT id, type, n0, n1, n2, n3, section, material, eccentricity, transformation, fixation,"
      " per_node FROM elements");
  while (s.Step()) {
    const std::int64_t id = s.Int(0);
    CheckDenseId(d, "element", id, d.elements.size());
    ElementRow& row = d.elements[id - 1];
    const qlElementType* type = nullptr;
    try {
      type = &qlElementType::FromNumber(static_cast<int>(s.Int(1)));
    } catch (const std::exception&) {
      Damaged(d.fileName, "element " + std::to_string(id) + " has an unknown type");
    }
    if (type->NodeCount() > kMaxElementNodes || type->Number() <= 0)
      Damaged(d.fileName, "unsupported element type");
    row.type = static_cast<std::int16_t>(type->Number());
    row.nodeCount = static_cast<std::uint8_t>(type->NodeCount());
    for (unsigned i = 0; i < row.nodeCount; ++i) row.nodes[i] = static_cast<std::int32_t>(s.Int(2 + i));
    row.section = static_cast<std::int32_t>(s.Int(6));
    row.material = static_cast<std::int32_t>(s.Int(7));
    row.eccentricity = static_cast<std::int32_t>(s.Int(8));
    row.transformation = static_cast<std::int32_t>(s.Int(9));
    row.fixation = static_cast<std::int32_t>(s.Int(10));
    if (!s.IsNull(11)) {
      const auto ids = s.Vector<std::int32_t>(11);
      if (ids.size() != 3u * row.nodeCount)
        Damaged(d.fileName, "per-node ids of an element have a wrong size");
      PerNodeIds& p = d.PerNodeOf(row);
      for (unsigned i = 0; i < row.nodeCount; ++i) {
        p.eccentricity[i] = ids[i];
        p.transformation[i] = ids[row.nodeCount + i];
        p.fixation[i] = ids[2 * row.nodeCount + i];
      }
    }
    ++d.elementCount;
  }
}

void ReadPropertyTables(Sql::Connection& db, ModelData& d) {
  {
    Sql::Statement s(db, "SELECT id, vector FROM eccentricities");
    while (s.Step()) {
      CheckDenseId(d, "eccentricity", s.Int(0), d.eccentricities.size());
      const auto v = DoublesOf(d, s, 1, 3, "an eccentricity");
      d.eccentricities[s.Int(0) - 1] = vec3d(v[0], v[1], v[2]);
    }
  }
  {
    Sql::Statement s(db, "SELECT id, vector, matrix FROM transformations");
    while (s.Step()) {
      CheckDenseId(d, "transformation", s.Int(0), d.transformations.size());
      TransformationRow& row = d.transformations[s.Int(0) - 1];
      const auto v = DoublesOf(d, s, 1, 3, "a transformation vector");
      row.vector = vec3d(v[0], v[1], v[2]);
      const auto m = DoublesOf(d, s, 2, 9, "a transformation matrix");
      std::copy(m.begin(), m.end(), row.matrix.begin());
    }
  }
  {
    Sql::Statement s(db, "SELECT id, fixation FROM hinges");
    while (s.Step()) {
      CheckDenseId(d, "hinge", s.Int(0), d.hinges.size());
      const auto f = s.Vector<double>(1);
      if (f.size() != 6) Damaged(d.fileName, "a hinge has a wrong size");
      std::array<double, 6> values;
      std::copy(f.begin(), f.end(), values.begin());
      d.hinges[s.Int(0) - 1] = Hinge(values);
    }
  }
  {
    Sql::Statement s(db, "SELECT id, type, role, parent, name FROM concepts");
    while (s.Step())
      d.concepts[s.Int(0)] = StructureConcept{s.Int(0), s.Int(1), s.Int(2), s.Int(3), s.Text(4)};
  }
  {
    Sql::Statement s(db, "SELECT id, name, properties FROM materials");
    while (s.Step()) {
      const auto p = DoublesOf(d, s, 2, 5, "a material");
      try {
        d.materials[s.Int(0)] =
            MaterialRow{s.Text(1), boost::make_shared<qlMaterial>(p[0], p[1], p[2], p[3], p[4])};
      } catch (const std::invalid_argument& e) {
        Damaged(d.fileName, "material " + std::to_string(s.Int(0)) + ": " + e.what());
      }
    }
  }
  {
    Sql::Statement s(db, "SELECT id, name, kind, dimensions, properties, thickness FROM sections");
    while (s.Step()) {
      SectionRow row;
      row.name = s.Text(1);
      if (s.IsNull(2)) {
        row.thickness = DoublesOf(d, s, 5, 1, "a thickness")[0];
      } else {
        const auto dims = s.Vector<double>(3);
        const auto props = s.Vector<double>(4);
        if (dims.size() != 4 || props.size() != 6) Damaged(d.fileName, "a section has a wrong size");
        try {
          switch (static_cast<qlSection::Kind>(s.Int(2))) {
            case qlSection::Kind::Pipe:
              row.section = boost::make_shared<qlSection>(qlSection::Pipe(dims[0], dims[1]));
              break;
            case qlSection::Kind::IProfile:
              row.section =
                  boost::make_shared<qlSection>(qlSection::IProfile(dims[0], dims[1], dims[2], dims[3]));
              break;
            case qlSection::Kind::Box:
              row.section = boost::make_shared<qlSection>(qlSection::Box(dims[0], dims[1], dims[2], dims[3]));
              break;
            case qlSection::Kind::Rectangle:
              row.section = boost::make_shared<qlSection>(qlSection::Rectangle(dims[0], dims[1]));
              break;
            case qlSection::Kind::General: {
              qlSectionProperties p;
              p.area = props[0];
              p.iy = props[1];
              p.iz = props[2];
              p.it = props[3];
              p.shearAreaY = props[4];
              p.shearAreaZ = props[5];
              row.section = boost::make_shared<qlSection>(qlSection::General(p));
              break;
            }
            default:
              Damaged(d.fileName, "section " + std::to_string(s.Int(0)) + " has an unknown kind");
          }
        } catch (const std::invalid_argument& e) {
          Damaged(d.fileName, "section " + std::to_string(s.Int(0)) + ": " + e.what());
        }
      }
      d.sections[s.Int(0)] = std::move(row);
    }
  }
  {
    Sql::Statement s(db, "SELECT id, name, nodes, elements FROM sets");
    while (s.Step()) {
      SetRow row;
      row.name = s.Text(1);
      for (std::int64_t n : s.Vector<std::int64_t>(2)) row.content.AddNode(n);
      for (std::int64_t e : s.Vector<std::int64_t>(3)) row.content.AddElement(e);
      d.sets[s.Int(0)] = std::move(row);
    }
  }
  {
    Sql::Statement s(db, "SELECT node, name, masses, transnod, boundary FROM node_properties");
    while (s.Step()) {
      NodePropertyRow row;
      row.name = s.Text(1);
      const auto masses = s.Vector<double>(2);
      if (masses.size() % 6 != 0) Damaged(d.fileName, "node masses have a wrong size");
      for (std::size_t i = 0; i < masses.size(); i += 6)
        row.masses.emplace_back(masses[i], masses[i + 1], masses[i + 2], masses[i + 3], masses[i + 4],
                                masses[i + 5]);
      row.transnod = s.Int(3);
      if (!s.IsNull(4)) {
        const auto f = s.Vector<double>(4);
        if (f.size() != 6) Damaged(d.fileName, "a boundary condition has a wrong size");
        std::array<double, 6> values;
        std::copy(f.begin(), f.end(), values.begin());
        row.boundaryCondition = Hinge(values);
      }
      d.nodeProperties[s.Int(0)] = std::move(row);
    }
  }
}

boost::shared_ptr<Load> DecodeLoad(const ModelData& d, int record, int loadType,
                                   const std::vector<double>& v) {
  boost::shared_ptr<Load> load;
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
      load = p;
      break;
    }
    case Schema::kLineRecord:
      need(6);
      load = boost::make_shared<LineLoad>(vec3d(v[0], v[1], v[2]), vec3d(v[3], v[4], v[5]));
      break;
    case Schema::kSurfaceRecord:
      need(1);
      load = boost::make_shared<SurfaceLoad>(v[0]);
      break;
    case Schema::kInitialStrainRecord:
      need(1);
      load = boost::make_shared<InitialStrainLoad>(v[0]);
      break;
    default:
      Damaged(d.fileName, "a load has an unknown record class");
  }
  switch (loadType) {
    case LoadType::PointForce:
    case LoadType::LineForce:
    case LoadType::SurfacePressure:
    case LoadType::NodeAcceleration:
    case LoadType::InitialStrain:
      load->SetLoadType(static_cast<LoadType::Options>(loadType));
      break;
    default:
      Damaged(d.fileName, "a load has an unknown load type");
  }
  return load;
}

void ReadLoads(Sql::Connection& db, ModelData& d) {
  {
    Sql::Statement s(db, "SELECT id, name, gravity_option, gravity FROM load_cases");
    while (s.Step()) {
      LoadCaseRow& row = d.loadCases[s.Int(0)];
      if (!s.IsNull(1)) row.name = s.Text(1);
      if (!s.IsNull(2)) {
        const auto g = DoublesOf(d, s, 3, 3, "a gravity load");
        row.gravity = GravityLoad{s.Int(2), vec3d(g[0], g[1], g[2])};
      }
    }
  }
  Sql::Statement s(
      db, "SELECT load_case, kind, target, record, load_type, data FROM loads ORDER BY load_case, seq");
  while (s.Step()) {
    auto it = d.loadCases.find(s.Int(0));
    if (it == d.loadCases.end()) Damaged(d.fileName, "a load belongs to a missing load case");
    const std::int64_t kind = s.Int(1);
    if (kind < static_cast<int>(LoadKind::Point) || kind > static_cast<int>(LoadKind::NodeAcceleration))
      Damaged(d.fileName, "a load has an unknown kind");
    it->second.loads.push_back(LoadEntry{
        static_cast<LoadKind>(kind), s.Int(2),
        DecodeLoad(d, static_cast<int>(s.Int(3)), static_cast<int>(s.Int(4)), s.Vector<double>(5))});
  }
}

}  // namespace

void Read(ModelData& d) {
  CheckHeader(d.fileName);
  const int flags = HasHotJournal(d.fileName) ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  Sql::Connection db(d.fileName, flags);
  try {
    db.Exec("BEGIN");
    ReadMeta(db, d);
    ReadMesh(db, d);
    ReadPropertyTables(db, d);
    ReadLoads(db, d);
    db.Exec("COMMIT");
  } catch (const Sql::SqlError& e) {
    // SQLite's own complaints while reading (malformed pages, missing
    // tables or columns) mean the file is damaged.
    Damaged(d.fileName, e.what());
  }
}

// ---- writing ------------------------------------------------------------------

namespace {

void WriteMeta(Sql::Connection& db, const ModelData& d) {
  Sql::Statement s(db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
  s.Bind(1, std::string("magic")).Bind(2, std::string(Schema::kMagic)).Run();
  const std::pair<const char*, std::int64_t> values[] = {
      {"schema_version", Schema::kVersion},
      {"unit_system", d.unitSystem},
      {"archive_mode", d.archiveMode ? 1 : 0},
      {"materials", d.counters.material},
      {"sections", d.counters.section},
      {"sets", d.counters.set},
      {"concepts", d.counters.concept},
      {"nodes", static_cast<std::int64_t>(d.nodes.size())},
      {"elements", static_cast<std::int64_t>(d.elements.size())},
      {"eccentricities", static_cast<std::int64_t>(d.eccentricities.size())},
      {"transformations", static_cast<std::int64_t>(d.transformations.size())},
      {"hinges", static_cast<std::int64_t>(d.hinges.size())},
  };
  for (const auto& [key, value] : values) s.Bind(1, std::string(key)).Bind(2, value).Run();
}

void WriteMesh(Sql::Connection& db, const ModelData& d) {
  {
    Sql::Statement s(db, "INSERT OR REPLACE INTO nodes(id, position) VALUES(?, ?)");
    for (std::size_t i = d.flushedNodes; i < d.nodes.size(); ++i)
      s.Bind(1, static_cast<std::int64_t>(i + 1)).BindStaticBlob(2, &d.nodes[i], 3 * sizeof(double)).Run();
  }
  Sql::Statement put(
      db,
      "INSERT OR REPLACE INTO elements(id, type, n0, n1, n2, n3, section, material, eccentricity,"
      " transformation, fixation, per_node) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  Sql::Statement remove(db, "DELETE FROM elements WHERE id = ?");
  std::vector<std::int32_t> perNode;
  for (std::int32_t id : d.dirtyElements) {
    const ElementRow& row = d.elements[id - 1];
    if (!row.Exists()) {
      remove.Bind(1, static_cast<std::int64_t>(id)).Run();
      continue;
    }
    put.Bind(1, static_cast<std::int64_t>(id)).Bind(2, static_cast<std::int64_t>(row.type));
    for (unsigned i = 0; i < kMaxElementNodes; ++i) {
      if (i < row.nodeCount)
        put.Bind(3 + i, static_cast<std::int64_t>(row.nodes[i]));
      else
        put.BindNull(3 + i);
    }
    put.Bind(7, static_cast<std::int64_t>(row.section))
        .Bind(8, static_cast<std::int64_t>(row.material))
        .Bind(9, static_cast<std::int64_t>(row.eccentricity))
        .Bind(10, static_cast<std::int64_t>(row.transformation))
        .Bind(11, static_cast<std::int64_t>(row.fixation));
    if (row.perNode >= 0) {
      const PerNodeIds& p = d.perNodeIds[row.perNode];
      perNode.assign(p.eccentricity.begin(), p.eccentricity.begin() + row.nodeCount);
      perNode.insert(perNode.end(), p.transformation.begin(), p.transformation.begin() + row.nodeCount);
      perNode.insert(perNode.end(), p.fixation.begin(), p.fixation.begin() + row.nodeCount);
      put.BindVector(12, perNode);
    } else {
      put.BindNull(12);
    }
    put.Run();
  }
}

// Writes the rows of a dense table added since the last flush and those
// replaced in place.
template <class Rows, class BindRow>
void WriteDense(Sql::Statement& s, const Rows& rows, std::size_t flushed, const std::set<long>& replaced,
                BindRow bind) {
  for (long id : replaced)
    if (static_cast<std::size_t>(id) <= flushed) {
      bind(s, id, rows[id - 1]);
      s.Run();
    }
  for (std::size_t i = flushed; i < rows.size(); ++i) {
    bind(s, static_cast<long>(i + 1), rows[i]);
    s.Run();
  }
}

// Writes the changed rows of a sparse table: rows that exist are replaced,
// the others deleted.
template <class Map, class BindRow>
void WriteSparse(Sql::Connection& db, const char* table, const char* key, const char* insert, const Map& rows,
                 const std::set<long>& changed, BindRow bind) {
  if (changed.empty()) return;
  Sql::Statement put(db, insert);
  Sql::Statement remove(db, (std::string("DELETE FROM ") + table + " WHERE " + key + " = ?").c_str());
  for (long id : changed) {
    auto it = rows.find(id);
    if (it == rows.end()) {
      remove.Bind(1, static_cast<std::int64_t>(id)).Run();
    } else {
      put.Bind(1, static_cast<std::int64_t>(id));
      bind(put, it->second);
      put.Run();
    }
  }
}

std::vector<double> Doubles(const std::array<double, 6>& a) {
  return std::vector<double>(a.begin(), a.end());
}

void WritePropertyTables(Sql::Connection& db, const ModelData& d) {
  {
    Sql::Statement s(db, "INSERT OR REPLACE INTO eccentricities(id, vector) VALUES(?, ?)");
    WriteDense(s, d.eccentricities, d.flushedEccentricities, d.dirtyEccentricities,
               [](Sql::Statement& st, long id, const vec3d& v) {
                 st.Bind(1, static_cast<std::int64_t>(id)).BindVector(2, std::vector<double>{v.x, v.y, v.z});
               });
  }
  {
    Sql::Statement s(db, "INSERT OR REPLACE INTO transformations(id, vector, matrix) VALUES(?, ?, ?)");
    WriteDense(s, d.transformations, d.flushedTransformations, d.dirtyTransformations,
               [](Sql::Statement& st, long id, const TransformationRow& t) {
                 st.Bind(1, static_cast<std::int64_t>(id));
                 st.BindVector(2, std::vector<double>{t.vector.x, t.vector.y, t.vector.z});
                 st.BindBlob(3, t.matrix.data(), sizeof t.matrix);
               });
  }
  {
    Sql::Statement s(db, "INSERT OR REPLACE INTO hinges(id, fixation) VALUES(?, ?)");
    WriteDense(s, d.hinges, d.flushedHinges, d.dirtyHinges, [](Sql::Statement& st, long id, const Hinge& h) {
      st.Bind(1, static_cast<std::int64_t>(id)).BindBlob(2, h.Fixations().data(), sizeof(double) * 6);
    });
  }
  WriteSparse(db, "concepts", "id",
              "INSERT OR REPLACE INTO concepts(id, type, role, parent, name) VALUES(?, ?, ?, ?, ?)",
              d.concepts, d.dirtyConcepts, [](Sql::Statement& s, const StructureConcept& c) {
                s.Bind(2, static_cast<std::int64_t>(c.type)).Bind(3, static_cast<std::int64_t>(c.role));
                s.Bind(4, static_cast<std::int64_t>(c.parent)).Bind(5, c.name);
              });
  WriteSparse(db, "materials", "id", "INSERT OR REPLACE INTO materials(id, name, properties) VALUES(?, ?, ?)",
              d.materials, d.dirtyMaterials, [](Sql::Statement& s, const MaterialRow& m) {
                const qlMaterial& q = *m.material;
                s.Bind(2, m.name).BindVector(
                    3, std::vector<double>{q.YoungsModulus(), q.PoissonsRatio(), q.Density(),
                                           q.ThermalExpansion(), q.DampingRatio()});
              });
  WriteSparse(
      db, "sections", "id",
      "INSERT OR REPLACE INTO sections(id, name, kind, dimensions, properties, thickness)"
      " VALUES(?, ?, ?, ?, ?, ?)",
      d.sections, d.dirtySections, [](Sql::Statement& s, const SectionRow& row) {
        s.Bind(2, row.name);
        if (row.section) {
          const qlSection& q = *row.section;
          const std::vector<double> dims{q.Dimension(0), q.Dimension(1), q.Dimension(2), q.Dimension(3)};
          const qlSectionProperties& p = q.Properties();
          const std::vector<double> props{p.area, p.iy, p.iz, p.it, p.shearAreaY, p.shearAreaZ};
          s.Bind(3, static_cast<std::int64_t>(q.GetKind())).BindVector(4, dims).BindVector(5, props);
          s.BindNull(6);
        } else {
          s.BindNull(3).BindNull(4).BindNull(5).BindVector(6, std::vector<double>{*row.thickness});
        }
      });
  WriteSparse(db, "sets", "id", "INSERT OR REPLACE INTO sets(id, name, nodes, elements) VALUES(?, ?, ?, ?)",
              d.sets, d.dirtySets, [](Sql::Statement& s, const SetRow& row) {
                const std::vector<std::int64_t> nodes(row.content.Nodes().begin(), row.content.Nodes().end());
                const std::vector<std::int64_t> elements(row.content.Elements().begin(),
                                                         row.content.Elements().end());
                s.Bind(2, row.name).BindVector(3, nodes).BindVector(4, elements);
              });
  WriteSparse(
      db, "node_properties", "node",
      "INSERT OR REPLACE INTO node_properties(node, name, masses, transnod, boundary) VALUES(?, ?, ?, ?, ?)",
      d.nodeProperties, d.dirtyNodeProperties, [](Sql::Statement& s, const NodePropertyRow& row) {
        std::vector<double> masses;
        for (const Mass& m : row.masses) masses.insert(masses.end(), m.Values().begin(), m.Values().end());
        s.Bind(2, row.name).BindVector(3, masses).Bind(4, static_cast<std::int64_t>(row.transnod));
        if (row.boundaryCondition)
          s.BindVector(5, Doubles(row.boundaryCondition->Fixations()));
        else
          s.BindNull(5);
      });
}

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

void WriteLoads(Sql::Connection& db, const ModelData& d) {
  if (d.dirtyLoadCases.empty()) return;
  Sql::Statement clear(db, "DELETE FROM loads WHERE load_case = ?");
  Sql::Statement removeCase(db, "DELETE FROM load_cases WHERE id = ?");
  Sql::Statement putCase(
      db, "INSERT OR REPLACE INTO load_cases(id, name, gravity_option, gravity) VALUES(?, ?, ?, ?)");
  Sql::Statement putLoad(db,
                         "INSERT INTO loads(load_case, seq, kind, target, record, load_type, data)"
                         " VALUES(?, ?, ?, ?, ?, ?, ?)");
  for (long lc : d.dirtyLoadCases) {
    clear.Bind(1, static_cast<std::int64_t>(lc)).Run();
    auto it = d.loadCases.find(lc);
    if (it == d.loadCases.end()) {
      removeCase.Bind(1, static_cast<std::int64_t>(lc)).Run();
      continue;
    }
    const LoadCaseRow& row = it->second;
    putCase.Bind(1, static_cast<std::int64_t>(lc));
    if (row.name)
      putCase.Bind(2, *row.name);
    else
      putCase.BindNull(2);
    if (row.gravity) {
      const vec3d& g = row.gravity->acceleration;
      putCase.Bind(3, static_cast<std::int64_t>(row.gravity->option))
          .BindVector(4, std::vector<double>{g.x, g.y, g.z});
    } else {
      putCase.BindNull(3).BindNull(4);
    }
    putCase.Run();
    std::int64_t seq = 0;
    for (const LoadEntry& e : row.loads) {
      const auto [record, values] = EncodeLoad(d, *e.record);
      putLoad.Bind(1, static_cast<std::int64_t>(lc)).Bind(2, seq++).Bind(3, static_cast<int>(e.kind));
      putLoad.Bind(4, static_cast<std::int64_t>(e.target)).Bind(5, record);
      putLoad.Bind(6, static_cast<int>(e.record->loadType())).BindVector(7, values);
      putLoad.Run();
    }
  }
}

// Marks every row as changed, so that a flush into a new file writes the
// whole model even when parts of it were written to a file before (a model
// whose file was removed since it was opened or last flushed).
void MarkEverythingChanged(ModelData& d) {
  d.flushedNodes = d.flushedEccentricities = d.flushedTransformations = d.flushedHinges = 0;
  for (std::size_t i = 0; i < d.elements.size(); ++i)
    if (d.elements[i].Exists()) d.MarkElement(static_cast<long>(i) + 1);
  for (const auto& entry : d.concepts) d.dirtyConcepts.insert(entry.first);
  for (const auto& entry : d.materials) d.dirtyMaterials.insert(entry.first);
  for (const auto& entry : d.sections) d.dirtySections.insert(entry.first);
  for (const auto& entry : d.sets) d.dirtySets.insert(entry.first);
  for (const auto& entry : d.nodeProperties) d.dirtyNodeProperties.insert(entry.first);
  for (const auto& entry : d.loadCases) d.dirtyLoadCases.insert(entry.first);
}

void SetSynchronous(Sql::Connection& db, const ModelData& d) {
  db.Exec(d.archiveMode ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL");
}

}  // namespace

namespace {

// Writes what changed in one transaction on an open connection.
void WriteChanges(Sql::Connection& db, const ModelData& d, bool creating) {
  SetSynchronous(db, d);
  db.Exec("BEGIN IMMEDIATE");
  try {
    if (creating) {
      db.Exec(Schema::kCreateTables);
      db.Exec("PRAGMA application_id = " + std::to_string(Schema::kApplicationId));
      db.Exec("PRAGMA user_version = " + std::to_string(Schema::kVersion));
    }
    WriteMeta(db, d);
    WriteMesh(db, d);
    WritePropertyTables(db, d);
    WriteLoads(db, d);
    db.Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void RemoveWithJournal(const std::string& name) {
  for (const char* suffix : {"", "-journal"}) ::unlink((name + suffix).c_str());
}

// Makes the directory entry of a renamed file durable.
void SyncDirectoryOf(const std::string& name) {
  const std::string::size_type slash = name.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The first flush builds the whole model in a file beside the target and
// renames it into place only once it is complete, so that a crash during it
// leaves no half-made model file behind: the target either does not exist
// (the model was never flushed) or holds the whole first flush.
void CreateFile(ModelData& d) {
  const std::string temporary = d.fileName + ".new";
  RemoveWithJournal(temporary);  // what a crashed first flush left
  MarkEverythingChanged(d);
  try {
    {
      FileConnection file(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
      file.db.Exec("PRAGMA journal_mode = DELETE");
      WriteChanges(file.db, d, true);
    }
    if (::rename(temporary.c_str(), d.fileName.c_str()) != 0)
      throw ModelError("cannot create model file \"" + d.fileName + "\": " + std::strerror(errno));
  } catch (...) {
    RemoveWithJournal(temporary);
    throw;
  }
  if (d.archiveMode) SyncDirectoryOf(d.fileName);
  auto file = std::make_shared<FileConnection>(d.fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
  file->db.Exec("PRAGMA journal_mode = DELETE");
  d.file = std::move(file);
}

}  // namespace

void Write(ModelData& d) {
  if (!d.file) {
    if (FileSize(d.fileName) < 0) {
      CreateFile(d);
      return;
    }
    CheckHeader(d.fileName);
    auto file = std::make_shared<FileConnection>(d.fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    file->db.Exec("PRAGMA journal_mode = DELETE");
    d.file = std::move(file);
  }
  WriteChanges(d.file->db, d, false);
}

}  // namespace ModelFile
}  // namespace Kestrum::Quilm::AnalysisModel
