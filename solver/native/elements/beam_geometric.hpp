// Geometric (initial-stress) stiffness of the two-node 3D beam in its local
// axes, for linear buckling: K_g from the pre-stress end forces, so that the
// critical load factor lambda solves (K + lambda K_g) phi = 0.
// Source: McGuire, Gallagher & Ziemian, Matrix Structural Analysis, 2nd ed.
// (2000), eq. 9.18 (after Yang & McGuire, J. Struct. Eng. 112(4), 1986).
//
// It is the Hessian of the initial-stress work with linear u and twist and
// cubic Hermite v, w (doubly symmetric section, shear centre at the centroid,
// no warping), N and T constant, My and Mz linear between the end values,
// plus half the end terms theta (My v' + Mz w'): the end moments act as
// semitangential moments. Rigid offsets and end springs add no geometric
// stiffness of their own; the springs are condensed with the elastic
// condensation (CondenseGeometricStiffness).
#pragma once

#include "solver/native/elements/beam_element.hpp"
#include "solver/native/elements/beam_types.hpp"

namespace Kestrum::Quilm::Solver::Native {

// The pre-stress state of one member, in local axes. The moments are end
// forces: the moment the node exerts on the member's end (the convention of
// BeamElement::EndForces), so a uniform section moment My = M along the
// member is startMy = -M, endMy = +M.
struct BeamPrestress {
  double N = 0.0;        // axial force, tension positive
  double T = 0.0;        // torque (section force, BeamSectionForce kT)
  double startMy = 0.0;  // end-force moments about local y and z at the start
  double startMz = 0.0;
  double endMy = 0.0;  // ... and at the end
  double endMz = 0.0;
};

// Pre-stress from the 12 local end forces on the member (BeamElement::
// EndForces). N and T are the means of the section forces at both ends, exact
// without axial or torsional span loads and the mid-length value under a
// uniform one.
BeamPrestress BeamPrestressFromEndForces(const Vector12& endForces);

// 12x12 local geometric stiffness, symmetric, of a rigidly attached member of
// length L > 0; uses A, Iy, Iz of `section` (polar moment Ip = Iy + Iz about
// the centroid, torsion term N Ip / (A L)). Zero for a zero pre-stress; a
// rigid translation has no geometric energy. Throws std::invalid_argument for
// L not positive or A not positive.
Matrix12 BeamGeometricStiffness(const BeamSectionProperties& section, double L,
                                const BeamPrestress& prestress);

// The member's geometric stiffness carried to the node dofs through the end
// springs of `fixity`, C^T K_g C, where C (member-end displacements from node
// displacements) is the elastic condensation the BeamElement of the same L,
// section and fixity uses. Exact where all ends are rigid (C = I); with
// releases the springs' dofs follow the elastic deflected shape, the usual
// linearisation for buckling. Throws as BeamElement's constructor does.
//
// To global dofs, as for the elastic stiffness (offsets and axes):
//   ToGlobal(transformation, CondenseGeometricStiffness(...))  (T^T K_g T).
Matrix12 CondenseGeometricStiffness(const Matrix12& memberGeometric, double L,
                                    const BeamSectionProperties& section, const BeamEndFixity& fixity);

}  // namespace Kestrum::Quilm::Solver::Native
