// The layout of the model file: identification, version and tables.
// Internal to the library.
#pragma once

#include <cstdint>

namespace Kestrum::Quilm::AnalysisModel::Schema {

// Stored in the SQLite header (application id) and in the meta table, so
// that a model file is told from any other SQLite database.
inline constexpr std::uint32_t kApplicationId = 0x51554c4d;  // "QULM"
inline constexpr const char* kMagic = "Kestrum Quilm analysis model";
// The layout version this library writes; files of a newer version are
// refused rather than misread.
inline constexpr std::int64_t kVersion = 1;

// Record classes of stored loads.
enum RecordKind { kPointRecord = 1, kLineRecord = 2, kSurfaceRecord = 3, kInitialStrainRecord = 4 };

// Every table, created by the first flush of a new model. Doubles are kept
// in blobs in the machine's byte order, bit for bit (SQLite's REAL would
// turn -0.0 into 0 and NaN into NULL); lists of ids likewise.
inline constexpr const char* kCreateTables = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
CREATE TABLE nodes(id INTEGER PRIMARY KEY, position BLOB NOT NULL);
CREATE TABLE elements(id INTEGER PRIMARY KEY, type INTEGER NOT NULL,
  n0 INTEGER, n1 INTEGER, n2 INTEGER, n3 INTEGER,
  section INTEGER, material INTEGER, eccentricity INTEGER, transformation INTEGER, fixation INTEGER,
  per_node BLOB);
CREATE TABLE eccentricities(id INTEGER PRIMARY KEY, vector BLOB NOT NULL);
CREATE TABLE transformations(id INTEGER PRIMARY KEY, vector BLOB NOT NULL, matrix BLOB NOT NULL);
CREATE TABLE hinges(id INTEGER PRIMARY KEY, fixation BLOB NOT NULL);
CREATE TABLE concepts(id INTEGER PRIMARY KEY, type INTEGER, role INTEGER, parent INTEGER, name TEXT);
CREATE TABLE materials(id INTEGER PRIMARY KEY, name TEXT, properties BLOB NOT NULL);
CREATE TABLE sections(id INTEGER PRIMARY KEY, name TEXT, kind INTEGER, dimensions BLOB, properties BLOB,
  thickness BLOB);
CREATE TABLE sets(id INTEGER PRIMARY KEY, name TEXT, nodes BLOB NOT NULL, elements BLOB NOT NULL);
CREATE TABLE node_properties(node INTEGER PRIMARY KEY, name TEXT, masses BLOB NOT NULL,
  transnod INTEGER, boundary BLOB);
CREATE TABLE load_cases(id INTEGER PRIMARY KEY, name TEXT, gravity_option INTEGER, gravity BLOB);
CREATE TABLE loads(load_case INTEGER NOT NULL, seq INTEGER NOT NULL, kind INTEGER NOT NULL,
  target INTEGER NOT NULL, record INTEGER NOT NULL, load_type INTEGER NOT NULL, data BLOB NOT NULL,
  PRIMARY KEY(load_case, seq)) WITHOUT ROWID;
)sql";

}  // namespace Kestrum::Quilm::AnalysisModel::Schema
