// The keyed tables: concepts, materials, sections, sets and node
// properties. Rows live under any id and are added, replaced and deleted
// one by one; a keyed table's id counter is kept in the meta table. Each
// table's Read<Row> function decodes and checks one stored row.
#include <array>
#include <boost/make_shared.hpp>

#include "model_file_tables.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

namespace {

std::vector<double> Doubles(const std::array<double, 6>& a) {
  return std::vector<double>(a.begin(), a.end());
}

}  // namespace

// ---- concepts ----------------------------------------------------------------------

// type, role: the host's numbers; parent: the parent concept's id, -1 for
// none.
const char* const ConceptsTable::kCreate =
    R"sql(CREATE TABLE concepts(id INTEGER PRIMARY KEY, type INTEGER, role INTEGER, parent INTEGER, name TEXT))sql";

namespace {

StructureConcept ReadConceptRow(const ModelData& d, const Sql::Statement& s) {
  CheckedId(d, "concepts", s.Int(0), "id", s.Int(0), 1);
  CheckedId(d, "concepts", s.Int(0), "parent", s.Int(3), -1);
  return StructureConcept{s.Int(0), s.Int(1), s.Int(2), s.Int(3), s.Text(4)};
}

}  // namespace

void ConceptsTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, type, role, parent, name FROM concepts");
  while (s.Step()) d.concepts[s.Int(0)] = ReadConceptRow(d, s);
}

void ConceptsTable::Write(Sql::Connection& db, const ModelData& d) {
  WriteKeyed(db, "concepts", "id",
             "INSERT OR REPLACE INTO concepts(id, type, role, parent, name) VALUES(?, ?, ?, ?, ?)",
             d.concepts, d.dirtyConcepts, [](Sql::Statement& s, const StructureConcept& c) {
               s.Bind(2, static_cast<std::int64_t>(c.type)).Bind(3, static_cast<std::int64_t>(c.role));
               s.Bind(4, static_cast<std::int64_t>(c.parent)).Bind(5, c.name);
             });
}

// ---- materials ------------------------------------------------------------------

// properties: five doubles, Young's modulus, Poisson's ratio, density,
// thermal expansion and damping ratio.
const char* const MaterialsTable::kCreate =
    R"sql(CREATE TABLE materials(id INTEGER PRIMARY KEY, name TEXT, properties BLOB NOT NULL))sql";

namespace {

// A material row; values the material itself refuses mean a damaged file.
MaterialRow ReadMaterialRow(const ModelData& d, const Sql::Statement& s) {
  const auto p = DoublesOf(d, s, 2, 5, "a material");
  try {
    return MaterialRow{s.Text(1), boost::make_shared<qlMaterial>(p[0], p[1], p[2], p[3], p[4])};
  } catch (const std::invalid_argument& e) {
    Damaged(d.fileName, "material " + std::to_string(s.Int(0)) + ": " + e.what());
  }
}

}  // namespace

void MaterialsTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, name, properties FROM materials");
  while (s.Step())
    d.materials[CheckedId(d, "materials", s.Int(0), "id", s.Int(0), 1)] = ReadMaterialRow(d, s);
}

void MaterialsTable::Write(Sql::Connection& db, const ModelData& d) {
  WriteKeyed(db, "materials", "id", "INSERT OR REPLACE INTO materials(id, name, properties) VALUES(?, ?, ?)",
             d.materials, d.dirtyMaterials, [](Sql::Statement& s, const MaterialRow& m) {
               const qlMaterial& q = *m.material;
               s.Bind(2, m.name).BindVector(
                   3, std::vector<double>{q.YoungsModulus(), q.PoissonsRatio(), q.Density(),
                                          q.ThermalExpansion(), q.DampingRatio()});
             });
}

// ---- sections -------------------------------------------------------------------

// A beam section or a plate thickness. Beam section: kind (the section
// kind's number: 0 pipe, 1 I profile, 2 box, 3 rectangle, 4 general),
// dimensions (four doubles, the kind's defining dimensions, 0 where unused),
// properties (six doubles: area, Iy, Iz, It, shear areas y and z), thickness
// NULL. Thickness: kind, dimensions and properties NULL, thickness one double.
const char* const SectionsTable::kCreate =
    R"sql(CREATE TABLE sections(id INTEGER PRIMARY KEY, name TEXT, kind INTEGER, dimensions BLOB, properties BLOB,
  thickness BLOB))sql";

namespace {

// The section a beam section row defines: from its dimensions, or from its
// properties for a general section.
qlSection SectionOf(const ModelData& d, std::int64_t id, std::int64_t kind, const std::vector<double>& dims,
                    const std::vector<double>& props) {
  switch (static_cast<qlSection::Kind>(kind)) {
    case qlSection::Kind::Pipe:
      return qlSection::Pipe(dims[0], dims[1]);
    case qlSection::Kind::IProfile:
      return qlSection::IProfile(dims[0], dims[1], dims[2], dims[3]);
    case qlSection::Kind::Box:
      return qlSection::Box(dims[0], dims[1], dims[2], dims[3]);
    case qlSection::Kind::Rectangle:
      return qlSection::Rectangle(dims[0], dims[1]);
    case qlSection::Kind::General: {
      qlSectionProperties p;
      p.area = props[0];
      p.iy = props[1];
      p.iz = props[2];
      p.it = props[3];
      p.shearAreaY = props[4];
      p.shearAreaZ = props[5];
      return qlSection::General(p);
    }
  }
  Damaged(d.fileName, "section " + std::to_string(id) + " has an unknown kind");
}

// A section row; sizes or values the section refuses mean a damaged file.
SectionRow ReadSectionRow(const ModelData& d, const Sql::Statement& s) {
  SectionRow row;
  row.name = s.Text(1);
  if (s.IsNull(2)) {
    row.thickness = DoublesOf(d, s, 5, 1, "a thickness")[0];
    return row;
  }
  const auto dims = s.Vector<double>(3);
  const auto props = s.Vector<double>(4);
  if (dims.size() != 4 || props.size() != 6) Damaged(d.fileName, "a section has a wrong size");
  try {
    row.section = boost::make_shared<qlSection>(SectionOf(d, s.Int(0), s.Int(2), dims, props));
  } catch (const std::invalid_argument& e) {
    Damaged(d.fileName, "section " + std::to_string(s.Int(0)) + ": " + e.what());
  }
  return row;
}

}  // namespace

void SectionsTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, name, kind, dimensions, properties, thickness FROM sections");
  while (s.Step()) d.sections[CheckedId(d, "sections", s.Int(0), "id", s.Int(0), 1)] = ReadSectionRow(d, s);
}

void SectionsTable::Write(Sql::Connection& db, const ModelData& d) {
  WriteKeyed(db, "sections", "id",
             "INSERT OR REPLACE INTO sections(id, name, kind, dimensions, properties, thickness)"
             " VALUES(?, ?, ?, ?, ?, ?)",
             d.sections, d.dirtySections, [](Sql::Statement& s, const SectionRow& row) {
               s.Bind(2, row.name);
               if (!row.section) {
                 s.BindNull(3).BindNull(4).BindNull(5).BindVector(6, std::vector<double>{*row.thickness});
                 return;
               }
               const qlSection& q = *row.section;
               const std::vector<double> dims{q.Dimension(0), q.Dimension(1), q.Dimension(2), q.Dimension(3)};
               const qlSectionProperties& p = q.Properties();
               const std::vector<double> props{p.area, p.iy, p.iz, p.it, p.shearAreaY, p.shearAreaZ};
               s.Bind(3, static_cast<std::int64_t>(q.GetKind())).BindVector(4, dims).BindVector(5, props);
               s.BindNull(6);
             });
}

// ---- sets -----------------------------------------------------------------------------

// nodes, elements: the ids in ascending order, as 64-bit integers.
const char* const SetsTable::kCreate =
    R"sql(CREATE TABLE sets(id INTEGER PRIMARY KEY, name TEXT, nodes BLOB NOT NULL, elements BLOB NOT NULL))sql";

namespace {

SetRow ReadSetRow(const Sql::Statement& s) {
  SetRow row;
  row.name = s.Text(1);
  for (std::int64_t n : s.Vector<std::int64_t>(2)) row.content.AddNode(n);
  for (std::int64_t e : s.Vector<std::int64_t>(3)) row.content.AddElement(e);
  return row;
}

}  // namespace

void SetsTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, name, nodes, elements FROM sets");
  while (s.Step()) d.sets[CheckedId(d, "sets", s.Int(0), "id", s.Int(0), 1)] = ReadSetRow(s);
}

void SetsTable::Write(Sql::Connection& db, const ModelData& d) {
  WriteKeyed(db, "sets", "id", "INSERT OR REPLACE INTO sets(id, name, nodes, elements) VALUES(?, ?, ?, ?)",
             d.sets, d.dirtySets, [](Sql::Statement& s, const SetRow& row) {
               const std::vector<std::int64_t> nodes(row.content.Nodes().begin(), row.content.Nodes().end());
               const std::vector<std::int64_t> elements(row.content.Elements().begin(),
                                                        row.content.Elements().end());
               s.Bind(2, row.name).BindVector(3, nodes).BindVector(4, elements);
             });
}

// ---- node properties -------------------------------------------------------------

// Keyed by node id. masses: six doubles per point mass; transnod: the id
// of the node's own transformation, 0 or below for none; boundary: six doubles as in
// hinges, NULL for none.
const char* const NodePropertiesTable::kCreate =
    R"sql(CREATE TABLE node_properties(node INTEGER PRIMARY KEY, name TEXT, masses BLOB NOT NULL,
  transnod INTEGER, boundary BLOB))sql";

namespace {

NodePropertyRow ReadNodePropertyRow(const ModelData& d, const Sql::Statement& s) {
  NodePropertyRow row;
  row.name = s.Text(1);
  const auto masses = s.Vector<double>(2);
  if (masses.size() % 6 != 0) Damaged(d.fileName, "node masses have a wrong size");
  if (!AllFinite(masses.data(), masses.size()))
    DamagedRow(d, "node_properties", s.Int(0), "a mass is not finite");
  for (std::size_t i = 0; i < masses.size(); i += 6)
    row.masses.emplace_back(masses[i], masses[i + 1], masses[i + 2], masses[i + 3], masses[i + 4],
                            masses[i + 5]);
  row.transnod = CheckedId(d, "node_properties", s.Int(0), "transnod", s.Int(3), -kMaxId);
  if (!s.IsNull(4)) row.boundaryCondition = HingeOf(d, s, 4, "a boundary condition");
  return row;
}

}  // namespace

void NodePropertiesTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT node, name, masses, transnod, boundary FROM node_properties");
  while (s.Step())
    d.nodeProperties[CheckedId(d, "node_properties", s.Int(0), "node", s.Int(0), 1)] =
        ReadNodePropertyRow(d, s);
}

void NodePropertiesTable::Write(Sql::Connection& db, const ModelData& d) {
  WriteKeyed(
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

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
