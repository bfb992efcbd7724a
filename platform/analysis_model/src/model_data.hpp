// The analysis model's tables in memory, with the change marks that let
// Flush write only what changed. Internal to the library.
#pragma once

#include <array>
#include <boost/optional.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "large_table_allocator.hpp"

namespace Kestrum::Quilm::AnalysisModel {

// Largest node count of any element type the model stores.
inline constexpr unsigned kMaxElementNodes = 4;
// Largest id any table stores (ids are signed 32-bit values).
inline constexpr long kMaxId = 2147483646L;

// One element row. Kept small and flat: a model of a million elements is a
// vector of these rows, 48 bytes each.
struct ElementRow {
  std::int16_t type = 0;  // element type number; 0: no element under this id (removed)
  std::uint8_t nodeCount = 0;
  std::uint8_t dirty = 0;                               // already listed in ModelData::dirtyElements
  std::int32_t nodes[kMaxElementNodes] = {0, 0, 0, 0};  // stored order
  std::int32_t section = 0;
  std::int32_t material = 0;
  std::int32_t eccentricity = 0;
  std::int32_t transformation = 0;
  std::int32_t fixation = 0;
  std::int32_t perNode = -1;  // index into ModelData::perNodeIds, -1 when the element has none

  bool Exists() const noexcept { return type != 0; }
};

// The per-node ids of one element, by stored node index; allocated only for
// elements with a per-node eccentricity, transformation or fixation.
struct PerNodeIds {
  std::array<std::int32_t, kMaxElementNodes> eccentricity{};
  std::array<std::int32_t, kMaxElementNodes> transformation{};
  std::array<std::int32_t, kMaxElementNodes> fixation{};
};

struct MaterialRow {
  std::string name;
  boost::shared_ptr<qlMaterial> material;
};

struct SectionRow {
  std::string name;
  boost::shared_ptr<qlSection> section;  // empty for a thickness row
  boost::optional<double> thickness;
};

struct SetRow {
  std::string name;
  EntitySet content;
};

struct TransformationRow {
  vec3d vector;
  std::array<double, 9> matrix{};
};

struct NodePropertyRow {
  std::string name;
  std::vector<Mass> masses;
  long transnod = 0;
  boost::optional<Hinge> boundaryCondition;

  bool Empty() const { return name.empty() && masses.empty() && transnod <= 0 && !boundaryCondition; }
};

struct GravityLoad {
  long option = 0;
  vec3d acceleration;
};

struct LoadCaseRow {
  boost::optional<std::string> name;
  boost::optional<GravityLoad> gravity;
  std::vector<LoadEntry> loads;

  bool Empty() const { return !name && !gravity && loads.empty(); }
};

// Ids handed out so far per table (the largest id ever used), so that new
// ids are never those of deleted rows unless a caller asks for them.
struct IdCounters {
  long material = 0;
  long section = 0;
  long set = 0;
  long concept = 0;
};

// The connection to the model file; defined with the file code.
struct FileConnection;
// The stored analysis results; defined in result_data.hpp.
struct ResultData;
// The concepts' recorded members; defined in concept_member_data.hpp.
struct ConceptMemberData;
// A read-write model's claim on its file (writer_claim.hpp).
class WriterClaim;

// What identifies the model file as the one a model last read or wrote:
// Flush refuses to write into a file that was deleted, replaced, truncated
// or changed by another program since. `changeCounter` is SQLite's file
// change counter (header offset 24), which every commit increments.
struct FileIdentity {
  bool exists = false;
  std::uint64_t device = 0, inode = 0;
  long long size = 0;
  std::uint32_t changeCounter = 0;
};

// What only this model's flushes put into the file: a random token that
// every flush replaces (meta key flush_token). A copy of another file, even
// one written by the same steps, carries another token. 0: none (a file
// written before tokens).
struct FlushTokens {
  std::int64_t stored = 0;     // in the file as this model last read or wrote it
  std::int64_t attempted = 0;  // written by a flush that then reported failure, 0 if none
};

// Makes room for one more entry, growing the capacity geometrically, so that
// a push_back after it cannot throw (the tables stay alike when a later step
// fails) while appending stays amortised constant time. Reserving exactly
// size() + 1 would reallocate on every call and make building a mesh
// quadratic in its size.
template <class Vector>
[[gnu::noinline]] void GrowForOneMore(Vector& v) {
  v.reserve(v.size() < 16 ? 16 : 2 * v.size());
}
template <class Vector>
inline void ReserveOneMore(Vector& v) {
  if (__builtin_expect(v.size() == v.capacity(), 0)) GrowForOneMore(v);
}

// Throws ModelError "<table> <id> does not exist".
[[noreturn]] void ThrowMissing(const char* table, long id);

struct ModelData {
  // ---- file and mode
  std::string fileName;
  bool readOnly = false;
  long unitSystem = 1;
  bool archiveMode = false;
  bool archiveModeDirty = false;
  // held by a read-write model for its life; released after `file` closes
  std::shared_ptr<WriterClaim> writerClaim;
  FileIdentity identity;  // of the file as last read or written
  FlushTokens tokens;

