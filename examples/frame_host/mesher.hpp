// The example host's own mesher: creates the analysis nodes and elements of
// the concept model through the analysis model's host API (Nodes().AddNode,
// Elements().AddElement) and remembers which elements belong to which segment
// and deck. The mirror objects learn their elements from the result.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <unordered_map>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "concept_model.hpp"

namespace frame_host {

namespace AnalysisModel = Kestrum::Quilm::AnalysisModel;

struct Mesh {
  // Element ids by beam and segment (beam and segment indices of the concept
  // model), in the order of creation.
  std::vector<std::vector<std::vector<long>>> segmentElements;
  // Element ids of each deck, row by row: cell (cx, cy) is at cy * n + cx,
  // n the number of lattice intervals along one side of the footprint.
  std::vector<std::vector<long>> deckElements;
  unsigned cellsPerSide = 0;
  // Node ids by lattice point.
  std::unordered_map<std::uint64_t, long> nodes;

  static std::uint64_t Key(const LatticePoint& p);
  // The node at a lattice point; throws std::out_of_range when none was made.
  long NodeAt(const LatticePoint& p) const;
  // The deck elements that have the lattice point as a corner (one to four).
  std::vector<long> DeckElementsAround(std::size_t deck, const LatticePoint& p) const;
};

// Meshes every beam segment into two-node beams (three-node beams for beams
// so marked) and every deck into four-node shells. Progress of long runs is
// reported on `progress` (may be null).
Mesh MeshConceptModel(const ConceptModel& concept, AnalysisModel::XafModel& model, std::ostream* progress);

}  // namespace frame_host
