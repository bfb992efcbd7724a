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

ShellQuad4::Matrix ShellQuad4::GlobalToFlat() const {
  // Rigid link from corner i to its projection, offset (0, 0, -h_i) locally:
  // u_proj = u - h ry, v_proj = v + h rx.
  Matrix link = Matrix::Identity();
  for (int i = 0; i < 4; ++i) {
    link(6 * i + 0, 6 * i + 4) = -heights_(i);
    link(6 * i + 1, 6 * i + 3) = heights_(i);
  }
  return link * GlobalToLocalDofs<4>(frame_);
}

ShellQuad4::Matrix ShellQuad4::Stiffness() const {
  const Matrix flat =
      MergeMembraneAndPlate<4>(QuadMembraneStiffness(planar_, section_), Mitc4Stiffness(planar_, section_));
  const Matrix g = GlobalToFlat();
  const Matrix k = g.transpose() * flat * g;
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
  const Vector flat = GlobalToFlat() * globalDisplacements;
  ShellElementResults results;
  results.centre = ResultsAt(flat, 0.0, 0.0);
  for (int i = 0; i < 4; ++i) results.corners.push_back(ResultsAt(flat, kQuadCornerXi[i], kQuadCornerEta[i]));
  return results;
}

}  // namespace Kestrum::Quilm::Solver::Native
