// Four-node flat shell element for an isotropic linear-elastic section, six
// global dofs per node (ux, uy, uz, rx, ry, rz) so that it shares nodes with
// 3D beams. MITC4 bending and transverse shear (Dvorkin & Bathe 1984) plus the
// Allman-type drilling membrane of Ibrahimbegovic, Taylor & Wilson (1990): rz
// is a true in-plane rotation, stiff through the formulation, not a spring.
//
// Warped corners: the element is formed on its mean plane (through the mean
// of the corners, normal to both diagonals; the corners lie alternately at
// +h and -h from it) and each corner is joined to its projection by a rigid
// link, u_proj = u + r x (p_proj - p). The rigid-body modes stay exact and a
// twisted strip keeps its torsional and bending stiffness (the twisted-beam
// benchmark, 7.5 degrees of twist per element, is within 0.4 %). Meant for
// moderately warped elements: the correction is first order in the warp.
// Loads and mass are integrated over the true bilinear surface through the
// corners.
//
// Frame, node order and result conventions: see shell_frame.hpp and
// shell_results.hpp.
#pragma once

#include <Eigen/Core>
#include <array>

#include "solver/native/elements/shell_frame.hpp"
#include "solver/native/elements/shell_quad_map.hpp"
#include "solver/native/elements/shell_results.hpp"
#include "solver/native/elements/shell_section.hpp"
#include "solver/native/elements/shell_surface_integrals.hpp"

namespace Kestrum::Quilm::Solver::Native {

class ShellQuad4 {
 public:
  using Vector = Eigen::Matrix<double, 24, 1>;
  using Matrix = Eigen::Matrix<double, 24, 24>;

  // Corners in perimeter order. Throws std::invalid_argument for an invalid
  // section or corners that are coincident, collinear or not convex when
  // projected on the mean plane.
  ShellQuad4(const std::array<Eigen::Vector3d, 4>& corners, const ShellSection& section);

  const ShellFrame& Frame() const { return frame_; }
  // Height of corner 0 above the mean plane (corner 2 is at the same height,
  // corners 1 and 3 at minus it); 0 for a flat element.
  double WarpingOffset() const { return heights_(0); }

  // Symmetric stiffness in global dofs, six rigid-body zero-energy modes.
  Matrix Stiffness() const;
  // Uniform pressure along the element normal of the node order.
  Vector PressureLoad(double pressure) const;
  // Body force of the acceleration field `acceleration` (e.g. gravity):
  // rho t times it per unit area.
  Vector BodyLoad(const Eigen::Vector3d& acceleration) const;
  Matrix Mass(ShellMassKind kind) const;

  // The map G = L T from global node dofs to the local dofs of the
  // projected corners (T the frame's rotation, L the rigid links): a matrix
  // formed on the flat element in global dofs, G^T F G, and the flat dofs of
  // global ones, G u. Stiffness, results and any further flat-element matrix
  // (e.g. a geometric stiffness) go through these.
  Matrix FlatMatrixToGlobal(const Matrix& flat) const;
  Vector GlobalToFlatDofs(const Vector& global) const;

  // Resultants and stresses at the centre and the corners, in the local
  // system, from the element's global node displacements.
  ShellElementResults Results(const Vector& globalDisplacements) const;

 private:
  // The rigid links from the corners to their projections, on local dofs:
  // LinkToFlat(v) = L v, FlatToLinked(F) = L^T F L.
  Vector LinkToFlat(const Vector& local) const;
  Matrix FlatToLinked(const Matrix& flat) const;
  ShellPointResults ResultsAt(const Vector& flatDisplacements, double xi, double eta) const;

  std::array<Eigen::Vector3d, 4> corners_;
  ShellSection section_;
  ShellFrame frame_;
  ShellQuadCoordinates planar_;
  Eigen::Vector4d heights_;  // signed distance of each corner from the mean plane along z
};

}  // namespace Kestrum::Quilm::Solver::Native
