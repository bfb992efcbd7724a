// Storing a solve's results in the model: what is kept, where and in which
// order.
#include "solver/shared/store_results.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

namespace am = AnalysisModel;
using am::ResultQuantity;

TEST(StoreSolveResults, StoresModelNodesAndElementsOfEveryAnalysis) {
  const std::string path = Testing::ScratchFilePath("store_results");
  Testing::RemoveModelFiles(path);
  am::XafModel model(path, 1, 1, true);
  for (int i = 0; i < 5; ++i) model.Nodes().AddNode(pos3d(i, i % 2, 0));
  const long beam = model.Elements().AddElement(qlElementType::Beam3(), {1, 2, 3});
  const long shell = model.Elements().AddElement(qlElementType::Shell4(), {1, 2, 4, 5});

  SolvedModel deck;
  deck.supportNodes = {1};
  deck.axisNodes = {{4, 7}};  // node 4 left out, its beam axis point printed as 7
  deck.firstGeneratedNode = 6;
  deck.solver = "native";
  SolveResults results;
  StepResults step;
  step.loadCase = 3;
  step.name = "Wind";
  step.displacements = {{1, vec3d(1, 2, 3)}, {2, vec3d(4, 5, 6)}, {4, vec3d(9, 9, 9)}, {7, vec3d(8, 8, 8)}};
  step.rotations = {{2, vec3d(0.1, 0.2, 0.3)}};
  step.reactions = {{1, vec3d(10, 20, 30)}, {2, vec3d(1, 1, 1)}};
  BeamForces forces;
  forces.start.N = 1;
  forces.middle = SectionForces{};
  forces.middle->N = 2;
  forces.end.N = 3;
  step.beamForces = {{beam, forces}, {shell, forces}};
  ShellStresses stress;
  stress.vonMisesTop = 5e6;
  stress.mxy = 7;
  step.shellStresses = {{shell, stress}, {99, stress}};
  results.steps.push_back(step);
  results.combinations.push_back(step);
  StepResults mode = step;
  mode.kind = AnalysisKind::Mode;
  mode.mode = 1;
  mode.eigenvalue = 2.5;
  results.modes.push_back(mode);
  results.frequencies = {2.5, 4.0};

  StoreSolveResults(model, results, deck, 42);
  auto& r = model.Results();
  ASSERT_EQ(r.GetAnalyses().size(), 4u);
  const long lc = r.FindAnalysis(am::AnalysisKind::LoadCase, 3);
  EXPECT_EQ(r.GetAnalysis(lc).name, "Wind");
  EXPECT_EQ(r.GetAnalysis(lc).fingerprint, 42u);
  EXPECT_GE(r.FindAnalysis(am::AnalysisKind::Combination, 1), 0);
  EXPECT_EQ(r.GetAnalysis(r.FindAnalysis(am::AnalysisKind::Mode, 2)).value, 4.0);
  for (const auto& analysis : r.GetAnalyses()) EXPECT_EQ(analysis.solver, "native");
  EXPECT_EQ(r.GetArray(r.FindAnalysis(am::AnalysisKind::Mode, 1), ResultQuantity::NodeMotion).Size(), 2u);

  // Generated nodes and the left-out eccentric node are not model results.
  EXPECT_EQ(r.GetArray(lc, ResultQuantity::NodeMotion).ids, (std::vector<std::int32_t>{1, 2}));
  const auto n1 = r.GetValues(lc, ResultQuantity::NodeMotion, 1);
  EXPECT_EQ(n1[2], 3.0);
  EXPECT_TRUE(std::isnan(n1[3]));
  EXPECT_EQ(r.GetValues(lc, ResultQuantity::NodeMotion, 2)[5], 0.3);
  EXPECT_EQ(r.GetArray(lc, ResultQuantity::NodeReaction).ids, (std::vector<std::int32_t>{1}));
  EXPECT_TRUE(std::isnan(r.GetValues(lc, ResultQuantity::NodeReaction, 1)[3]));
  // Beam forces along the axis: start, middle, end; only on beams.
  const auto f = r.GetValues(lc, ResultQuantity::BeamForces, beam);
  ASSERT_EQ(f.size(), 18u);
  EXPECT_EQ(f[0], 1.0);
  EXPECT_EQ(f[6], 2.0);
  EXPECT_EQ(f[12], 3.0);
  EXPECT_EQ(r.GetArray(lc, ResultQuantity::BeamForces).Size(), 1u);
  EXPECT_EQ(r.GetValues(lc, ResultQuantity::ShellStress, shell), (std::vector<double>{5e6, 0, 0}));
  EXPECT_EQ(r.GetValues(lc, ResultQuantity::ShellForces, shell)[5], 7.0);
  Testing::RemoveModelFiles(path);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