  // ---- while reading: the dense table sizes the meta table states, which
  // the rows read must match (the tables grow by the rows present, so a
  // damaged count never decides an allocation), and the file's size
  struct StoredSizes {
    std::int64_t nodes = 0, eccentricities = 0, transformations = 0, hinges = 0;
    long long fileBytes = 0;
    // the file's schema version; a flush into an older one upgrades it
    std::int64_t version = 0;
  } stored;

  // ---- mesh
  // node id n at index n - 1; nodes are never removed
  std::vector<pos3d, LargeTableAllocator<pos3d>> nodes;
  Utility::CompressedSet<long> nodeIds;
  std::vector<ElementRow, LargeTableAllocator<ElementRow>> elements;  // element id e at index e - 1
  std::size_t elementCount = 0;                                       // elements that exist
  // Element ids handed out so far; new elements count on from it. At least
  // elements.size(): a model read from a file holds rows only up to the
  // largest stored element id, the removed elements above it take rows
  // again when the next element is added (the stored count never decides
  // what reading allocates).
  std::size_t elementIdsIssued = 0;
  std::vector<PerNodeIds> perNodeIds;
  std::vector<std::int32_t> freePerNode;  // reusable slots of perNodeIds

  // ---- property tables
  std::map<long, StructureConcept> concepts;
  std::map<long, MaterialRow> materials;
  std::map<long, SectionRow> sections;
  std::map<long, SetRow> sets;
  std::map<long, NodePropertyRow> nodeProperties;
  std::vector<vec3d> eccentricities;               // id i at index i - 1
  std::vector<TransformationRow> transformations;  // id i at index i - 1
  std::vector<Hinge> hinges;                       // id i at index i - 1
  std::map<long, LoadCaseRow> loadCases;
  IdCounters counters;
  std::shared_ptr<ResultData> results;  // null until results are stored or read
  std::shared_ptr<ConceptMemberData> conceptMembers;  // null until members are recorded or read

  // ---- the open file (created by the first flush of a new model)
  std::shared_ptr<FileConnection> file;

  // ---- changes since the last flush
  std::size_t flushedNodes = 0;
  std::size_t flushedEccentricities = 0, flushedTransformations = 0, flushedHinges = 0;
  std::vector<std::int32_t> dirtyElements;
  std::set<long> dirtyConcepts, dirtyMaterials, dirtySections, dirtySets, dirtyNodeProperties;
  std::set<long> dirtyEccentricities, dirtyTransformations, dirtyHinges, dirtyLoadCases;
  bool countersDirty = false;

  // ---- row access; every lookup of an id the model does not hold throws.
  // Inline: every element call goes through here first.
  ElementRow& ElementAt(long id) {
    if (__builtin_expect(!HasElement(id), 0)) ThrowMissing("element", id);
    return elements[id - 1];
  }
  const ElementRow& ElementAt(long id) const {
    if (__builtin_expect(!HasElement(id), 0)) ThrowMissing("element", id);
    return elements[id - 1];
  }
  const pos3d& NodeAt(long id) const;
  bool HasNode(long id) const noexcept { return id >= 1 && static_cast<std::size_t>(id) <= nodes.size(); }
  bool HasElement(long id) const noexcept {
    return id >= 1 && static_cast<std::size_t>(id) <= elements.size() && elements[id - 1].Exists();
  }
  void CheckNode(long id) const;
  void CheckEccentricity(long id) const;
  void CheckTransformation(long id) const;
  void CheckHinge(long id) const;

  // Lists the element among the changed ones unless it is listed already.
  // Callers reserve room first (ReserveOneMore) so that it cannot fail after
  // they changed the row.
  void MarkElement(long id) {
    ElementRow& row = elements[id - 1];
    if (row.dirty) return;
    dirtyElements.push_back(static_cast<std::int32_t>(id));
    row.dirty = 1;
  }
  // The element's per-node block, allocated on first use.
  PerNodeIds& PerNodeOf(ElementRow& row);
  // Releases the block when no property of the element is per node any more.
  void ReleasePerNodeIfUnused(ElementRow& row);

  // Clears every change mark (after a flush or after loading).
  void ClearChanges();
};

// The tables of a model: the one door from the library's code to its data.
inline ModelData& DataOf(XafModel& model) noexcept { return *model.data_; }
inline const ModelData& DataOf(const XafModel& model) noexcept { return *model.data_; }

// Throws ModelError for an id outside 1..kMaxId given as an explicit id.
void CheckStorableId(const char* table, long id);
// The element type of a row's type number; throws for an unknown one.
const qlElementType& ElementTypeOf(const ElementRow& row);
// The element type of a type number, nullptr when there is none.
const qlElementType* FindElementType(std::int64_t number) noexcept;

}  // namespace Kestrum::Quilm::AnalysisModel
