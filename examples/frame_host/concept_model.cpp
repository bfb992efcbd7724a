// Layout of the example frame and the geometric questions the host's mirror
// classes ask of it.
#include "concept_model.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace frame_host {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Section indices of the standard catalogue laid out by BuildConceptModel.
enum Catalogue : std::size_t { kHeb300, kHeb240, kIpe400, kIpe450, kIpe360, kRhs300, kChs168, kChs219 };
enum Materials : std::size_t { kSteel, kConcrete };

std::string Label(const char* prefix, int a, int b) {
  return std::string(prefix) + std::to_string(a) + "." + std::to_string(b);
}

vec3d Scaled(const vec3d& v, double s) { return {v.x * s, v.y * s, v.z * s}; }

// Rotates v about the unit axis a by the angle (radians), right-handed.
vec3d Rotated(const vec3d& v, const vec3d& a, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return Scaled(v, c) + Scaled(a.cross(v), s) + Scaled(a, a.dot(v) * (1.0 - c));
}

}  // namespace

void FrameSize::Check() const {
  if (bays < 1 || bays > 200) throw std::invalid_argument("bays must lie between 1 and 200");
  if (storeys < 1 || storeys > 200) throw std::invalid_argument("storeys must lie between 1 and 200");
  if (divisions < 4 || divisions > 32 || divisions % 4 != 0)
    throw std::invalid_argument("divisions must be a multiple of 4 between 4 and 32");
}

std::size_t FrameSize::ElementCount() const {
  const std::size_t b = bays, s = storeys, k = divisions;
  const std::size_t columns = (b + 1) * (b + 1) * s * k;
  const std::size_t girderSpans = 2 * b * (b + 1);
  const std::size_t girders = girderSpans * (s - 1) * k + girderSpans * (k / 2);  // roof: three-node
  const std::size_t braces = 2 * s * k;
  const std::size_t decks = b * b * k * k * s;
  return columns + girders + braces + decks;
}

FrameSize FrameSize::ForElementCount(std::size_t elements, unsigned divisions) {
  FrameSize size;
  size.divisions = divisions;
  for (unsigned b = 1; b <= 200; ++b) {
    size.bays = size.storeys = b;
    if (size.ElementCount() >= elements) {
      size.Check();
      return size;
    }
  }
  throw std::invalid_argument("at most " + std::to_string(size.ElementCount()) + " elements fit a frame of " +
                              std::to_string(divisions) + " divisions");
}

pos3d ConceptModel::Position(const LatticePoint& p) const {
  const double d = bayWidth / size.divisions, h = storeyHeight / size.divisions;
  return {p.ix * d, p.iy * d, p.iz * h};
}

LatticePoint ConceptModel::PointAlong(const BeamDef& beam, unsigned division) const {
  const int n = static_cast<int>(beam.divisions), t = static_cast<int>(division);
  // Members run along lattice lines or diagonals, so every step is whole.
  return {beam.start.ix + (beam.end.ix - beam.start.ix) * t / n,
          beam.start.iy + (beam.end.iy - beam.start.iy) * t / n,
          beam.start.iz + (beam.end.iz - beam.start.iz) * t / n};
}

double ConceptModel::FractionAlong(const BeamDef& beam, const pos3d& position) const {
  const pos3d a = Position(beam.start), b = Position(beam.end);
  const vec3d axis(a, b), rel(a, position);
  return std::clamp(rel.dot(axis) / axis.dot(axis), 0.0, 1.0);
}

const SegmentDef& ConceptModel::SegmentAt(const BeamDef& beam, const pos3d& position) const {
  const double at = FractionAlong(beam, position) * beam.divisions;
  for (const SegmentDef& s : beam.segments)
    if (at < s.firstDivision + s.divisionCount) return s;
  return beam.segments.back();
}

vec3d ConceptModel::EccentricityAt(const BeamDef& beam, const pos3d& position) const {
  switch (beam.eccentricity.kind) {
    case EccentricityDef::Kind::None:
      return {};
    case EccentricityDef::Kind::Constant:
      return beam.eccentricity.start;
    case EccentricityDef::Kind::Linear: {
      const double f = FractionAlong(beam, position);
      return beam.eccentricity.start + Scaled(beam.eccentricity.end - beam.eccentricity.start, f);
    }
  }
  return {};
}

locsys3d ConceptModel::LocalSystemAt(const BeamDef& beam, const pos3d& position) const {
  vec3d x(Position(beam.start), Position(beam.end));
  x.normalise();
  const double twist = beam.localSystem.twistDegrees * kPi / 180.0;
  const double angle = -twist + 2.0 * twist * FractionAlong(beam, position);
  return locsys3d(x, Rotated(beam.localSystem.zAxis, x, angle));
}

