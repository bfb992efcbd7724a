// Membrane of the three-node shell with a drilling rotation: Allman,
// Comput. Struct. 19 (1984) 1-8 (linear u, v plus on each edge i -> j the
// quadratic edge-normal displacement 4 L_i L_j (l/8) (rz_j - rz_i) n), in the
// Hughes-Brezzi form shared with the four-node membrane (Ibrahimbegovic,
// Taylor & Wilson 1990): the penalty gamma (skew(grad u) - rz)^2 with linear
// rz ties the corner rotations to the continuum rotation and removes
// Allman's spurious equal-rotation mode.
//
// Local dofs, node by node: (u_i, v_i, rz_i).
#pragma once

#include <Eigen/Core>

#include "solver/native/elements/shell_section.hpp"
#include "solver/native/elements/shell_tri_map.hpp"

namespace Kestrum::Quilm::Solver::Native {

using ShellMembraneTriangleMatrix = Eigen::Matrix<double, 9, 9>;

struct TriangleMembraneOperators {
  Eigen::Matrix<double, 3, 9> strain;       // (ex, ey, gxy)
  Eigen::Matrix<double, 1, 9> rotationGap;  // (v_x - u_y)/2 - rz
};

TriangleMembraneOperators TriangleMembraneAt(const ShellTriangleCoordinates& xy, double xi, double eta);

// Stiffness: the strains (linear) integrated exactly by the midside rule,
// the drilling penalty gamma t (skew - rz)^2 with gamma = G at the centroid.
ShellMembraneTriangleMatrix TriangleMembraneStiffness(const ShellTriangleCoordinates& xy,
                                                      const ShellSection& section);

}  // namespace Kestrum::Quilm::Solver::Native
