// The mesh tables: nodes and elements.
#include <type_traits>

#include "model_file_tables.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

// ---- nodes ------------------------------------------------------------------------

// position: three doubles x, y, z.
const char* const NodesTable::kCreate =
    R"sql(CREATE TABLE nodes(id INTEGER PRIMARY KEY, position BLOB NOT NULL))sql";

namespace {

constexpr int kPositionBytes = 3 * sizeof(double);
// Positions are bound straight from the node table as three doubles.
static_assert(sizeof(pos3d) == kPositionBytes && std::is_standard_layout_v<pos3d>);

// The row check of the nodes table: ids run 1, 2, ... up to the stored
// count, each position three finite doubles.
pos3d CheckedNodeRow(const ModelData& d, const Sql::Statement& s, std::size_t expectedId) {
  CheckNextDenseRow(d, "nodes", s.Int(0), expectedId);
  const void* blob = sqlite3_column_blob(s.Handle(), 1);
  if (sqlite3_column_bytes(s.Handle(), 1) != kPositionBytes) DamagedRow(d, "nodes", s.Int(0), "wrong size");
  double v[3];
  PortableBytes::Decode(static_cast<const unsigned char*>(blob), 3, v);
  if (!AllFinite(v, 3)) DamagedRow(d, "nodes", s.Int(0), "position is not finite");
  return pos3d(v[0], v[1], v[2]);
}

}  // namespace

void NodesTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, position FROM nodes ORDER BY id");
  d.nodes.reserve(RowsThatFit(d, d.stored.nodes, kPositionBytes));
  std::size_t next = 1;
  while (s.Step()) {
    d.nodes.push_back(CheckedNodeRow(d, s, next));
    ++next;
  }
  CheckDenseCount(d, "nodes", d.nodes.size(), d.stored.nodes);
  // Consecutive ids: one run, inserted in ascending order.
  for (std::size_t i = 1; i <= d.nodes.size(); ++i) d.nodeIds.insert(static_cast<long>(i));
}

// Nodes never change once added: only those added since the last flush.
void NodesTable::Write(Sql::Connection& db, const ModelData& d) {
  Sql::Statement s(db, "INSERT OR REPLACE INTO nodes(id, position) VALUES(?, ?)");
  for (std::size_t i = d.flushedNodes; i < d.nodes.size(); ++i)
    s.Bind(1, static_cast<std::int64_t>(i + 1)).BindStaticValues(2, &d.nodes[i].x, 3).Run();
}

// ---- elements -------------------------------------------------------------------

// type: the element type number. n0..n3: node ids in stored order, NULL
// beyond the type's node count. section .. fixation: table ids, 0 for none,
// -1 for "one id per node", which per_node then holds: the node count's
// eccentricity ids, then as many transformation ids, then as many hinge ids,
// as 32-bit integers; NULL when no property is per node.
const char* const ElementsTable::kCreate =
    R"sql(CREATE TABLE elements(id INTEGER PRIMARY KEY, type INTEGER NOT NULL,
  n0 INTEGER, n1 INTEGER, n2 INTEGER, n3 INTEGER,
  section INTEGER, material INTEGER, eccentricity INTEGER, transformation INTEGER, fixation INTEGER,
  per_node BLOB))sql";