std::size_t ConceptModel::SectionIndex(const std::string& name) const {
  for (std::size_t i = 0; i < sections.size(); ++i)
    if (sections[i].name == name) return i;
  throw std::invalid_argument("no section named \"" + name + "\"");
}

const LoadCaseDef& ConceptModel::LoadCase(LoadCaseKind kind) const {
  for (const LoadCaseDef& c : loadCases)
    if (c.kind == kind) return c;
  throw std::logic_error("the concept model has no load case of this kind");
}

LoadCaseDef& ConceptModel::LoadCase(LoadCaseKind kind) {
  return const_cast<LoadCaseDef&>(static_cast<const ConceptModel&>(*this).LoadCase(kind));
}

namespace {

void AddCatalogue(ConceptModel& m) {
  m.materials = {{"S355", qlMaterial(210e9, 0.3, 7850, 1.2e-5, 0.02)},
                 {"C30/37", qlMaterial(33e9, 0.2, 2500, 1.0e-5, 0.05)}};
  m.sections = {{"HEB300", qlSection::IProfile(0.300, 0.300, 0.011, 0.019)},
                {"HEB240", qlSection::IProfile(0.240, 0.240, 0.010, 0.017)},
                {"IPE400", qlSection::IProfile(0.400, 0.180, 0.0086, 0.0135)},
                {"IPE450", qlSection::IProfile(0.450, 0.190, 0.0094, 0.0146)},
                {"IPE360", qlSection::IProfile(0.360, 0.170, 0.0080, 0.0127)},
                {"RHS300x200x10", qlSection::Box(0.300, 0.200, 0.010, 0.010)},
                {"CHS168x8", qlSection::Pipe(0.1683, 0.008)},
                {"CHS219x10", qlSection::Pipe(0.2191, 0.010)}};
  m.thicknesses = {{"Deck 250", 0.25}, {"Roof deck 200", 0.20}};
}

void AddColumns(ConceptModel& m) {
  const int b = static_cast<int>(m.size.bays), s = static_cast<int>(m.size.storeys);
  const int k = static_cast<int>(m.size.divisions);
  for (int i = 0; i <= b; ++i) {
    for (int j = 0; j <= b; ++j) {
      BeamDef c;
      c.name = Label("Column ", i, j);
      c.kind = MemberKind::Column;
      c.start = {i * k, j * k, 0};
      c.end = {i * k, j * k, s * k};
      c.divisions = static_cast<unsigned>(s * k);
      for (int l = 0; l < s; ++l) {
        const std::size_t section = l < (s + 1) / 2 ? kHeb300 : kHeb240;
        c.segments.push_back({c.name + " storey " + std::to_string(l + 1), section, kSteel,
                              static_cast<unsigned>(l * k), static_cast<unsigned>(k)});
      }
      // Facade columns sit off their grid line, outwards; the corner columns
      // taper their offset from 100 mm at the base to 50 mm at the top.
      const double ox = i == 0 ? -1.0 : (i == b ? 1.0 : 0.0);
      const double oy = j == 0 ? -1.0 : (j == b ? 1.0 : 0.0);
      if (ox != 0.0 && oy != 0.0) {
        c.eccentricity = {
            EccentricityDef::Kind::Linear, {0.10 * ox, 0.10 * oy, 0}, {0.05 * ox, 0.05 * oy, 0}};
      } else if (ox != 0.0 || oy != 0.0) {
        c.eccentricity = {EccentricityDef::Kind::Constant, {0.10 * ox, 0.10 * oy, 0}, {}};
      }
      c.localSystem.zAxis = {1, 0, 0};
      m.beams.push_back(std::move(c));
    }
  }
}

BeamDef Girder(ConceptModel& m, const LatticePoint& a, const LatticePoint& b, bool edge, int level,
               const char* axis) {
  const unsigned k = m.size.divisions;
  BeamDef g;
  g.name = "Girder " + std::string(axis) + " " + std::to_string(a.ix / static_cast<int>(k)) + "." +
           std::to_string(a.iy / static_cast<int>(k)) + " L" + std::to_string(level);
  g.start = a;
  g.end = b;
  g.divisions = k;
  g.localSystem.zAxis = {0, 0, 1};
  if (level == static_cast<int>(m.size.storeys)) {
    // Roof girders follow the warped roof: their section turns by +-4 degrees
    // along the span. Three-node elements carry the local system per node.
    g.kind = MemberKind::RoofGirder;
    g.threeNodeElements = true;
    g.localSystem.twistDegrees = 4.0;
    g.segments = {{g.name + " first half", kIpe360, kSteel, 0, k / 2},
                  {g.name + " second half", kIpe360, kSteel, k / 2, k / 2}};
  } else if (edge) {
    // Edge girders hang 250 mm below the deck.
    g.kind = MemberKind::EdgeGirder;
    g.eccentricity = {EccentricityDef::Kind::Constant, {0, 0, -0.25}, {}};
    g.segments = {{g.name + " span", kRhs300, kSteel, 0, k}};
  } else {
    g.kind = MemberKind::Girder;
    g.segments = {{g.name + " haunch start", kIpe450, kSteel, 0, 1},
                  {g.name + " span", kIpe400, kSteel, 1, k - 2},
                  {g.name + " haunch end", kIpe450, kSteel, k - 1, 1}};
  }
  return g;
}

void AddGirders(ConceptModel& m) {
  const int b = static_cast<int>(m.size.bays), s = static_cast<int>(m.size.storeys);
  const int k = static_cast<int>(m.size.divisions);
  for (int l = 1; l <= s; ++l) {
    for (int j = 0; j <= b; ++j)
      for (int i = 0; i < b; ++i)
        m.beams.push_back(
            Girder(m, {i * k, j * k, l * k}, {(i + 1) * k, j * k, l * k}, j == 0 || j == b, l, "X"));
    for (int i = 0; i <= b; ++i)
      for (int j = 0; j < b; ++j)
        m.beams.push_back(
            Girder(m, {i * k, j * k, l * k}, {i * k, (j + 1) * k, l * k}, i == 0 || i == b, l, "Y"));
  }
}

void AddBraces(ConceptModel& m) {
  const int b = static_cast<int>(m.size.bays), s = static_cast<int>(m.size.storeys);
  const int k = static_cast<int>(m.size.divisions);
  for (int facade : {0, b}) {
    for (int l = 0; l < s; ++l) {
      BeamDef br;
      br.name = "Brace Y" + std::to_string(facade) + " storey " + std::to_string(l + 1);
      br.kind = MemberKind::Brace;
      br.start = {0, facade * k, l * k};
      br.end = {k, facade * k, (l + 1) * k};
      br.divisions = static_cast<unsigned>(k);
      br.localSystem.zAxis = {0, 1, 0};
      // The mesher walks braces down from their upper end, so their elements
      // start out against the brace's local x axis and get reversed on write.
      br.meshedFromEnd = true;
      // The far facade carries the heavier pipe.
      br.segments = {{br.name, facade == 0 ? kChs168 : kChs219, kSteel, 0, static_cast<unsigned>(k)}};
      m.beams.push_back(std::move(br));
    }
  }
}

void AddNodePoints(ConceptModel& m) {
  const int b = static_cast<int>(m.size.bays), s = static_cast<int>(m.size.storeys);
  const int k = static_cast<int>(m.size.divisions);
  for (int i = 0; i <= b; ++i) {
    for (int j = 0; j <= b; ++j) {
      m.supports.push_back({Label("S", i, j), {i * k, j * k, 0}});
      for (int l = 1; l <= s; ++l)
        m.joints.push_back({Label("J", i, j) + "." + std::to_string(l), {i * k, j * k, l * k}});
    }
  }
}

void AddEquipment(ConceptModel& m) {
  const int b = static_cast<int>(m.size.bays), s = static_cast<int>(m.size.storeys);
  const int k = static_cast<int>(m.size.divisions);
  const int corners[4][2] = {{0, 0}, {b - 1, 0}, {0, b - 1}, {b - 1, b - 1}};
  const double masses[4] = {2500, 1800, 1200, 900};
  for (int e = 0; e < 4; ++e) {
    const LatticePoint at{corners[e][0] * k + k / 2, corners[e][1] * k + k / 2, s * k};
    if (std::any_of(m.equipment.begin(), m.equipment.end(),
                    [&](const EquipmentDef& q) { return q.at == at; }))
      continue;
    m.equipment.push_back({"Chiller " + std::to_string(e + 1), masses[e], at});
  }
}

}  // namespace

ConceptModel BuildConceptModel(const FrameSize& size) {
  size.Check();
  ConceptModel m;
  m.size = size;
  AddCatalogue(m);
  AddColumns(m);
  AddGirders(m);
  AddBraces(m);
  for (unsigned l = 1; l <= size.storeys; ++l)
    m.decks.push_back(
        {"Deck L" + std::to_string(l), static_cast<int>(l), l == size.storeys ? 1u : 0u, kConcrete});
  AddNodePoints(m);
  AddEquipment(m);
  m.loadCases = {{1, "Self weight", LoadCaseKind::SelfWeight, {0, 0, -9.81}, 0, 0},
                 {2, "Imposed deck load", LoadCaseKind::DeckPressure, {}, -3000.0, 0},
                 {3, "Wind +X", LoadCaseKind::Wind, {}, 1800.0, 0},
                 {4, "Equipment", LoadCaseKind::Equipment, {}, 0, 0},
                 {5, "Rotation about the core", LoadCaseKind::Rotation, {}, 0.4, 0.05}};
  return m;
}

}  // namespace frame_host
