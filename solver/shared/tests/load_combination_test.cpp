// Combinations: parsing, superposition and envelopes.
#include "solver/shared/load_combination.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace Kestrum::Quilm::Solver {
namespace {

TEST(LoadCombination, ParsesFactorsAndCasesAndRejectsTheRest) {
  struct Case {
    const char* text;
    std::vector<std::pair<long, double>> factors;  // empty: rejected
  };
  const Case cases[] = {
      {"ULS=1.35*1+1.5*2", {{1, 1.35}, {2, 1.5}}},
      {"A=3", {{3, 1.0}}},
      {"B=1-0.5*4", {{1, 1.0}, {4, -0.5}}},
      {"=1*1", {}},
      {"C", {}},
      {"D=", {}},
      {"E=1.5*x", {}},
      {"F=1*2.5", {}},
      {"G=1*2 3", {}},
      {"H=1*0", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.factors.empty()) {
      EXPECT_THROW(ParseLoadCombination(c.text), std::invalid_argument);
    } else {
      EXPECT_EQ(ParseLoadCombination(c.text).factors, c.factors);
    }
  }
}

StepResults Case(long id, double scale) {
  StepResults step;
  step.loadCase = id;
  step.name = "case " + std::to_string(id);
  step.displacements = {{1, vec3d(scale, 0, -scale)}, {2, vec3d(0, 2 * scale, 0)}};
  step.reactionMoments = {{1, vec3d(0, scale, 0)}};
  BeamForces beam;
  beam.start.My = 10 * scale;
  beam.end.My = -5 * scale;
  step.beamForces = {{7, beam}};
  ShellStresses shell;
  shell.thickness = 0.01;
  shell.mx = scale;
  step.shellStresses = {{9, shell}};
  return step;
}

TEST(LoadCombination, SuperposesFactoredCasesAndEnvelopesThem) {
  SolveResults results;
  results.steps = {Case(1, 1.0), Case(2, -2.0)};
  results.steps[1].displacements.erase(2);  // a node one case lacks is left out
  const LoadCombination uls{"ULS", {{1, 1.35}, {2, 1.5}}};
  const StepResults sum = Superpose(results, uls);
  EXPECT_EQ(sum.kind, AnalysisKind::Combination);
  EXPECT_EQ(sum.name, "ULS");
  EXPECT_DOUBLE_EQ(sum.displacements.at(1).x, 1.35 - 3.0);
  EXPECT_EQ(sum.displacements.count(2), 0u);
  EXPECT_DOUBLE_EQ(sum.reactionMoments.at(1).y, 1.35 - 3.0);
  EXPECT_DOUBLE_EQ(sum.beamForces.at(7).start.My, 13.5 - 30.0);
  EXPECT_FALSE(sum.beamForces.at(7).middle.has_value());
  // Von Mises stresses follow from the superposed moments: 6 m / t^2.
  EXPECT_NEAR(sum.shellStresses.at(9).vonMisesTop, 6 * 1.65 / 1e-4, 1e-6);
  EXPECT_THROW(Superpose(results, LoadCombination{"X", {{3, 1.0}}}), SolverError);
  EXPECT_THROW(Superpose(results, LoadCombination{"Y", {}}), std::invalid_argument);

  const Envelope envelope = MakeEnvelope({&results.steps[0], &results.steps[1], &sum});
  ASSERT_EQ(envelope.analyses.size(), 3u);
  const Extreme& ux = envelope.displacements.at(1)[0];
  EXPECT_DOUBLE_EQ(ux.max, 1.0);
  EXPECT_EQ(ux.maxAt, 0u);
  EXPECT_DOUBLE_EQ(ux.min, -2.0);
  EXPECT_EQ(ux.minAt, 1u);
  // Node 2 only in the first case: enveloped over that one.
  EXPECT_DOUBLE_EQ(envelope.displacements.at(2)[1].min, 2.0);
  const Extreme& startMy = envelope.beamForces.at(7)[4];
  EXPECT_DOUBLE_EQ(startMy.min, -20.0);
  EXPECT_DOUBLE_EQ(envelope.beamForces.at(7)[16].max, 10.0);  // the end's My
  EXPECT_DOUBLE_EQ(envelope.shellStresses.at(9)[3].max, 1.0);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