namespace {

// The columns of an element row, as selected and inserted; statement
// parameters are numbered from 1, result columns from 0.
enum ElementColumn {
  kId,
  kType,
  kFirstNode,
  kSection = 6,
  kMaterial,
  kEccentricity,
  kTransformation,
  kFixation,
  kPerNode
};

// An element type number as stored: a known type of at most
// kMaxElementNodes nodes.
const qlElementType& CheckedElementType(const ModelData& d, std::int64_t id, std::int64_t number) {
  const qlElementType* type = FindElementType(number);
  if (type == nullptr) Damaged(d.fileName, "element " + std::to_string(id) + " has an unknown type");
  if (type->NodeCount() > kMaxElementNodes || type->Number() <= 0)
    Damaged(d.fileName, "unsupported element type");
  return *type;
}

void ReadPerNodeIds(ModelData& d, const Sql::Statement& s, ElementRow& row) {
  const auto ids = s.Vector<std::int32_t>(kPerNode);
  if (ids.size() != 3u * row.nodeCount) Damaged(d.fileName, "per-node ids of an element have a wrong size");
  PerNodeIds& p = d.PerNodeOf(row);
  for (unsigned i = 0; i < row.nodeCount; ++i) {
    p.eccentricity[i] = ids[i];
    p.transformation[i] = ids[row.nodeCount + i];
    p.fixation[i] = ids[2 * row.nodeCount + i];
  }
}

// The fewest bytes an element row takes in the file (its id, type and node
// count alone), which bounds what reading reserves.
constexpr std::size_t kLeastElementRowBytes = 8;

// Decodes one stored element into its row, in place (the table is a
// million rows: no copy).
void ReadElementRow(ModelData& d, const Sql::Statement& s, std::int64_t id, ElementRow& row) {
  const qlElementType& type = CheckedElementType(d, id, s.Int(kType));
  row.type = static_cast<std::int16_t>(type.Number());
  row.nodeCount = static_cast<std::uint8_t>(type.NodeCount());
  for (unsigned i = 0; i < row.nodeCount; ++i)
    row.nodes[i] = CheckedId(d, "elements", id, "node", s.Int(kFirstNode + i), 1);
  // The node columns a type does not use are NULL: a node there means the
  // row's type was changed (a shell retyped as a beam drops its nodes).
  for (unsigned i = row.nodeCount; i < kMaxElementNodes; ++i)
    if (!s.IsNull(kFirstNode + i))
      DamagedRow(d, "elements", id,
                 "type " + type.Name() + " has " + std::to_string(row.nodeCount) + " nodes, but column n" +
                     std::to_string(i) + " holds node " + std::to_string(s.Int(kFirstNode + i)));
  row.section = CheckedId(d, "elements", id, "section", s.Int(kSection), -1);
  row.material = CheckedId(d, "elements", id, "material", s.Int(kMaterial), -1);
  row.eccentricity = CheckedId(d, "elements", id, "eccentricity", s.Int(kEccentricity), -1);
  row.transformation = CheckedId(d, "elements", id, "transformation", s.Int(kTransformation), -1);
  row.fixation = CheckedId(d, "elements", id, "fixation", s.Int(kFixation), -1);
  if (!s.IsNull(kPerNode)) ReadPerNodeIds(d, s, row);
}

void BindElementRow(Sql::Statement& s, const ModelData& d, long id, const ElementRow& row,
                    std::vector<std::int32_t>& perNode) {
  s.Bind(1 + kId, static_cast<std::int64_t>(id)).Bind(1 + kType, static_cast<std::int64_t>(row.type));
  for (unsigned i = 0; i < kMaxElementNodes; ++i) {
    if (i < row.nodeCount)
      s.Bind(1 + kFirstNode + i, static_cast<std::int64_t>(row.nodes[i]));
    else
      s.BindNull(1 + kFirstNode + i);
  }
  s.Bind(1 + kSection, static_cast<std::int64_t>(row.section))
      .Bind(1 + kMaterial, static_cast<std::int64_t>(row.material))
      .Bind(1 + kEccentricity, static_cast<std::int64_t>(row.eccentricity))
      .Bind(1 + kTransformation, static_cast<std::int64_t>(row.transformation))
      .Bind(1 + kFixation, static_cast<std::int64_t>(row.fixation));
  if (row.perNode < 0) {
    s.BindNull(1 + kPerNode);
    return;
  }
  const PerNodeIds& p = d.perNodeIds[row.perNode];
  perNode.assign(p.eccentricity.begin(), p.eccentricity.begin() + row.nodeCount);
  perNode.insert(perNode.end(), p.transformation.begin(), p.transformation.begin() + row.nodeCount);
  perNode.insert(perNode.end(), p.fixation.begin(), p.fixation.begin() + row.nodeCount);
  s.BindVector(1 + kPerNode, perNode);
}

}  // namespace

void ElementsTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(
      db,
      "SELECT id, type, n0, n1, n2, n3, section, material, eccentricity, transformation, fixation,"
      " per_node FROM elements ORDER BY id");
  d.elements.reserve(RowsThatFit(d, static_cast<std::int64_t>(d.elementIdsIssued), kLeastElementRowBytes));
  while (s.Step()) {
    const std::int64_t id = s.Int(kId);
    CheckDenseId(d, "element", id, d.elementIdsIssued);
    // Rows up to this one; those skipped are removed elements.
    if (static_cast<std::size_t>(id) == d.elements.size() + 1)
      d.elements.emplace_back();
    else
      d.elements.resize(static_cast<std::size_t>(id));
    ReadElementRow(d, s, id, d.elements[id - 1]);
    ++d.elementCount;
  }
}

// The changed elements: rows of existing elements replaced, those of
// removed elements deleted.
void ElementsTable::Write(Sql::Connection& db, const ModelData& d) {
  Sql::Statement put(
      db,
      "INSERT OR REPLACE INTO elements(id, type, n0, n1, n2, n3, section, material, eccentricity,"
      " transformation, fixation, per_node) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  Sql::Statement remove(db, "DELETE FROM elements WHERE id = ?");
  std::vector<std::int32_t> perNode;
  for (std::int32_t id : d.dirtyElements) {
    const ElementRow& row = d.elements[id - 1];
    if (row.Exists()) {
      BindElementRow(put, d, id, row, perNode);
      put.Run();
    } else {
      remove.Bind(1, static_cast<std::int64_t>(id)).Run();
    }
  }
}

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
