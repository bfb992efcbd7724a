// A frame of about 3,000 elements written by the host program, exported
// and solved end to end: the support reactions must balance the applied
// loads of each step, and every beam gets its section forces. Skipped where
// the solver is not installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "analysis_model/xaf_model.hpp"
#include "geometry/geometry.hpp"
#include "solver/ccx/ccx_export.hpp"
#include "solver/ccx/ccx_runner.hpp"
#include "tests/support/scratch_file.hpp"

namespace {

using namespace Kestrum::Quilm;

// Every load case of the example frame, so every kind of load (gravity on
// elements and point masses, pressures, line and point loads, node
// accelerations) meets its reactions; 3,176 elements keep the solve within
// a minute.
TEST(FrameSolveTest, ReactionsBalanceTheAppliedLoads) {
  if (!Solver::FindSolver("ccx")) GTEST_SKIP() << "ccx is not installed";
  const Testing::ScratchFile file("frame_solve");
  const std::string command = std::string(FRAME_HOST_PROGRAM) + " --bays 6 --storeys 3 --quiet --file " +
                              file.Path() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  AnalysisModel::XafModel model(file.Path(), 0, 1, false);
  ASSERT_GE(model.Elements().GetElementIds().size(), 3000u);

  Solver::ExportOptions options;
  options.allowEquivalentSections = true;
  options.elementResults = true;
  const Solver::CcxDeck deck = Solver::ExportCcxDeck(model, options);
  Solver::RunOptions run;
  run.threads = Solver::RunOptions::kAutoThreads;
  run.memoryLimitMiB = 4096;
  const Solver::SolveResults results = Solver::RunSolver(deck, run);

  ASSERT_EQ(results.steps.size(), 5u);
  ASSERT_EQ(deck.appliedForces.size(), 5u);
  for (std::size_t s = 0; s < results.steps.size(); ++s) {
    SCOPED_TRACE("load case " + std::to_string(deck.loadCaseSteps[s]));
    const vec3d& applied = deck.appliedForces[s];
    vec3d reaction(0, 0, 0);
    for (long node : deck.supportNodes) {
      auto it = results.steps[s].reactions.find(node);
      if (it != results.steps[s].reactions.end()) reaction = reaction + it->second;
    }
    const double scale = applied.length();
    ASSERT_GT(scale, 0.0);
    EXPECT_NEAR(reaction.x, -applied.x, 5e-4 * scale);
    EXPECT_NEAR(reaction.y, -applied.y, 5e-4 * scale);
    EXPECT_NEAR(reaction.z, -applied.z, 5e-4 * scale);
    // Rectangles, arms and boxes alike: every beam of the deck has its forces.
    std::size_t beams = 0;
    for (const Solver::DeckBeam& beam : deck.beams) beams += beam.modelElement != 0 && beam.half != 2;
    EXPECT_EQ(results.steps[s].beamForces.size(), beams);
    for (const auto& [element, forces] : results.steps[s].beamForces)
      ASSERT_TRUE(std::isfinite(forces.start.My) && std::isfinite(forces.end.Mz)) << "element " << element;
  }
}

}  // namespace
