// Three-node flat shell element for an isotropic linear-elastic section, six
// global dofs per node (ux, uy, uz, rx, ry, rz). DKT plate bending (Batoz,
// Bathe & Ho 1980; thin-plate theory) plus Allman's drilling membrane (1984)
// in the Hughes-Brezzi form shared with the four-node element: rz is a true
// in-plane rotation, stiff through the formulation, not a spring.
//
// The element has no transverse shear strain: the recovered qx, qy come from
// the gradient of its linear moment field and are rough element estimates
// (see DktShearForces); the four-node element's shears are accurate.
//
// Frame, node order and result conventions: see shell_frame.hpp and
// shell_results.hpp.
#pragma once

#include <Eigen/Core>
#include <array>

#include "solver/native/elements/shell_frame.hpp"
#include "solver/native/elements/shell_results.hpp"
#include "solver/native/elements/shell_section.hpp"
#include "solver/native/elements/shell_surface_integrals.hpp"
#include "solver/native/elements/shell_tri_map.hpp"

namespace Kestrum::Quilm::Solver::Native {

class ShellTri3 {
 public:
  using Vector = Eigen::Matrix<double, 18, 1>;
  using Matrix = Eigen::Matrix<double, 18, 18>;

  // Throws std::invalid_argument for an invalid section or corners that are
  // coincident or collinear.
  ShellTri3(const std::array<Eigen::Vector3d, 3>& corners, const ShellSection& section);

  const ShellFrame& Frame() const { return frame_; }

  // Symmetric stiffness in global dofs, six rigid-body zero-energy modes.
  Matrix Stiffness() const;
  // Uniform pressure along the element normal of the node order.
  Vector PressureLoad(double pressure) const;
  // Body force of the acceleration field (rho t times it per unit area).
  Vector BodyLoad(const Eigen::Vector3d& acceleration) const;
  Matrix Mass(ShellMassKind kind) const;

  // Resultants and stresses at the centroid and the corners, in the local
  // system, from the element's global node displacements.
  ShellElementResults Results(const Vector& globalDisplacements) const;

 private:
  ShellPointResults ResultsAt(const Vector& localDisplacements, double xi, double eta) const;

  std::array<Eigen::Vector3d, 3> corners_;
  ShellSection section_;
  ShellFrame frame_;
  ShellTriangleCoordinates planar_;
};

}  // namespace Kestrum::Quilm::Solver::Native
