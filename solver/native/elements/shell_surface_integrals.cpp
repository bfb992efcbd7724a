// Quadrature points over the shell element's surface.
#include "solver/native/elements/shell_surface_integrals.hpp"

#include <Eigen/Geometry>

#include "solver/native/elements/shell_quad_map.hpp"
#include "solver/native/elements/shell_tri_map.hpp"

namespace Kestrum::Quilm::Solver::Native {

std::array<ShellSurfaceSample<4>, 4> QuadSurfaceSamples(const std::array<Eigen::Vector3d, 4>& p) {
  std::array<ShellSurfaceSample<4>, 4> samples;
  for (int g = 0; g < 4; ++g) {
    const NaturalPoint& q = QuadGaussPoints()[g];
    Eigen::Vector3d dXi = Eigen::Vector3d::Zero(), dEta = Eigen::Vector3d::Zero();
    for (int i = 0; i < 4; ++i) {
      const double a = kQuadCornerXi[i], b = kQuadCornerEta[i];
      samples[g].shape(i) = 0.25 * (1.0 + a * q.xi) * (1.0 + b * q.eta);
      dXi += 0.25 * a * (1.0 + b * q.eta) * p[i];
      dEta += 0.25 * b * (1.0 + a * q.xi) * p[i];
    }
    samples[g].areaVector = q.weight * dXi.cross(dEta);
  }
  return samples;
}

std::array<ShellSurfaceSample<3>, 3> TriangleSurfaceSamples(const std::array<Eigen::Vector3d, 3>& p) {
  const Eigen::Vector3d area = 0.5 * (p[1] - p[0]).cross(p[2] - p[0]);
  std::array<ShellSurfaceSample<3>, 3> samples;
  for (int g = 0; g < 3; ++g) {
    const TrianglePoint& q = kTriangleMidsideRule[g];
    samples[g].shape = AreaCoordinates(q.xi, q.eta);
    samples[g].areaVector = q.weight * area;
  }
  return samples;
}

}  // namespace Kestrum::Quilm::Solver::Native
