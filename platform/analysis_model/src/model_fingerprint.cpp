// The model fingerprint: a 64-bit hash of everything the solver reads, so
// that stored results can tell whether the model changed since the solve.
// It hashes values, not how they are held (an element's change mark or the
// slot of its per-node ids are left out), so a model read back from its file
// gives the fingerprint it had when it was flushed.
#include <cstring>

#include "model_data.hpp"
#include "result_data.hpp"

namespace Kestrum::Quilm::AnalysisModel {

namespace {

// A word-at-a-time multiply-rotate hash: fast over the large dense tables
// and good enough to tell a changed model from an unchanged one.
class Hasher {
 public:
  void Word(std::uint64_t w) noexcept {
    h_ ^= w * 0x9E3779B97F4A7C15ull;
    h_ = ((h_ << 31) | (h_ >> 33)) * 0xC2B2AE3D27D4EB4Full;
  }
  void Int(long long v) noexcept { Word(static_cast<std::uint64_t>(v)); }
  void Real(double v) noexcept {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    Word(bits);
  }
  void Vec(const vec3d& v) noexcept {
    Real(v.x);
    Real(v.y);
    Real(v.z);
  }
  void Text(const std::string& s) noexcept {
    Int(static_cast<long long>(s.size()));
    for (unsigned char c : s) Word(c);
  }
  template <std::size_t N>
  void Reals(const std::array<double, N>& values) noexcept {
    for (double v : values) Real(v);
  }
  std::uint64_t Value() const noexcept { return h_ ^ (h_ >> 29); }

 private:
  std::uint64_t h_ = 0x243F6A8885A308D3ull;
};

void HashMesh(Hasher& h, const ModelData& d) {
  h.Int(static_cast<long long>(d.nodes.size()));
  for (const pos3d& p : d.nodes) {
    h.Real(p.x);
    h.Real(p.y);
    h.Real(p.z);
  }
  h.Int(static_cast<long long>(d.elements.size()));
  for (const ElementRow& row : d.elements) {
    h.Int(row.type);
    if (!row.Exists()) continue;
    for (unsigned i = 0; i < row.nodeCount; ++i) h.Int(row.nodes[i]);
    h.Int(row.section);
    h.Int(row.material);
    h.Int(row.eccentricity);
    h.Int(row.transformation);
    h.Int(row.fixation);
    if (row.perNode < 0) continue;
    const PerNodeIds& p = d.perNodeIds[row.perNode];
    for (unsigned i = 0; i < row.nodeCount; ++i) {
      h.Int(p.eccentricity[i]);
      h.Int(p.transformation[i]);
      h.Int(p.fixation[i]);
    }
  }
}

void HashProperties(Hasher& h, const ModelData& d) {
  h.Int(static_cast<long long>(d.materials.size()));
  for (const auto& [id, row] : d.materials) {
    const qlMaterial& m = *row.material;
    h.Int(id);
    for (double v :
         {m.YoungsModulus(), m.PoissonsRatio(), m.Density(), m.ThermalExpansion(), m.DampingRatio()})
      h.Real(v);
  }
  h.Int(static_cast<long long>(d.sections.size()));
  for (const auto& [id, row] : d.sections) {
    h.Int(id);
    if (!row.section) {
      h.Real(row.thickness ? *row.thickness : 0.0);
      continue;
    }
    const qlSection& s = *row.section;
    const qlSectionProperties& p = s.Properties();
    h.Int(static_cast<int>(s.GetKind()));
    for (int i = 0; i < 4; ++i) h.Real(s.Dimension(i));
    for (double v : {p.area, p.iy, p.iz, p.it, p.shearAreaY, p.shearAreaZ}) h.Real(v);
  }
  h.Int(static_cast<long long>(d.eccentricities.size()));
  for (const vec3d& v : d.eccentricities) h.Vec(v);
  h.Int(static_cast<long long>(d.transformations.size()));
  for (const TransformationRow& t : d.transformations) {
    h.Vec(t.vector);
    h.Reals(t.matrix);
  }
  h.Int(static_cast<long long>(d.hinges.size()));
  for (const Hinge& hinge : d.hinges) h.Reals(hinge.Fixations());
}

// Masses, node transformations and supports; names are left out.
void HashNodeProperties(Hasher& h, const ModelData& d) {
  for (const auto& [node, row] : d.nodeProperties) {
    if (row.masses.empty() && row.transnod <= 0 && !row.boundaryCondition) continue;
    h.Int(node);
    h.Int(static_cast<long long>(row.masses.size()));
    for (const Mass& m : row.masses) h.Reals(m.Values());
    h.Int(row.transnod > 0 ? row.transnod : 0);
    h.Int(row.boundaryCondition ? 1 : 0);
    if (row.boundaryCondition) h.Reals(row.boundaryCondition->Fixations());
  }
}

void HashLoad(Hasher& h, const Load& load) {
  h.Int(load.loadType());
  if (auto* point = dynamic_cast<const PointLoad*>(&load)) {
    for (const auto& [position, values] : point->GetValues()) {
      h.Real(position.x);
      h.Real(position.y);
      h.Real(position.z);
      for (unsigned r = 0; r < values.Rows(); ++r)
        for (unsigned c = 0; c < values.Columns(); ++c) h.Real(values(r, c));
    }
  } else if (auto* line = dynamic_cast<const LineLoad*>(&load)) {
    h.Vec(line->Start());
    h.Vec(line->End());
  } else if (auto* surface = dynamic_cast<const SurfaceLoad*>(&load)) {
    h.Real(surface->Pressure());
  } else if (auto* strain = dynamic_cast<const InitialStrainLoad*>(&load)) {
    h.Real(strain->Strain());
  } else {
    h.Text(load.Describe());
  }
}

// Gravity and loads of every case; load case names are left out.
void HashLoads(Hasher& h, const ModelData& d) {
  for (const auto& [id, row] : d.loadCases) {
    if (!row.gravity && row.loads.empty()) continue;  // a name alone
    h.Int(id);
    h.Int(row.gravity ? 1 : 0);
    if (row.gravity) {
      h.Int(row.gravity->option);
      h.Vec(row.gravity->acceleration);
    }
    h.Int(static_cast<long long>(row.loads.size()));
    for (const LoadEntry& entry : row.loads) {
      h.Int(static_cast<int>(entry.kind));
      h.Int(entry.target);
      HashLoad(h, *entry.record);
    }
  }
}

}  // namespace

std::uint64_t ModelFingerprint(const ModelData& d) {
  Hasher h;
  HashMesh(h, d);
  HashProperties(h, d);
  HashNodeProperties(h, d);
  HashLoads(h, d);
  return h.Value();
}

}  // namespace Kestrum::Quilm::AnalysisModel
