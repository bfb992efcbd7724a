// Three-node flat shell: DKT plate and Allman drilling membrane.
#include "solver/native/elements/shell_tri3.hpp"

#include "solver/native/elements/shell_dof_layout.hpp"
#include "solver/native/elements/shell_membrane_tri.hpp"
#include "solver/native/elements/shell_plate_dkt.hpp"

namespace Kestrum::Quilm::Solver::Native {

ShellTri3::ShellTri3(const std::array<Eigen::Vector3d, 3>& corners, const ShellSection& section)
    : corners_(corners), section_(section), frame_(TriangleShellFrame(corners)) {
  ValidateShellSection(section);
  planar_ = PlanarCoordinates<3>(frame_, corners);
  MapTriangle(planar_);  // orientation and area check
}

ShellTri3::Matrix ShellTri3::Stiffness() const {
  const Matrix local =
      MergeMembraneAndPlate<3>(TriangleMembraneStiffness(planar_, section_), DktStiffness(planar_, section_));
  const Matrix k = RotateMatrixToGlobal<3>(frame_, local);
  return 0.5 * (k + k.transpose());
}

ShellTri3::Vector ShellTri3::PressureLoad(double pressure) const {
  return SurfacePressureLoad<3>(TriangleSurfaceSamples(corners_), pressure);
}

ShellTri3::Vector ShellTri3::BodyLoad(const Eigen::Vector3d& acceleration) const {
  return SurfaceForceLoad<3>(TriangleSurfaceSamples(corners_),
                             section_.density * section_.thickness * acceleration);
}

ShellTri3::Matrix ShellTri3::Mass(ShellMassKind kind) const {
  return SurfaceMass<3>(TriangleSurfaceSamples(corners_), section_, kind);
}

ShellPointResults ShellTri3::ResultsAt(const Vector& local, double xi, double eta) const {
  const Eigen::Matrix<double, 9, 1> membrane = PickShellDofs<3>(local, kShellMembraneSlots);
  const Eigen::Matrix<double, 9, 1> plate = PickShellDofs<3>(local, kShellPlateSlots);
  const Eigen::Vector3d n =
      MembraneRigidity(section_) * (TriangleMembraneAt(planar_, xi, eta).strain * membrane);
  const Eigen::Vector3d m = BendingRigidity(section_) * (DktCurvature(planar_, xi, eta) * plate);
  const Eigen::Vector2d q = DktShearForces(planar_, section_) * plate;
  const ShellResultants r{n(0), n(1), n(2), m(0), m(1), m(2), q(0), q(1)};
  return ShellPointResultsFrom(r, section_.thickness);
}

ShellElementResults ShellTri3::Results(const Vector& globalDisplacements) const {
  const Vector local = RotateDofsToLocal<3>(frame_, globalDisplacements);
  ShellElementResults results;
  results.corners.reserve(3);
  results.centre = ResultsAt(local, 1.0 / 3.0, 1.0 / 3.0);
  const double cornerXi[3] = {0.0, 1.0, 0.0}, cornerEta[3] = {0.0, 0.0, 1.0};
  for (int i = 0; i < 3; ++i) results.corners.push_back(ResultsAt(local, cornerXi[i], cornerEta[i]));
  return results;
}

}  // namespace Kestrum::Quilm::Solver::Native
