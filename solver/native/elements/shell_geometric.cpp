// Geometric stiffness of the flat shells from their membrane forces.
#include "solver/native/elements/shell_geometric.hpp"

#include <Eigen/LU>

#include "solver/native/elements/shell_dof_layout.hpp"
#include "solver/native/elements/shell_frame.hpp"
#include "solver/native/elements/shell_quad_map.hpp"
#include "solver/native/elements/shell_tri_cubic_deflection.hpp"
#include "solver/native/elements/shell_tri_map.hpp"

namespace Kestrum::Quilm::Solver::Native {

namespace {

Eigen::Matrix2d StressTensor(const ShellMembraneForces& n) {
  return (Eigen::Matrix2d() << n.nx, n.nxy, n.nxy, n.ny).finished();
}

// Element matrix (6 dofs per node) with `scalar` (one dof per node) on the
// translations listed in `components`.
template <int N>
Eigen::Matrix<double, 6 * N, 6 * N> OnTranslations(const Eigen::Matrix<double, N, N>& scalar,
                                                   std::initializer_list<int> components) {
  Eigen::Matrix<double, 6 * N, 6 * N> k = Eigen::Matrix<double, 6 * N, 6 * N>::Zero();
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j)
      for (int c : components) k(6 * i + c, 6 * j + c) = scalar(i, j);
  return k;
}

// Rigid links from the corners to their projections on the mean plane, after
// the rotation to the local frame: ShellQuad4's map from global to flat dofs.
Eigen::Matrix<double, 24, 24> QuadGlobalToFlat(const ShellFrame& frame,
                                               const std::array<Eigen::Vector3d, 4>& corners) {
  Eigen::Matrix<double, 24, 24> link = Eigen::Matrix<double, 24, 24>::Identity();
  for (int i = 0; i < 4; ++i) {
    const double h = frame.Normal().dot(corners[i] - frame.origin);
    link(6 * i + 0, 6 * i + 4) = -h;
    link(6 * i + 1, 6 * i + 3) = h;
  }
  return link * GlobalToLocalDofs<4>(frame);
}

// int grad(N)^T S grad(N) dA for the bilinear shape functions, 2 x 2 Gauss.
Eigen::Matrix4d QuadGradientProduct(const ShellQuadCoordinates& xy, const Eigen::Matrix2d& stress) {
  Eigen::Matrix4d k = Eigen::Matrix4d::Zero();
  for (const NaturalPoint& g : QuadGaussPoints()) {
    const BilinearPoint p = EvaluateBilinear(xy, g.xi, g.eta);
    k += p.cartesian.transpose() * stress * p.cartesian * (g.weight * p.detJ);
  }
  return k;
}

// Six-point rule of degree 4 (Dunavant, IJNME 21 (1985) 1129-1148); the
// weights are fractions of the area. The cubic's slope products are quartic.
const std::array<TrianglePoint, 6>& TriangleDegreeFourRule() {
  static const std::array<TrianglePoint, 6> rule = [] {
    const double a = 0.445948490915965, wa = 0.223381589678011;
    const double b = 0.091576213509771, wb = 0.109951743655322;
    return std::array<TrianglePoint, 6>{
        TrianglePoint{a, a, wa}, TrianglePoint{1.0 - 2.0 * a, a, wa}, TrianglePoint{a, 1.0 - 2.0 * a, wa},
        TrianglePoint{b, b, wb}, TrianglePoint{1.0 - 2.0 * b, b, wb}, TrianglePoint{b, 1.0 - 2.0 * b, wb}};
  }();
  return rule;
}

// int G^T S G dA for the cubic deflection, on the plate dofs (w, rx, ry).
Eigen::Matrix<double, 9, 9> TriangleBendingPart(const ShellTriangleCoordinates& xy,
                                                const Eigen::Matrix2d& stress) {
  const ReducedCubicDeflection deflection(xy);
  const double area = MapTriangle(xy).area;
  Eigen::Matrix<double, 9, 9> k = Eigen::Matrix<double, 9, 9>::Zero();
  for (const TrianglePoint& q : TriangleDegreeFourRule()) {
    const ReducedCubicDeflection::SlopeOperator g = deflection.Slopes(q.xi, q.eta);
    k += g.transpose() * stress * g * (q.weight * area);
  }
  return k;
}

// The same for u and v, linear over the element.
Eigen::Matrix3d TriangleMembranePart(const ShellTriangleCoordinates& xy, const Eigen::Matrix2d& stress) {
  const LinearTriangleMap map = MapTriangle(xy);
  return map.gradient.transpose() * stress * map.gradient * map.area;
}

}  // namespace

Eigen::Matrix<double, 24, 24> ShellQuad4GeometricStiffness(const std::array<Eigen::Vector3d, 4>& corners,
                                                           const ShellMembraneForces& forces) {
  const ShellFrame frame = QuadShellFrame(corners);
  const ShellQuadCoordinates xy = PlanarCoordinates<4>(frame, corners);
  for (int i = 0; i < 4; ++i) EvaluateBilinear(xy, kQuadCornerXi[i], kQuadCornerEta[i]);  // convexity
  const Eigen::Matrix4d scalar = QuadGradientProduct(xy, StressTensor(forces));
  const Eigen::Matrix<double, 24, 24> g = QuadGlobalToFlat(frame, corners);
  const Eigen::Matrix<double, 24, 24> k = g.transpose() * OnTranslations<4>(scalar, {0, 1, 2}) * g;
  return 0.5 * (k + k.transpose());
}

Eigen::Matrix<double, 18, 18> ShellTri3GeometricStiffness(const std::array<Eigen::Vector3d, 3>& corners,
                                                          const ShellMembraneForces& forces) {
  const ShellFrame frame = TriangleShellFrame(corners);
  const ShellTriangleCoordinates xy = PlanarCoordinates<3>(frame, corners);
  const Eigen::Matrix2d stress = StressTensor(forces);
  Eigen::Matrix<double, 18, 18> local = OnTranslations<3>(TriangleMembranePart(xy, stress), {0, 1});
  local += MergeMembraneAndPlate<3>(Eigen::Matrix<double, 9, 9>::Zero(), TriangleBendingPart(xy, stress));
  const Eigen::Matrix<double, 18, 18> t = GlobalToLocalDofs<3>(frame);
  const Eigen::Matrix<double, 18, 18> k = t.transpose() * local * t;
  return 0.5 * (k + k.transpose());
}

}  // namespace Kestrum::Quilm::Solver::Native
