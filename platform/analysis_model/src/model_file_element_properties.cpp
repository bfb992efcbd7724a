// The dense tables of element properties: eccentricities, transformations
// and hinges. Their ids run from 1 to the count stored in the meta table;
// rows are never deleted, only replaced. ReadEccentricityRow,
// ReadTransformationRow and HingeOf decode and check one stored row.
#include "model_file_tables.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

// ---- eccentricities -----------------------------------------------------------------

// vector: three doubles.
const char* const EccentricitiesTable::kCreate =
    R"sql(CREATE TABLE eccentricities(id INTEGER PRIMARY KEY, vector BLOB NOT NULL))sql";

namespace {

vec3d ReadEccentricityRow(const ModelData& d, const Sql::Statement& s) {
  const auto v = DoublesOf(d, s, 1, 3, "an eccentricity");
  if (!AllFinite(v.data(), 3)) DamagedRow(d, "eccentricities", s.Int(0), "vector is not finite");
  return vec3d(v[0], v[1], v[2]);
}

}  // namespace

void EccentricitiesTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, vector FROM eccentricities ORDER BY id");
  d.eccentricities.reserve(RowsThatFit(d, d.stored.eccentricities, 3 * sizeof(double)));
  while (s.Step()) {
    CheckNextDenseRow(d, "eccentricities", s.Int(0), d.eccentricities.size() + 1);
    d.eccentricities.push_back(ReadEccentricityRow(d, s));
  }
  CheckDenseCount(d, "eccentricities", d.eccentricities.size(), d.stored.eccentricities);
}

void EccentricitiesTable::Write(Sql::Connection& db, const ModelData& d) {
  Sql::Statement s(db, "INSERT OR REPLACE INTO eccentricities(id, vector) VALUES(?, ?)");
  WriteDense(s, d.eccentricities, d.flushedEccentricities, d.dirtyEccentricities,
             [](Sql::Statement& st, long id, const vec3d& v) {
               st.Bind(1, static_cast<std::int64_t>(id)).BindVector(2, std::vector<double>{v.x, v.y, v.z});
             });
}

// ---- transformations ------------------------------------------------------------

// vector: the local z axis it was defined from, three doubles; matrix: nine
// doubles, the local x, y and z axes in turn.
const char* const TransformationsTable::kCreate =
    R"sql(CREATE TABLE transformations(id INTEGER PRIMARY KEY, vector BLOB NOT NULL, matrix BLOB NOT NULL))sql";

namespace {

TransformationRow ReadTransformationRow(const ModelData& d, const Sql::Statement& s) {
  TransformationRow row;
  const auto v = DoublesOf(d, s, 1, 3, "a transformation vector");
  row.vector = vec3d(v[0], v[1], v[2]);
  const auto m = DoublesOf(d, s, 2, 9, "a transformation matrix");
  std::copy(m.begin(), m.end(), row.matrix.begin());
  if (!AllFinite(v.data(), 3) || !AllFinite(m.data(), 9))
    DamagedRow(d, "transformations", s.Int(0), "is not finite");
  for (int axis = 0; axis < 3; ++axis)
    if (m[3 * axis] == 0.0 && m[3 * axis + 1] == 0.0 && m[3 * axis + 2] == 0.0)
      DamagedRow(d, "transformations", s.Int(0), "matrix has a zero axis");
  return row;
}

}  // namespace

void TransformationsTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, vector, matrix FROM transformations ORDER BY id");
  d.transformations.reserve(RowsThatFit(d, d.stored.transformations, 12 * sizeof(double)));
  while (s.Step()) {
    CheckNextDenseRow(d, "transformations", s.Int(0), d.transformations.size() + 1);
    d.transformations.push_back(ReadTransformationRow(d, s));
  }
  CheckDenseCount(d, "transformations", d.transformations.size(), d.stored.transformations);
}

void TransformationsTable::Write(Sql::Connection& db, const ModelData& d) {
  Sql::Statement s(db, "INSERT OR REPLACE INTO transformations(id, vector, matrix) VALUES(?, ?, ?)");
  WriteDense(s, d.transformations, d.flushedTransformations, d.dirtyTransformations,
             [](Sql::Statement& st, long id, const TransformationRow& t) {
               st.Bind(1, static_cast<std::int64_t>(id));
               st.BindVector(2, std::vector<double>{t.vector.x, t.vector.y, t.vector.z});
               st.BindValues(3, t.matrix.data(), t.matrix.size());
             });
}

// ---- hinges ------------------------------------------------------------------------

// fixation: six doubles, the fixity of the three translations and three
// rotations.
const char* const HingesTable::kCreate =
    R"sql(CREATE TABLE hinges(id INTEGER PRIMARY KEY, fixation BLOB NOT NULL))sql";

void HingesTable::Read(Sql::Connection& db, ModelData& d) {
  Sql::Statement s(db, "SELECT id, fixation FROM hinges ORDER BY id");
  d.hinges.reserve(RowsThatFit(d, d.stored.hinges, 6 * sizeof(double)));
  while (s.Step()) {
    CheckNextDenseRow(d, "hinges", s.Int(0), d.hinges.size() + 1);
    d.hinges.push_back(HingeOf(d, s, 1, "a hinge"));
  }
  CheckDenseCount(d, "hinges", d.hinges.size(), d.stored.hinges);
}

void HingesTable::Write(Sql::Connection& db, const ModelData& d) {
  Sql::Statement s(db, "INSERT OR REPLACE INTO hinges(id, fixation) VALUES(?, ?)");
  WriteDense(s, d.hinges, d.flushedHinges, d.dirtyHinges, [](Sql::Statement& st, long id, const Hinge& h) {
    st.Bind(1, static_cast<std::int64_t>(id)).BindValues(2, h.Fixations().data(), h.Fixations().size());
  });
}

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
