// The native model's elements as assembly, loads and recovery see them: each
// a short list of node indices and the kernel that gives its stiffness in
// global node dofs, the consistent nodal loads of a load case and its
// results. A three-node beam becomes two parts meeting at its middle node,
// each the exact member between its ends.
#pragma once

#include <memory>
#include <variant>
#include <vector>

#include "solver/native/elements/beam_element.hpp"
#include "solver/native/elements/beam_mass.hpp"
#include "solver/native/elements/beam_section_forces.hpp"
#include "solver/native/elements/beam_transformation.hpp"
#include "solver/native/elements/shell_quad4.hpp"
#include "solver/native/elements/shell_tri3.hpp"
#include "solver/native/native_model.hpp"

namespace Kestrum::Quilm::Solver::Native {

// One straight beam member between two nodes: a whole two-node beam or one
// half of a three-node beam.
struct BeamPart {
  std::size_t beam = 0;     // index into NativeModel::beams
  int half = 0;             // 0 whole, 1 or 2 the halves of a three-node beam
  std::array<int, 2> nodes{};
  double from = 0.0, to = 1.0;  // where the part lies along its beam, as fractions of the beam's length
  BeamTransformation transformation;
  BeamElement element;
};

// One shell element.
struct ShellPart {
  std::size_t shell = 0;  // index into NativeModel::shells
  std::variant<ShellQuad4, ShellTri3> kernel;
};

// Every element of a native model as parts, in the model's order (beams,
// then shells). Throws NativeModelError naming the elements whose geometry
// or properties the kernels refuse (zero length, a local z axis along the
// member, a release that leaves a member free to move, a degenerate shell).
class NativeElements {
 public:
  explicit NativeElements(const NativeModel& model);

  const std::vector<BeamPart>& Beams() const { return beams_; }
  const std::vector<ShellPart>& Shells() const { return shells_; }
  std::size_t Count() const { return beams_.size() + shells_.size(); }

  // Part `i` (beams first): its node indices and stiffness in global node
  // dofs (6 per node, row-major, nodes in the listed order).
  std::vector<int> NodesOf(std::size_t i) const;
  Eigen::MatrixXd StiffnessOf(std::size_t i) const;
  // Mass in global node dofs (translations and rotary inertia), consistent
  // unless `lumped`.
  Eigen::MatrixXd MassOf(std::size_t i, bool lumped = false) const;

  // Geometric stiffness of part `i` in global node dofs from the pre-stress
  // of raw displacements `u` under `loads` (a static solution): beams from
  // their end forces, shells from their membrane forces at the centre.
  Eigen::MatrixXd GeometricStiffnessOf(std::size_t i, const std::vector<double>& u, const NativeLoads& loads) const;
  // The consistent nodal loads of `loads` on part `i` (global, 6 per node),
  // gravity on its own mass included.
  Eigen::VectorXd LoadsOf(std::size_t i, const NativeLoads& loads) const;
  // The span loads of a beam part in its local axes: its share of the
  // beam's line load, its weight and the beam's initial strain.
  BeamSpanLoads SpanLoadsOf(const BeamPart& part, const NativeLoads& loads) const;

 private:
  void AddBeam(std::size_t index, std::vector<std::string>& refused);
  void AddShell(std::size_t index, std::vector<std::string>& refused);

  const NativeModel& model_;  // not owned: must outlive this object
  std::vector<BeamPart> beams_;
  std::vector<ShellPart> shells_;
};

}  // namespace Kestrum::Quilm::Solver::Native
