// The native solver's stages between reading the model and returning
// results (not installed): the element matrices kept once formed, the
// equation numbering, the load vectors of a load case and the recovery of
// one load case's results from its displacements.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "solver/native/native_elements.hpp"
#include "solver/native/native_model.hpp"
#include "solver/native/linear/factorisation.hpp"
#include "solver/native/linear/sparse_matrix.hpp"
#include "solver/shared/solve_results.hpp"

namespace Kestrum::Quilm::Solver::Native {

// Degrees of freedom are numbered 6 per node index ("raw" numbers): node
// index i has i*6 + (ux, uy, uz, rx, ry, rz).
constexpr int kNodeDofs = 6;

// Every element's stiffness in global node dofs, formed once (on every
// core) and kept for assembly and for the element forces of recovery.
class ElementMatrices {
 public:
  // Every element's stiffness.
  explicit ElementMatrices(const NativeElements& elements);
  // Every element's matrix as `form(i)` gives it (mass, geometric
  // stiffness), in global node dofs; called on every core.
  ElementMatrices(const NativeElements& elements, const std::function<Eigen::MatrixXd(std::size_t)>& form);
  std::size_t Count() const { return offsets_.size() - 1; }
  // Part i's matrix, n x n row-major with n = 6 x its node count.
  const double* Matrix(std::size_t i) const { return values_.data() + offsets_[i]; }
  int Size(std::size_t i) const { return sizes_[i]; }
  const std::vector<int>& Nodes(std::size_t i) const { return nodes_[i]; }
  // The sum of the diagonals per raw dof.
  std::vector<double> Diagonal(std::size_t nodeCount) const;

 private:
  std::vector<std::size_t> offsets_{0};
  std::vector<int> sizes_;
  std::vector<std::vector<int>> nodes_;
  std::vector<double> values_;
};

// Which raw dofs are equations: held directions of supports are not, nor
// directions that no element stiffens (their loads must be zero).
struct EquationMap {
  std::vector<Equation> equationOf;  // by raw dof; -1 for none
  std::vector<std::int64_t> rawOf;   // by equation
  // Support springs: raw dof and stiffness.
  std::vector<std::pair<std::int64_t, double>> springs;
  // Raw dofs that no element stiffens.
  std::vector<bool> inactive;
  Equation Count() const { return static_cast<Equation>(rawOf.size()); }
};

// Numbers the equations of `model` given the elements' summed diagonal.
EquationMap NumberEquations(const NativeModel& model, const std::vector<double>& diagonal);

// The element matrices added in place into the pattern of the node graph,
// in compressed form, and `diagonal` (raw dof, value) on the diagonal of
// the dofs that are equations: the support springs for the stiffness
// (the default), point masses for the mass.
SymmetricSparseMatrix AssembleByNodes(const ElementMatrices& matrices, const EquationMap& map, std::size_t nodes);
SymmetricSparseMatrix AssembleByNodes(const ElementMatrices& matrices, const EquationMap& map, std::size_t nodes,
                                      const std::vector<std::pair<std::int64_t, double>>& diagonal);

// How the stiffness is factorised: with pivoting (null pivots found), in a
// reproducible ordering, in memory or out of core as `memory` says.
FactorisationOptions StiffnessFactorisationOptions(const SymmetricSparseMatrix& stiffness,
                                                   const NativeMemoryOptions& memory = {});

// Runs `solve`, a refusal for memory turned into the public NativeMemoryError.
template <class Solve>
auto RefusingOverMemory(Solve&& solve) -> decltype(solve()) {
  try {
    return solve();
  } catch (const InsufficientMemoryError& e) {
    throw NativeMemoryError(e.what(), e.Figures());
  }
}

// "node 12 can move along Z" / "node 12 can rotate about X".
std::string DofDescription(const NativeModel& model, std::int64_t raw);

// The load vector of `loads` over every raw dof: nodal loads, the elements'
// consistent loads, the weight of point masses and the inertia forces of
// node accelerations.
std::vector<double> RawLoadVector(const NativeModel& model, const NativeElements& elements,
                                  const NativeLoads& loads);

// One load case's results from its raw displacements `u` and raw loads `f`.
struct RecoveryInput {
  const NativeModel& model;
  const NativeElements& elements;
  const ElementMatrices& matrices;
  const EquationMap& equations;
  int beamStations = 5;
};
// The parts of a step's results, each filling maps of its own, so that the
// parts of every load case can be recovered side by side.
enum class RecoveryPart { Nodes, Beams, Shells };
inline constexpr std::size_t kRecoveryParts = 3;
void RecoverStep(const RecoveryInput& in, const NativeLoads& loads, const std::vector<double>& u,
                 const std::vector<double>& f, StepResults& step, RecoveryPart part);

}  // namespace Kestrum::Quilm::Solver::Native
