// The solver tests' host: meshing and mirror writes.
#include "solver/ccx/tests/host_model.hpp"

#include <algorithm>

namespace Kestrum::Quilm::Solver::Testing {
namespace {

pos3d At(const pos3d& start, const vec3d& direction, double s) {
  return {start.x + direction.x * s, start.y + direction.y * s, start.z + direction.z * s};
}

}  // namespace

HostModel::HostModel() : file(scratch.Path()), model(file), xaf(model.GetXafModel()) {}

long HostModel::Node(const pos3d& p) {
  if (!shareNodes) return xaf->Nodes().AddNode(p);
  auto [it, added] = sharedNodes_.try_emplace(std::make_tuple(p.x, p.y, p.z), 0);
  if (added) it->second = xaf->Nodes().AddNode(p);
  return it->second;
}

boost::intrusive_ptr<HostMaterial> HostModel::Material(double e, double nu, double density) {
  boost::intrusive_ptr<HostMaterial> m(new HostMaterial(qlMaterial(e, nu, density)));
  m->Write(model);
  mirrors_.push_back(m);
  return m;
}

boost::intrusive_ptr<HostSection> HostModel::Section(const qlSection& s) {
  boost::intrusive_ptr<HostSection> section(new HostSection(s));
  section->Write(model);
  mirrors_.push_back(section);
  return section;
}

boost::intrusive_ptr<HostThickness> HostModel::Thickness(double t) {
  boost::intrusive_ptr<HostThickness> thickness(new HostThickness(t));
  thickness->Write(model);
  mirrors_.push_back(thickness);
  return thickness;
}

MeshedBeam HostModel::Beam(const pos3d& start, const vec3d& direction,
                           const std::vector<SegmentSpec>& segments,
                           boost::intrusive_ptr<IMirrorMaterial> material, std::optional<vec3d> localZ,
                           std::optional<vec3d> eccentricity, const std::vector<int>& reversed) {
  MeshedBeam meshed;
  boost::intrusive_ptr<HostBeam> beam(new HostBeam);
  meshed.nodes.push_back(Node(start));
  double s = 0.0;
  int index = 0;
  for (const auto& segmentSpec : segments) {
    boost::intrusive_ptr<HostSegment> segment(new HostSegment(segmentSpec.section, material));
    for (int k = 0; k < segmentSpec.elements; ++k, ++index) {
      const long a = meshed.nodes.back();
      long middle = 0;
      if (threeNodeBeams) {
        middle = Node(At(start, direction, s + segmentSpec.length * (k + 0.5) / segmentSpec.elements));
        meshed.nodes.push_back(middle);
      }
      const long b = Node(At(start, direction, s + segmentSpec.length * (k + 1) / segmentSpec.elements));
      meshed.nodes.push_back(b);
      const bool reverse = std::find(reversed.begin(), reversed.end(), index) != reversed.end();
      std::vector<long> stored = reverse ? std::vector<long>{b, a} : std::vector<long>{a, b};
      if (threeNodeBeams) stored.push_back(middle);
      const long element = xaf->Elements().AddElement(
          threeNodeBeams ? qlElementType::Beam3() : qlElementType::Beam2(), stored);
      segment->AddElement(element);
      meshed.elements.push_back(element);
    }
    s += segmentSpec.length;
    beam->segments.push_back(segment);
    mirrors_.push_back(segment);
  }
  if (localZ) beam->localSystem.reset(new ConstantLocalSystem(locsys3d(direction, *localZ)));
  if (eccentricity) beam->eccentricity.reset(new ConstantEccentricity(*eccentricity));
  beam->Write(model);
  mirrors_.push_back(beam);
  return meshed;
}

std::vector<std::vector<long>> HostModel::Plate(double a, int n, boost::intrusive_ptr<IMirrorThickness> t,
                                                boost::intrusive_ptr<IMirrorMaterial> m,
                                                std::vector<long>& elements) {
  std::vector<std::vector<long>> nodes(n + 1, std::vector<long>(n + 1));
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= n; ++j) {
      const double x = a * j / n, y = a * i / n;
      nodes[i][j] = Node(pos3d(x, y, plateHeight ? plateHeight(x, y) : 0.0));
    }
  }
  boost::intrusive_ptr<HostPlate> plate(new HostPlate(t, m));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      // Counter-clockwise seen from +z: the normal points along +z.
      std::vector<std::vector<long>> shells{
          {nodes[i][j], nodes[i][j + 1], nodes[i + 1][j + 1], nodes[i + 1][j]}};
      if (triangularShells) {
        shells = {{nodes[i][j], nodes[i][j + 1], nodes[i + 1][j + 1]},
                  {nodes[i][j], nodes[i + 1][j + 1], nodes[i + 1][j]}};
      }
      for (const auto& corners : shells) {
        const long e = xaf->Elements().AddElement(
            triangularShells ? qlElementType::Shell3() : qlElementType::Shell4(), corners);
        plate->AddElement(e);
        elements.push_back(e);
      }
    }
  }
  plate->Write(model);
  mirrors_.push_back(plate);
  return nodes;
}

void HostModel::Fix(long node, const std::array<double, 6>& dofs) {
  xaf->NodeProperties().SetBoundaryCondition(node, AnalysisModel::Hinge(dofs));
}

void HostModel::LoadCase(long id, const std::string& name, const vec3d& gravity) {
  boost::intrusive_ptr<HostLoadCase> lc(new HostLoadCase(id, name, gravity));
  lc->Write(model);
  mirrors_.push_back(lc);
}

void HostModel::PointLoad(long loadCase, long element, long node, const vec3d& force, const vec3d& moment) {
  const pos3d p = model.GetNodePos(node);
  ElementLoad(loadCase, {element},
              boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::PointLoad(p, force, moment)));
}

void HostModel::ElementLoad(long loadCase, const std::vector<long>& elements,
                            const boost::shared_ptr<AnalysisModel::Load>& record) {
  boost::intrusive_ptr<HostLoad> load(new HostLoad(loadCase, elements, [record](long) { return record; }));
  load->Write(model);
  mirrors_.push_back(load);
}

void HostModel::PointMass(long node, double mass) {
  boost::intrusive_ptr<HostPointMass> m(new HostPointMass(AnalysisModel::Mass(mass)));
  m->SetNode(node);
  m->Write(model);
  mirrors_.push_back(m);
}

void HostModel::RotationLoad(long loadCase, const pos3d& axisStart, const pos3d& axisEnd, double omega,
                             double alpha) {
  HostLoadManager manager(model);
  manager.AddRigidBodyRotationLoad(loadCase, axisStart, axisEnd, omega, alpha);
}

Solver::CcxDeck HostModel::Export(const Solver::ExportOptions& options) {
  model.Flush();
  AnalysisModel::XafModel reader(file, 0, 1, false);
  return Solver::ExportCcxDeck(reader, options);
}

Solver::SolveResults HostModel::Solve(const Solver::ExportOptions& options) {
  return Solver::RunSolver(Export(options));
}

bool SolverAvailable() { return Solver::FindSolver("ccx").has_value(); }

}  // namespace Kestrum::Quilm::Solver::Testing
