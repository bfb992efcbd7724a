// Membrane of the four-node shell with a drilling rotation: Ibrahimbegovic,
// Taylor & Wilson, IJNME 30 (1990) 445-457 (Allman-type interpolation plus
// the drilling functional of Hughes & Brezzi, CMAME 72 (1989) 105-121).
// Bilinear u, v and rz, plus on each edge i -> j a quadratic edge-normal
// displacement M_k (l/8) (rz_j - rz_i) n, M_k the serendipity midside
// function; the penalty gamma (skew(grad u) - rz)^2 ties rz to the continuum
// rotation.
//
// Local dofs, node by node: (u_i, v_i, rz_i), in the element's x-y plane.
#pragma once

#include <Eigen/Core>

#include "solver/native/elements/shell_quad_map.hpp"
#include "solver/native/elements/shell_section.hpp"

namespace Kestrum::Quilm::Solver::Native {

using ShellMembraneQuadMatrix = Eigen::Matrix<double, 12, 12>;

struct QuadMembraneOperators {
  Eigen::Matrix<double, 3, 12> strain;       // (ex, ey, gxy)
  Eigen::Matrix<double, 1, 12> rotationGap;  // (v_x - u_y)/2 - rz, the skew part of the gradient less rz
  double detJ = 0.0;                         // area per natural area at the point
};

// Strain and rotation-gap operators at (xi, eta).
QuadMembraneOperators QuadMembraneAt(const ShellQuadCoordinates& xy, double xi, double eta);

// Stiffness: 2 x 2 Gauss on t C for the strains, plus the drilling penalty
// gamma t (skew - rz)^2 at the centre. gamma = G as Hughes & Brezzi advise:
// the form is stable for any gamma > 0, and Cook's membrane on 16 x 16
// elements moves by under 0.4 % between G/1000 and 10 G. One point removes
// the interpolation's one spurious mode (equal corner rotations, no
// displacement) and adds the least stiffness.
ShellMembraneQuadMatrix QuadMembraneStiffness(const ShellQuadCoordinates& xy, const ShellSection& section);

}  // namespace Kestrum::Quilm::Solver::Native
