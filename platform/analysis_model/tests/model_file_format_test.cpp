// The model file's byte layout: numbers little-endian on every machine with
// their bit patterns kept, and files of schema version 1 opened as they are
// and upgraded by their first flush.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"
#include "model_snapshot.hpp"
#include "portable_bytes.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

template <class T, bool NativeLittleEndian>
std::string Encoded(T value) {
  unsigned char bytes[sizeof(T)];
  PortableBytes::Encode<T, NativeLittleEndian>(&value, 1, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof(T));
}

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// The machine here is little-endian; the swapping path, which a big-endian
// machine takes, must reverse each value's bytes and read them back whole.
TEST(PortableBytesTest, ValuesAreLittleEndianAndKeepTheirBits) {
  ASSERT_TRUE(PortableBytes::kNativeIsLittleEndian);
  const double nanWithPayload = [] {
    const std::uint64_t bits = 0x7FF800000000BEEFull;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }();
  const struct {
    double value;
    const char* bytes;
  } doubles[] = {
      {1.0, "\x00\x00\x00\x00\x00\x00\xF0\x3F"},
      {-0.0, "\x00\x00\x00\x00\x00\x00\x00\x80"},
      {nanWithPayload, "\xEF\xBE\x00\x00\x00\x00\xF8\x7F"},
  };
  for (const auto& c : doubles) {
    SCOPED_TRACE(c.value);
    const std::string little = Encoded<double, true>(c.value);
    EXPECT_EQ(little, std::string(c.bytes, 8));
    std::string swapped = Encoded<double, false>(c.value);
    std::reverse(swapped.begin(), swapped.end());
    EXPECT_EQ(swapped, little);
    double back = 0;
    PortableBytes::Decode<double, false>(
        reinterpret_cast<const unsigned char*>(Encoded<double, false>(c.value).data()), 1, &back);
    EXPECT_EQ(Bits(back), Bits(c.value));
  }
  EXPECT_EQ((Encoded<std::int32_t, true>(-2)), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ((Encoded<std::int64_t, true>(258)), std::string("\x02\x01\x00\x00\x00\x00\x00\x00", 8));
}

std::string QueryText(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* s = nullptr;
  std::string text;
  if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
    text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
  sqlite3_finalize(s);
  sqlite3_close(db);
  return text;
}

using ModelFileFormatTest = XafModelTest;

TEST_F(ModelFileFormatTest, StoredNumbersAreLittleEndianAndSurviveBitForBit) {
  AddNode(1.0, -0.0, 2.5);
  double nan;
  const std::uint64_t payload = 0x7FF800000000BEEFull;
  std::memcpy(&nan, &payload, sizeof nan);
  const long thickness = model->Sections().AddThickness(nan, "", -1);
  model->Flush();
  EXPECT_EQ(QueryText(path, "SELECT hex(position) FROM nodes WHERE id = 1"),
            "000000000000F03F00000000000000800000000000000440");
  EXPECT_EQ(QueryText(path, "PRAGMA user_version"), "2");
  Reopen();
  const pos3d p = model->GetConnectivityManager().GetNodeById(1).GetPos();
  EXPECT_TRUE(std::signbit(p.y));
  EXPECT_EQ(Bits(*model->Sections().GetSection(thickness)->GetThickness()), payload);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A frame written by the library's schema version 1: read as it is, left
// alone by a read-only open, upgraded by the first flush with every table
// kept.
TEST_F(ModelFileFormatTest, SchemaVersionOneFilesOpenAndAreUpgradedByTheirFirstFlush) {
  model.reset();
  RemoveModelFiles(path);
  std::filesystem::copy_file(QUILM_ANALYSIS_MODEL_TEST_DATA "/frame_schema1.qdb", path);
  const std::string original = FileBytes(path);
  ASSERT_EQ(QueryText(path, "PRAGMA user_version"), "1");
  std::map<std::string, std::string> tables;
  {
    XafModel reader(path, 0, 1, false);
    EXPECT_EQ(reader.Validate(), "");
    EXPECT_EQ(reader.Elements().Count(), 44u);
    tables = Snapshot(reader);
  }
  EXPECT_EQ(FileBytes(path), original);
  model = std::make_unique<XafModel>(path, 1, 1, false);
  EXPECT_EQ(Snapshot(*model), tables);
  const std::string name = model->NodeProperties().GetName(1);
  model->NodeProperties().SetName(1, "upgraded");
  model->Flush();
  EXPECT_EQ(QueryText(path, "PRAGMA user_version"), "2");
  EXPECT_EQ(QueryText(path, "SELECT value FROM meta WHERE key = 'schema_version'"), "2");
  Reopen();
  EXPECT_EQ(model->NodeProperties().GetName(1), "upgraded");
  model->NodeProperties().SetName(1, name);
  EXPECT_EQ(Snapshot(*model), tables);
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
