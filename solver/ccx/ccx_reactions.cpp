// Support reactions from the forces of the supports' springs.
#include "solver/ccx/ccx_runner.hpp"

namespace Kestrum::Quilm::Solver {

void FoldSupportReactions(const CcxDeck& deck, SolveResults& results) {
  for (StepResults& step : results.steps) {
    std::map<long, vec3d> forces;
    for (const SupportSpring& spring : deck.supportSprings) {
      auto it = step.reactions.find(spring.end);
      if (it == step.reactions.end()) throw SolverError("the solver printed no force at a support spring");
      forces[spring.node] += it->second;
      step.displacements.erase(spring.end);
    }
    // Generated mid-side nodes come after the nodes of their edge, so from
    // the highest id down each is folded before its own edge ends are.
    for (auto mid = deck.supportedMidNodes.rbegin(); mid != deck.supportedMidNodes.rend(); ++mid) {
      auto f = forces.find(mid->first);
      if (f == forces.end()) continue;
      const vec3d half = f->second * 0.5;
      for (long end : {mid->second.first, mid->second.second}) forces[end] += half;
      forces.erase(f);
    }
    step.reactions = std::move(forces);
  }
}

}  // namespace Kestrum::Quilm::Solver
