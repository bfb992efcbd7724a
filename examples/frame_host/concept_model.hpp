// The example host's own concept model of a steel frame with concrete decks:
// plain data, independent of the mirror library, as a modelling application
// would keep it. BuildConceptModel lays out a frame of a given size.
//
// Geometry: a square footprint of `bays` x `bays` bays and `storeys` storeys.
// All member ends lie on an integer lattice (ix, iy, iz) whose spacing is the
// bay width or storey height divided by `divisions`, so that members and decks
// meeting at a point share one analysis node.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "definitions/material.hpp"
#include "definitions/section.hpp"
#include "geometry/geometry.hpp"

namespace frame_host {

// The size of the frame. `divisions` is the number of lattice intervals per
// bay and per storey: each span is meshed into that many two-node elements
// (or half as many three-node ones); it must be even and at least 2.
struct FrameSize {
  unsigned bays = 10;
  unsigned storeys = 8;
  unsigned divisions = 4;

  // Throws std::invalid_argument for a size that describes no frame.
  void Check() const;
  // The number of elements the mesher creates for this size.
  std::size_t ElementCount() const;
  // The smallest frame with storeys == bays (at the given divisions) that has
  // at least `elements` elements; throws std::invalid_argument when even the
  // largest frame has fewer.
  static FrameSize ForElementCount(std::size_t elements, unsigned divisions = 4);
};

// A lattice point: integer coordinates in units of the lattice spacing.
struct LatticePoint {
  int ix = 0, iy = 0, iz = 0;
  bool operator==(const LatticePoint& o) const { return ix == o.ix && iy == o.iy && iz == o.iz; }
};

struct MaterialDef {
  std::string name;
  qlMaterial material;
};

struct SectionDef {
  std::string name;
  qlSection section;
};

struct ThicknessDef {
  std::string name;
  double thickness;
};

enum class MemberKind { Column, Girder, EdgeGirder, RoofGirder, Brace };

// A beam's eccentricity: none, one vector for the whole beam, or a vector
// that varies linearly from `start` at the beam's start to `end` at its end.
struct EccentricityDef {
  enum class Kind { None, Constant, Linear };
  Kind kind = Kind::None;
  vec3d start, end;
};

// A beam's local system: x along the beam from start to end; z is `zAxis`
// turned about x by an angle that varies linearly from -twist to +twist
// (degrees) along the beam (0 for a straight member).
struct LocalSystemDef {
  bool present = true;
  vec3d zAxis{0, 0, 1};
  double twistDegrees = 0.0;
};

// A part of a beam with its own section and material, covering the lattice
// intervals [firstDivision, firstDivision + divisionCount) of the beam.
struct SegmentDef {
  std::string name;
  std::size_t section = 0;   // index into ConceptModel::sections
  std::size_t material = 0;  // index into ConceptModel::materials
  unsigned firstDivision = 0;
  unsigned divisionCount = 0;
};

struct BeamDef {
  std::string name;
  MemberKind kind = MemberKind::Girder;
  LatticePoint start, end;  // the beam runs from start to end
  unsigned divisions = 0;   // lattice intervals from start to end
  std::vector<SegmentDef> segments;
  EccentricityDef eccentricity;
  LocalSystemDef localSystem;
  bool threeNodeElements = false;  // meshed with three-node beams (two intervals each)
  bool meshedFromEnd = false;      // the mesher numbers its elements' nodes from end to start
  bool deleted = false;
};

// A deck: the floor slab of one level, covering the whole footprint.
struct DeckDef {
  std::string name;
  int level = 1;              // storey level (1 = first floor)
  std::size_t thickness = 0;  // index into ConceptModel::thicknesses
  std::size_t material = 0;
};

// A joint (column-girder crossing) or a support point (column base).
struct NodePointDef {
  std::string name;
  LatticePoint at;
};

// An item of equipment on the roof: a lumped mass and the matching point load.
struct EquipmentDef {
  std::string name;
  double mass = 0.0;  // kg
  LatticePoint at;
};

enum class LoadCaseKind { SelfWeight, DeckPressure, Wind, Equipment, Rotation };

struct LoadCaseDef {
  long id = 0;
  std::string name;
  LoadCaseKind kind = LoadCaseKind::SelfWeight;
  vec3d gravity;        // zero: no gravity load
  double value = 0.0;   // deck pressure (Pa), wind (N/m along +x) or angular velocity (rad/s)
  double value2 = 0.0;  // angular acceleration (rad/s2) of the rotation load
};

struct ConceptModel {
  FrameSize size;
  double bayWidth = 6.0;      // m
  double storeyHeight = 3.6;  // m
  std::vector<MaterialDef> materials;
  std::vector<SectionDef> sections;
  std::vector<ThicknessDef> thicknesses;
  std::vector<BeamDef> beams;
  std::vector<DeckDef> decks;
  std::vector<NodePointDef> joints;
  std::vector<NodePointDef> supports;
  std::vector<EquipmentDef> equipment;
  std::vector<LoadCaseDef> loadCases;
  std::string bracingSetName = "Bracing";

  // The position of a lattice point in metres.
  pos3d Position(const LatticePoint& p) const;
  // The lattice point at `division` intervals from the beam's start.
  LatticePoint PointAlong(const BeamDef& beam, unsigned division) const;
  // The section and material indices that apply at a position on the beam,
  // by the segment whose span holds it (the last segment beyond the end).
  const SegmentDef& SegmentAt(const BeamDef& beam, const pos3d& position) const;
  // Eccentricity and local system of a beam at a position on its axis.
  vec3d EccentricityAt(const BeamDef& beam, const pos3d& position) const;
  locsys3d LocalSystemAt(const BeamDef& beam, const pos3d& position) const;
  // The fraction (0 at start, 1 at end) of a position projected on the beam.
  double FractionAlong(const BeamDef& beam, const pos3d& position) const;

  std::size_t SectionIndex(const std::string& name) const;  // throws for an unknown name
  const LoadCaseDef& LoadCase(LoadCaseKind kind) const;
  LoadCaseDef& LoadCase(LoadCaseKind kind);
};

// Lays out the frame: two materials, I-profiles, pipes and a box, two deck
// thicknesses, columns, girders, braces, decks, joints, supports, equipment
// and five load cases.
ConceptModel BuildConceptModel(const FrameSize& size);

}  // namespace frame_host
