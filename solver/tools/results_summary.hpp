// The results quilm-export prints after a solve: first what an engineer looks
// at (per load case the largest displacement and where, and the sum of the
// support reactions), the full tables only on request.
#pragma once

#include <iosfwd>
#include <set>

#include "solver/shared/solve_results.hpp"
#include "solver/shared/solved_model.hpp"

namespace quilm_export {

namespace Solver = Kestrum::Quilm::Solver;

struct SummaryOptions {
  // Print every used node's displacement and every support's reaction.
  bool fullTables = false;
  // The nodes elements use; others (left over in the model) are not printed.
  // Empty: print every node the results hold.
  std::set<long> usedNodes;
};

void PrintSummary(const Solver::SolveResults& results, const Solver::SolvedModel& deck,
                  const SummaryOptions& options, std::ostream& out);

}  // namespace quilm_export
