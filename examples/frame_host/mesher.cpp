// Meshing of the frame onto the shared node lattice.
#include "mesher.hpp"

#include <stdexcept>

#include "report.hpp"

namespace frame_host {

std::uint64_t Mesh::Key(const LatticePoint& p) {
  // 21 bits per coordinate hold any lattice the size limits allow.
  return (static_cast<std::uint64_t>(p.ix) << 42) | (static_cast<std::uint64_t>(p.iy) << 21) |
         static_cast<std::uint64_t>(p.iz);
}

long Mesh::NodeAt(const LatticePoint& p) const {
  const auto it = nodes.find(Key(p));
  if (it == nodes.end())
    throw std::out_of_range("no node at lattice point (" + std::to_string(p.ix) + ", " +
                            std::to_string(p.iy) + ", " + std::to_string(p.iz) + ")");
  return it->second;
}

std::vector<long> Mesh::DeckElementsAround(std::size_t deck, const LatticePoint& p) const {
  std::vector<long> around;
  const int n = static_cast<int>(cellsPerSide);
  for (int cy = p.iy - 1; cy <= p.iy; ++cy)
    for (int cx = p.ix - 1; cx <= p.ix; ++cx)
      if (cx >= 0 && cy >= 0 && cx < n && cy < n) around.push_back(deckElements.at(deck).at(cy * n + cx));
  return around;
}

namespace {

class Mesher {
 public:
  Mesher(const ConceptModel& concept, AnalysisModel::XafModel& model, std::ostream* out)
      : concept_(concept), model_(model), progress_(out, "meshing", concept.size.ElementCount()) {}

  Mesh Run() {
    mesh_.cellsPerSide = concept_.size.bays * concept_.size.divisions;
    mesh_.nodes.reserve(concept_.size.ElementCount());
    for (const DeckDef& deck : concept_.decks) MeshDeck(deck);
    for (const BeamDef& beam : concept_.beams) MeshBeam(beam);
    progress_.Done();
    return std::move(mesh_);
  }

 private:
  long Node(const LatticePoint& p) {
    auto [it, inserted] = mesh_.nodes.emplace(Mesh::Key(p), 0);
    if (inserted) it->second = model_.Nodes().AddNode(concept_.Position(p));
    return it->second;
  }

  void MeshDeck(const DeckDef& deck) {
    const int n = static_cast<int>(mesh_.cellsPerSide);
    const int z = deck.level * static_cast<int>(concept_.size.divisions);
    std::vector<long>& ids = mesh_.deckElements.emplace_back();
    ids.reserve(static_cast<std::size_t>(n) * n);
    for (int cy = 0; cy < n; ++cy) {
      for (int cx = 0; cx < n; ++cx) {
        // Counter-clockwise seen from above: the shell normal points up.
        ids.push_back(model_.Elements().AddElement(
            qlElementType::Shell4(),
            {Node({cx, cy, z}), Node({cx + 1, cy, z}), Node({cx + 1, cy + 1, z}), Node({cx, cy + 1, z})}));
      }
      progress_.Advance(n);
    }
  }

  void MeshBeam(const BeamDef& beam) {
    auto& segments = mesh_.segmentElements.emplace_back();
    const unsigned step = beam.threeNodeElements ? 2 : 1;
    for (const SegmentDef& segment : beam.segments) {
      std::vector<long>& ids = segments.emplace_back();
      for (unsigned d = segment.firstDivision; d < segment.firstDivision + segment.divisionCount; d += step) {
        long a = Node(concept_.PointAlong(beam, d)), b = Node(concept_.PointAlong(beam, d + step));
        if (beam.meshedFromEnd) std::swap(a, b);
        if (beam.threeNodeElements) {
          const long middle = Node(concept_.PointAlong(beam, d + 1));
          ids.push_back(model_.Elements().AddElement(qlElementType::Beam3(), {a, b, middle}));
        } else {
          ids.push_back(model_.Elements().AddElement(qlElementType::Beam2(), {a, b}));
        }
      }
      progress_.Advance(ids.size());
    }
  }

  const ConceptModel& concept_;
  AnalysisModel::XafModel& model_;
  Progress progress_;
  Mesh mesh_;
};

}  // namespace

Mesh MeshConceptModel(const ConceptModel& concept, AnalysisModel::XafModel& model, std::ostream* progress) {
  return Mesher(concept, model, progress).Run();
}

}  // namespace frame_host
