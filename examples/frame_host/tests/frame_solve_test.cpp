// A frame of a few thousand elements written by the host program, exported
// and solved end to end: the support reactions must balance the applied
// loads of each step. Skipped where the solver is not installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "analysis_model/xaf_model.hpp"
#include "geometry/geometry.hpp"
#include "solver/ccx_export.hpp"
#include "solver/ccx_runner.hpp"
#include "tests/support/scratch_file.hpp"

namespace {

using namespace Kestrum::Quilm;

// The sum of the *CLOAD forces of the deck's `step`-th step (0-based).
vec3d AppliedForce(const std::string& deck, std::size_t step) {
  std::istringstream in(deck);
  vec3d sum(0, 0, 0);
  std::size_t seen = 0;
  bool inLoads = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("*CLOAD", 0) == 0) {
      inLoads = seen++ == step;
      continue;
    }
    if (line.empty() || line[0] == '*') {
      inLoads = false;
      continue;
    }
    if (!inLoads) continue;
    long node = 0;
    int dof = 0;
    double value = 0.0;
    char comma = 0;
    std::istringstream fields(line);
    fields >> node >> comma >> dof >> comma >> value;
    if (dof == 1) sum.x += value;
    if (dof == 2) sum.y += value;
    if (dof == 3) sum.z += value;
  }
  return sum;
}

// Disabled until the reactions of generated support nodes (mid-side nodes on
// supported edges) are read back: without them this frame is out of balance
// by 2 % (equipment) and more (wind).
TEST(FrameSolveTest, DISABLED_ReactionsBalanceTheLoads) {
  if (!Solver::FindSolver("ccx")) GTEST_SKIP() << "ccx is not installed";
  const Testing::ScratchFile file("frame_solve");
  const std::string command = std::string(FRAME_HOST_PROGRAM) + " --bays 5 --storeys 4 --quiet --file " +
                              file.Path() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  AnalysisModel::XafModel model(file.Path(), 0, 1, false);
  ASSERT_GE(model.Elements().GetElementIds().size(), 3000u);

  Solver::ExportOptions options;
  options.allowEquivalentSections = true;
  options.loadCases = {3, 4};  // wind and equipment: loads written as nodal forces
  const Solver::CcxDeck deck = Solver::ExportCcxDeck(model, options);
  Solver::RunOptions run;
  run.threads = Solver::RunOptions::kAutoThreads;
  run.memoryLimitMiB = 4096;
  const Solver::SolveResults results = Solver::RunSolver(deck, run);

  ASSERT_EQ(results.steps.size(), 2u);
  for (std::size_t s = 0; s < results.steps.size(); ++s) {
    SCOPED_TRACE("load case " + std::to_string(deck.loadCaseSteps[s]));
    const vec3d applied = AppliedForce(deck.text, s);
    vec3d reaction(0, 0, 0);
    for (long node : deck.supportNodes) {
      auto it = results.steps[s].reactions.find(node);
      if (it != results.steps[s].reactions.end()) reaction = reaction + it->second;
    }
    const double scale = std::abs(applied.x) + std::abs(applied.y) + std::abs(applied.z);
    ASSERT_GT(scale, 0.0);
    EXPECT_NEAR(reaction.x, -applied.x, 1e-3 * scale);
    EXPECT_NEAR(reaction.y, -applied.y, 1e-3 * scale);
    EXPECT_NEAR(reaction.z, -applied.z, 1e-3 * scale);
  }
}

}  // namespace
