// The concept_members table: one row per concept whose host recorded the
// nodes and elements it owns.
#include "concept_member_data.hpp"
#include "model_file_late_tables.hpp"
#include "model_file_tables.hpp"
#include "row_rules.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

// nodes, elements: the ids in ascending order, as 64-bit integers.
const char* const ConceptMembersTable::kCreate =
    R"sql(CREATE TABLE concept_members(concept INTEGER PRIMARY KEY, nodes BLOB NOT NULL, elements BLOB NOT NULL))sql";

namespace {

std::vector<long> IdsOf(const ModelData& d, const Sql::Statement& s, int column) {
  std::vector<long> ids;
  for (std::int64_t id : s.Vector<std::int64_t>(column)) {
    if (id < 1 || id > kMaxId || (!ids.empty() && id <= ids.back()))
      Damaged(d.fileName, "concept " + std::to_string(s.Int(0)) + " has invalid members");
    ids.push_back(static_cast<long>(id));
  }
  return ids;
}

// The meta key that records the table's creation, so that a file whose
// table was dropped is told from one that never had it (files written
// before the key have the table or not, unchecked).
const char* const kCreatedKey = "concept_members_table";

}  // namespace

void ConceptMembersTable::Read(Sql::Connection& db, ModelData& d) {
  if (!HasTable(db, "concept_members")) {
    Sql::Statement created(db, "SELECT 1 FROM meta WHERE key = ?");
    if (created.Bind(1, std::string(kCreatedKey)).Step())
      Damaged(d.fileName, "the concept_members table is missing (the meta table records its creation)");
    return;
  }
  Sql::Statement s(db, "SELECT concept, nodes, elements FROM concept_members");
  while (s.Step()) {
    if (!d.conceptMembers) d.conceptMembers = std::make_shared<ConceptMemberData>();
    ConceptMembers members{IdsOf(d, s, 1), IdsOf(d, s, 2)};
    const std::string problem = ConceptMembersProblem(d, static_cast<long>(s.Int(0)), members);
    if (!problem.empty()) DamagedRow(d, "concept_members", s.Int(0), problem);
    d.conceptMembers->rows[s.Int(0)] = std::move(members);
  }
}

void ConceptMembersTable::Write(Sql::Connection& db, const ModelData& d) {
  if (!d.conceptMembers || d.conceptMembers->dirty.empty()) return;
  if (!HasTable(db, "concept_members")) {
    if (d.conceptMembers->rows.empty()) return;
    db.Exec(kCreate);
  }
  Sql::Statement created(db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, 1)");
  created.Bind(1, std::string(kCreatedKey)).Run();
  WriteKeyed(db, "concept_members", "concept",
             "INSERT OR REPLACE INTO concept_members(concept, nodes, elements) VALUES(?, ?, ?)",
             d.conceptMembers->rows, d.conceptMembers->dirty, [](Sql::Statement& s, const ConceptMembers& m) {
               s.BindVector(2, std::vector<std::int64_t>(m.nodes.begin(), m.nodes.end()))
                   .BindVector(3, std::vector<std::int64_t>(m.elements.begin(), m.elements.end()));
             });
}

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
