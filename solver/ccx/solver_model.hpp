// The solver model: the analysis model as the ccx deck will hold it, after
// every choice of the export has been made (not installed). The export reads
// the analysis model into it (ccx_export_*.cpp) and the deck writer
// (ccx_deck_writer.hpp) turns it into text without looking back at the
// analysis model, so the writer only formats and the reader only decides.
//
// Everything is plain data in the order the deck lists it; the numbers are
// kept as numbers, except the strings the section mapping already produced.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "definitions/material.hpp"
#include "geometry/geometry.hpp"
#include "solver/ccx/nodal_sums.hpp"

namespace Kestrum::Quilm::Solver::detail {

// The section card of an element group.
struct SectionCard {
  enum class Kind { Beam, Shell, Spring };
  Kind kind = Kind::Beam;
  std::string material;     // the material's name: M<id>, or MARM for the stiff arms
  std::string sectionType;  // beams: RECT, PIPE or BOX
  std::string dimensions;   // beams: the data line of dimensions
  vec3d axis;               // beams: the section's first axis
  double thickness = 0.0;   // shells
  double stiffness = 0.0;   // springs: force per length
  int dof = 0;              // springs: the direction they act in (1 to 3), at both ends
};

// Element rows (element id, then the nodes) of one width, one after another
// in blocks of a fixed number of rows: a million elements cost no more than
// their ids, and growing never copies the rows nor doubles their room.
class RowStore {
 public:
  static constexpr std::size_t kRowsPerBlock = 8192;

  template <typename Row>
  void Add(const Row& row, const std::string& owner) {
    if (width_ != 0 && row.size() != width_)
      throw std::logic_error("element group " + owner + ": rows of different widths");
    for (long id : row) {
      if (id < INT32_MIN || id > INT32_MAX)
        throw std::out_of_range("element group " + owner + ": id " + std::to_string(id) + " beyond 32 bits");
    }
    if (count_ % kRowsPerBlock == 0) {
      blocks_.emplace_back();
      blocks_.back().reserve(kRowsPerBlock * row.size());
    }
    width_ = row.size();
    for (long id : row) blocks_.back().push_back(static_cast<std::int32_t>(id));
    ++count_;
  }
  std::size_t Width() const { return width_; }
  std::size_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }
  // Row `i` (i < Count()): Width() ids.
  const std::int32_t* Row(std::size_t i) const {
    return blocks_[i / kRowsPerBlock].data() + (i % kRowsPerBlock) * width_;
  }

 private:
  std::vector<std::vector<std::int32_t>> blocks_;
  std::size_t width_ = 0;  // set by the first row
  std::size_t count_ = 0;
};

// One *ELEMENT block with its own element set and section card.
struct ElementGroup {
  std::string name;
  std::string type;
  SectionCard section;
  RowStore rows;

  template <typename Row>
  void AddRow(const Row& row) {
    rows.Add(row, name);
  }
  void AddRow(std::initializer_list<long> row) { rows.Add(row, name); }
  std::size_t RowCount() const { return rows.Count(); }
};

// MASS elements of one mass value, one per node, numbered consecutively.
struct MassGroup {
  double mass = 0.0;
  std::vector<long> nodes;
  long firstElement = 0;
};

// A named set of the analysis model, as written: S<id>.
struct ModelSet {
  long id = 0;
  std::string name;            // the model's name for it, shown in a comment
  std::vector<long> nodes;     // ascending
  std::vector<long> elements;  // ascending, solver elements included
};

// A pressure on one solver shell element (*DLOAD P).
struct Pressure {
  long element;
  double value;
};

// Gravity on the dense elements (*DLOAD GRAV): magnitude and unit direction.
struct Gravity {
  double magnitude;
  vec3d direction;
};

// The nodal loads and pressures of a static step.
struct StepLoads {
  // The nodal loads summed per node, ascending; the deck lists each
  // non-zero component (*CLOAD node, dof, value). Written straight from the
  // sums: a list of its own would hold every component once more.
  NodalSums nodal;
  std::size_t nodalCount = 0;  // the non-zero components
  std::vector<Pressure> pressures;
  std::size_t Count() const { return nodalCount + pressures.size(); }
  std::size_t MemoryBytes() const { return nodal.MemoryBytes() + pressures.capacity() * sizeof(Pressure); }
};

// The static step of one load case, or of a combination of load cases.
struct StaticStep {
  long loadCase = 0;
  std::string name;                              // "" for an unnamed case
  std::vector<std::pair<long, double>> factors;  // the load cases summed, with their factors
  // The step's loads when held (`loadsHeld`), else read again when the
  // step is written (see StepLoadsSource); `loadCount` counts them either way.
  StepLoads loads;
  bool loadsHeld = false;
  std::size_t loadCount = 0;
  std::optional<Gravity> gravity;
};

// Gives a step's loads again, as they were first read: a large model's
// steps are not held all at once, only the one being written.
using StepLoadsSource = std::function<StepLoads(const StaticStep&)>;

