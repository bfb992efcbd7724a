// The analysis model as the native solver reads it: the nodes its elements
// use, beams and shells with their properties resolved, supports and point
// masses, and each load case's loads. Everything is plain data in model
// units; what the model holds that the solver cannot analyse is refused with
// the records named (NativeModelError), all of them at once.
#pragma once

#include <Eigen/Dense>
#include <array>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis_model/xaf_model.hpp"
#include "solver/native/elements/beam_types.hpp"
#include "solver/shared/solve_results.hpp"

namespace Kestrum::Quilm::Solver::Native {

// A model the native solver cannot analyse; the message names every record
// concerned.
class NativeModelError : public SolverError {
 public:
  using SolverError::SolverError;
};

// One beam element: its nodes in geometric order (first end, [middle,] last
// end), the eccentricity at each (global), its stored local z axis (zero
// when it has none), its section and material, and the fixity of its two
// ends in its local axes (1 rigid, 0 released).
struct NativeBeam {
  long id = 0;
  int nodeCount = 2;
  std::array<int, 3> nodes{};  // node indices (see NativeModel::nodeIds)
  std::array<Eigen::Vector3d, 3> eccentricities{Eigen::Vector3d::Zero(), Eigen::Vector3d::Zero(),
                                                Eigen::Vector3d::Zero()};
  Eigen::Vector3d zAxis = Eigen::Vector3d::Zero();
  BeamSectionProperties section;
  double density = 0.0;
  double polarMoment = 0.0;  // Iy + Iz, for the rotary inertia
  std::array<double, 6> startFixity{1, 1, 1, 1, 1, 1}, endFixity{1, 1, 1, 1, 1, 1};
  // The node indices of the beam's last end (geometric order).
  int LastNode() const { return nodes[static_cast<std::size_t>(nodeCount - 1)]; }
};

// One shell element: its corners in perimeter order (the element normal by
// the right-hand rule), thickness and material.
struct NativeShell {
  long id = 0;
  int nodeCount = 4;
  std::array<int, 4> nodes{};
  double thickness = 0.0;
  double youngsModulus = 0.0, poissonsRatio = 0.0, density = 0.0;
};

// The loads of one load case (or of load cases summed with factors).
struct NativeLoads {
  // Forces and moments on nodes, global, by node index: (Fx, Fy, Fz, Mx, My, Mz).
  std::map<int, Eigen::Matrix<double, 6, 1>> nodal;
  // Node accelerations, global, by node index: their inertia forces act.
  std::map<int, Eigen::Vector3d> accelerations;
  // Line loads per beam (index into NativeModel::beams): force per length,
  // global, at its first and its last end, linear between.
  std::map<std::size_t, std::pair<Eigen::Vector3d, Eigen::Vector3d>> lineLoads;
  // Pressures per shell (index into NativeModel::shells), along its normal.
  std::map<std::size_t, double> pressures;
  // Initial axial strains per beam (index).
  std::map<std::size_t, double> initialStrains;
  // The acceleration of gravity; zero for none.
  Eigen::Vector3d gravity = Eigen::Vector3d::Zero();
};

struct NativeModel {
  // The nodes the solver holds, by index: those of elements, supports,
  // masses and loads, ascending by id.
  std::vector<long> nodeIds;
  std::vector<Eigen::Vector3d> positions;
  std::vector<NativeBeam> beams;
  std::vector<NativeShell> shells;
  // Support fixity factors per node index, global (ux, uy, uz, rx, ry, rz):
  // 1 held, 0 free, between a spring (see the solver's header).
  std::map<int, std::array<double, 6>> supports;
  // Point masses per node index: mx, my, mz, Ixx, Iyy, Izz.
  std::map<int, std::array<double, 6>> pointMasses;
  // The node index of a model node id; -1 for nodes the solver does not hold.
  std::vector<int> indexOfId;
  int IndexOf(long id) const {
    return id >= 0 && static_cast<std::size_t>(id) < indexOfId.size() ? indexOfId[static_cast<std::size_t>(id)]
                                                                        : -1;
  }
  // Beam and shell indices by element id (-1: not one).
  std::map<long, std::size_t> beamOfElement, shellOfElement;
  // Approximations made and records left out, one sentence each.
  std::vector<std::string> notes;
};

// Reads `model` (only read). Throws NativeModelError naming every element
// the solver cannot take (no section or material, a section without the
// properties of a beam, degenerate geometry, unknown element types).
NativeModel ReadNativeModel(AnalysisModel::XafModel& model);

// The loads of the load cases `factors` (id, factor) summed. Throws
// NativeModelError for an unknown load case and for loads the solver cannot
// apply (line loads on shells, pressures on beams, several positions in one
// point record, initial strains on shells), named.
NativeLoads ReadNativeLoads(AnalysisModel::XafModel& model, const NativeModel& native,
                            const std::vector<std::pair<long, double>>& factors);

}  // namespace Kestrum::Quilm::Solver::Native
