// Four-node flat shell: MITC4 plate, drilling membrane, rigid-link warping
// correction.
#include "solver/native/elements/shell_quad4.hpp"

#include "solver/native/elements/shell_dof_layout.hpp"
#include "solver/native/elements/shell_membrane_quad.hpp"
#include "solver/native/elements/shell_plate_mitc4.hpp"

namespace Kestrum::Quilm::Solver::Native {

ShellQuad4::ShellQuad4(const std::array<Eigen::Vector3d, 4>& corners, const ShellSection& section)
    : corners_(corners), section_(section), frame_(QuadShellFrame(corners)) {
  ValidateShellSection(section);
  planar_ = PlanarCoordinates<4>(frame_, corners);
  for (int i = 0; i < 4; ++i) heights_(i) = frame_.Normal().dot(corners[i] - frame_.origin);
  for (int i = 0; i < 4; ++i) EvaluateBilinear(planar_, kQuadCornerXi[i], kQuadCornerEta[i]);  // convexity
}

// Rigid link from corner i to its projection, offset (0, 0, -h_i) locally:
// u_proj = u - h ry, v_proj = v + h rx. Applied to local dofs; the link is
// the identity but for these two entries per corner, so it is applied entry
// by entry rather than as a 24 x 24 product.
ShellQuad4::Vector ShellQuad4::LinkToFlat(const Vector& local) const {
  Vector flat = local;
  for (int i = 0; i < 4; ++i) {
    flat(6 * i + 0) -= heights_(i) * local(6 * i + 4);
    flat(6 * i + 1) += heights_(i) * local(6 * i + 3);
  }
  return flat;
}

ShellQuad4::Matrix ShellQuad4::FlatToLinked(const Matrix& flat) const {
  // L^T F L with L = I + E, E holding the link entries: rows and columns of
  // rx, ry pick up h times those of v, u.
  Matrix k = flat;
  for (int i = 0; i < 4; ++i) {
    const int u = 6 * i, v = 6 * i + 1, rx = 6 * i + 3, ry = 6 * i + 4;
    const double h = heights_(i);
    if (h == 0.0) continue;
    k.col(ry) -= h * k.col(u);
    k.col(rx) += h * k.col(v);
  }
  for (int i = 0; i < 4; ++i) {
    const int u = 6 * i, v = 6 * i + 1, rx = 6 * i + 3, ry = 6 * i + 4;
    const double h = heights_(i);
    if (h == 0.0) continue;
    k.row(ry) -= h * k.row(u);
    k.row(rx) += h * k.row(v);
  }
  return k;
}

ShellQuad4::Matrix ShellQuad4::FlatMatrixToGlobal(const Matrix& flat) const {
  return RotateMatrixToGlobal<4>(frame_, FlatToLinked(flat));
}

ShellQuad4::Vector ShellQuad4::GlobalToFlatDofs(const Vector& global) const {
  return LinkToFlat(RotateDofsToLocal<4>(frame_, global));
}

ShellQuad4::Matrix ShellQuad4::Stiffness() const {
  const Matrix flat =
      MergeMembraneAndPlate<4>(QuadMembraneStiffness(planar_, section_), Mitc4Stiffness(planar_, section_));
  const Matrix k = FlatMatrixToGlobal(flat);
  return 0.5 * (k + k.transpose());
}

ShellQuad4::Vector ShellQuad4::PressureLoad(double pressure) const {
  return SurfacePressureLoad<4>(QuadSurfaceSamples(corners_), pressure);
}

ShellQuad4::Vector ShellQuad4::BodyLoad(const Eigen::Vector3d& acceleration) const {
  return SurfaceForceLoad<4>(QuadSurfaceSamples(corners_),
                             section_.density * section_.thickness * acceleration);
}

ShellQuad4::Matrix ShellQuad4::Mass(ShellMassKind kind) const {
  return SurfaceMass<4>(QuadSurfaceSamples(corners_), section_, kind);
}

ShellPointResults ShellQuad4::ResultsAt(const Vector& flat, double xi, double eta) const {
  const Eigen::Matrix<double, 12, 1> membrane = PickShellDofs<4>(flat, kShellMembraneSlots);
  const Eigen::Matrix<double, 12, 1> plate = PickShellDofs<4>(flat, kShellPlateSlots);
  const Eigen::Vector3d n = MembraneRigidity(section_) * (QuadMembraneAt(planar_, xi, eta).strain * membrane);
  const Eigen::Vector3d m =
      BendingRigidity(section_) * (Mitc4Curvature(EvaluateBilinear(planar_, xi, eta)) * plate);
  const Eigen::Vector2d q = TransverseShearRigidity(section_) * (Mitc4Shear(planar_, xi, eta) * plate);
  const ShellResultants r{n(0), n(1), n(2), m(0), m(1), m(2), q(0), q(1)};
  return ShellPointResultsFrom(r, section_.thickness);
}

ShellElementResults ShellQuad4::Results(const Vector& globalDisplacements) const {
  const Vector flat = GlobalToFlatDofs(globalDisplacements);
  ShellElementResults results;
  results.corners.reserve(4);
  results.centre = ResultsAt(flat, 0.0, 0.0);
  for (int i = 0; i < 4; ++i) results.corners.push_back(ResultsAt(flat, kQuadCornerXi[i], kQuadCornerEta[i]));
  return results;
}

}  // namespace Kestrum::Quilm::Solver::Native
