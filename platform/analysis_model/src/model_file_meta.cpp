// The meta table: key/value pairs identifying the file and holding the
// model's settings, id counters and dense table sizes.
#include <map>

#include "model_file_tables.hpp"
#include "model_schema.hpp"

namespace Kestrum::Quilm::AnalysisModel::ModelFile {

const char* const MetaTable::kCreate =
    R"sql(CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID)sql";

namespace {

const char* const kFlushTokenKey = "flush_token";

// The integer values by key; the magic text is checked on the way.
std::map<std::string, std::int64_t> ReadMetaValues(Sql::Connection& db, const ModelData& d) {
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
  return values;
}

// The row check of the meta table: every value is present and lies in
// 0..kMaxId.
std::int64_t CheckedMetaValue(const ModelData& d, const std::map<std::string, std::int64_t>& values,
                              const char* key) {
  auto it = values.find(key);
  if (it == values.end()) Damaged(d.fileName, std::string("meta value ") + key + " is missing");
  if (it->second < 0 || it->second > kMaxId)
    Damaged(d.fileName, std::string("meta value ") + key + " is invalid");
  return it->second;
}

}  // namespace

void MetaTable::Read(Sql::Connection& db, ModelData& d) {
  const auto values = ReadMetaValues(db, d);
  auto get = [&](const char* key) { return CheckedMetaValue(d, values, key); };
  d.stored.version = get("schema_version");
  if (d.stored.version > Schema::kVersion || d.stored.version < Schema::kOldestVersion)
    Damaged(d.fileName,
            "meta schema version " + std::to_string(d.stored.version) + " is not one this library reads");
  const std::int64_t unit = get("unit_system");
  if (unit != d.unitSystem)
    throw ModelError("model file \"" + d.fileName + "\" uses unit system " + std::to_string(unit) +
                     ", not the requested " + std::to_string(d.unitSystem));
  d.archiveMode = get("archive_mode") != 0;
  d.counters.material = get("materials");
  d.counters.section = get("sections");
  d.counters.set = get("sets");
  d.counters.concept = get("concepts");
  d.stored.nodes = get("nodes");
  d.stored.eccentricities = get("eccentricities");
  d.stored.transformations = get("transformations");
  d.stored.hinges = get("hinges");
  // Removed elements keep their ids, so the element count is the largest id
  // handed out, not the rows present; each row read is checked against it,
  // and the table holds rows only up to the largest id read.
  d.elementIdsIssued = static_cast<std::size_t>(get("elements"));
  // Optional: files written before flush tokens have none.
  const auto token = values.find(kFlushTokenKey);
  d.tokens.stored = token == values.end() ? 0 : token->second;
}

std::int64_t MetaTable::StoredToken(Sql::Connection& db) {
  Sql::Statement s(db, "SELECT value FROM meta WHERE key = ?");
  s.Bind(1, std::string(kFlushTokenKey));
  return s.Step() ? s.Int(0) : 0;
}

void MetaTable::WriteToken(Sql::Connection& db, std::int64_t token) {
  Sql::Statement s(db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
  s.Bind(1, std::string(kFlushTokenKey)).Bind(2, token).Run();
}

// Every value is written on every flush: they are few, and the counters and
// sizes change with almost any edit.
void MetaTable::Write(Sql::Connection& db, const ModelData& d) {
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
      {"elements", static_cast<std::int64_t>(d.elementIdsIssued)},
      {"eccentricities", static_cast<std::int64_t>(d.eccentricities.size())},
      {"transformations", static_cast<std::int64_t>(d.transformations.size())},
      {"hinges", static_cast<std::int64_t>(d.hinges.size())},
  };
  for (const auto& [key, value] : values) s.Bind(1, std::string(key)).Bind(2, value).Run();
}

}  // namespace Kestrum::Quilm::AnalysisModel::ModelFile