// A growing array kept in blocks of a fixed size: growing never copies what
// it holds nor needs room for twice of it, as a vector's doubling does.
template <typename T>
class BlockVector {
 public:
  static constexpr std::size_t kBlockBits = 16;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void push_back(const T& value) {
    if (size_ % kBlockSize == 0) {
      blocks_.emplace_back();
      blocks_.back().reserve(kBlockSize);
    }
    blocks_.back().push_back(value);
    ++size_;
  }
  // Grows to `n` elements, the new ones default-constructed; never shrinks.
  void resize(std::size_t n) {
    while (size_ < n) push_back(T{});
  }
  T& operator[](std::size_t i) { return blocks_[i >> kBlockBits][i & (kBlockSize - 1)]; }
  const T& operator[](std::size_t i) const { return blocks_[i >> kBlockBits][i & (kBlockSize - 1)]; }

 private:
  std::vector<std::vector<T>> blocks_;
  std::size_t size_ = 0;
};

// Nodes numbered consecutively from `firstId`, some perhaps left out: one
// position per id, so a node costs no more than its coordinates.
struct NodeBlock {
  long firstId = 1;
  BlockVector<pos3d> positions;  // of node firstId + i
  std::vector<bool> absent;      // by index: not written; empty when none is

  bool Has(std::size_t i) const { return i >= absent.size() || !absent[i]; }
  std::size_t Count() const {
    std::size_t n = positions.size();
    for (std::size_t i = 0; i < absent.size(); ++i) n -= absent[i] ? 1 : 0;
    return n;
  }
};

// The nodes generated for the solver, numbered consecutively from `firstId`:
// each either the midpoint of two nodes, kept as their ids (8 bytes; its
// position is worked out when asked for), or placed at a position of its
// own (offset beam ends, centroids, spring ends).
class GeneratedNodes {
 public:
  long firstId = 1;

  std::size_t Count() const { return sources_.size(); }
  // Adds the node midway between nodes `a` and `b` (ids below 2^31).
  void AddMidpoint(long a, long b) {
    sources_.push_back((static_cast<std::uint64_t>(a) << 32) | static_cast<std::uint64_t>(b));
  }
  void AddPlaced(const pos3d& position) {
    sources_.push_back(kPlaced | placed_.size());
    placed_.push_back(position);
  }
  // The position of node `firstId + i` (i < Count()); `position(id)` gives
  // the position of any node, which a midpoint asks for its two ends (both
  // numbered before it, so the recursion ends).
  template <typename Lookup>
  pos3d Position(std::size_t i, const Lookup& position) const {
    const std::uint64_t source = sources_[i];
    if (source & kPlaced) return placed_[static_cast<std::size_t>(source & ~kPlaced)];
    const pos3d a = position(static_cast<long>(source >> 32));
    const pos3d b = position(static_cast<long>(source & 0xffffffffu));
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
  }

 private:
  // Set on a placed node's source, whose other bits index placed_; a
  // midpoint's first id is below 2^31, so its source never has it.
  static constexpr std::uint64_t kPlaced = std::uint64_t{1} << 63;
  BlockVector<std::uint64_t> sources_;
  BlockVector<pos3d> placed_;
};

struct SolverModel {
  std::string source;  // the analysis model's file name
  // Nodes in the order written: the model's kept nodes, then the generated
  // ones (apart, so neither list is copied into the other).
  NodeBlock nodes;
  GeneratedNodes generatedNodes;
  // The position of a node of the deck, model node (written or left out)
  // or generated; `id` must be one of them.
  pos3d PositionOf(long id) const {
    if (id >= generatedNodes.firstId) {
      return generatedNodes.Position(static_cast<std::size_t>(id - generatedNodes.firstId),
                                     [this](long end) { return PositionOf(end); });
    }
    return nodes.positions[static_cast<std::size_t>(id - nodes.firstId)];
  }
  std::vector<long> printedNodes;  // NMODEL, ascending
  // Beams, then shells, then stiff arms.
  std::vector<ElementGroup> elementGroups;
  std::vector<MassGroup> massGroups;
  std::map<long, qlMaterial> materials;  // by material id
  std::optional<double> armModulus;      // set when the deck has stiff arms
  std::vector<long> gravityElements;     // ascending: elements whose material has a density
  std::vector<ModelSet> modelSets;
  std::map<long, std::vector<int>> boundaries;  // node -> fixed dofs (1..6), ascending
  std::vector<StaticStep> steps;                // load cases, then combinations (loadCase 0)
  int frequencyCount = 0;                       // 0: no frequency step
  std::optional<StaticStep> buckling;
  int bucklingModes = 0;
  // Print what element results are recovered from; the elements whose
  // stresses are printed (EOUT), ascending.
  bool elementResults = false;
  std::vector<long> stressElements;
};

}  // namespace Kestrum::Quilm::Solver::detail
