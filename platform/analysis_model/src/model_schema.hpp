// The model file's identification, layout version and the numbers it
// stores for record classes. The tables themselves are declared in
// model_file_tables.hpp; docs/model-file.md describes the whole format.
// Internal to the library.
#pragma once

#include <cstdint>

namespace Kestrum::Quilm::AnalysisModel::Schema {

// Stored in the SQLite header (application id) and in the meta table, so
// that a model file is told from any other SQLite database.
inline constexpr std::uint32_t kApplicationId = 0x51554c4d;  // "QULM"
inline constexpr const char* kMagic = "Kestrum Quilm analysis model";
// The layout version this library writes; files of a newer version are
// refused rather than misread. Version 2 fixes the blobs' byte order
// (little-endian, portable_bytes.hpp); version 1 files hold the same tables
// in the writing machine's order, which was little-endian wherever version
// 1 was written, so they are read alike and stamped version 2 by their
// first flush.
inline constexpr std::int64_t kVersion = 2;
inline constexpr std::int64_t kOldestVersion = 1;

// Record classes of stored loads (the loads table's record column).
enum RecordKind { kPointRecord = 1, kLineRecord = 2, kSurfaceRecord = 3, kInitialStrainRecord = 4 };

}  // namespace Kestrum::Quilm::AnalysisModel::Schema
