// The solve summary: the largest displacement and the reaction sum lead,
// with units; full tables only on request and without unused nodes.
#include "results_summary.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

using testing::HasSubstr;
using testing::Not;

struct SummaryTest : ::testing::Test {
  SummaryTest() {
    deck.supportNodes = {1, 2};
    deck.axisNodes = {{3, 101}};  // model node 3 is printed at beam axis point 101
    deck.firstGeneratedNode = 100;
    deck.appliedForces = {{2500, 1e-13, 0.05}};  // y: rounding noise
    Kestrum::Quilm::Solver::StepResults step;
    step.loadCase = 4;
    step.name = "Wind";
    step.displacements = {{1, {0, 0, 0}}, {2, {0, 0, 0}},       {7, {0.002, 0, -0.0015}},
                          {9, {0, 0, 0}}, {101, {0.001, 0, 0}}, {102, {0.5, 0, 0}}};
    step.reactions = {{1, {-1000, 0, 250}}, {2, {-1500.5, 0, -250}}, {7, {0, 0, -3}}};
    results.steps.push_back(step);
    results.frequencies = {4.38449, 12.5};
  }
  std::string Print(bool full) {
    quilm_export::SummaryOptions options;
    options.fullTables = full;
    options.usedNodes = {1, 2, 3, 7};
    std::ostringstream out;
    quilm_export::PrintSummary(results, deck, options, out);
    return out.str();
  }
  Kestrum::Quilm::Solver::StepResults& step0() { return results.steps.front(); }
  Kestrum::Quilm::Solver::SolvedModel deck;
  Kestrum::Quilm::Solver::SolveResults results;
};

TEST_F(SummaryTest, LeadsWithMaximumAndReactionSum) {
  const std::string out = Print(false);
  // Generated node 102 moves most but is no model node; node 7 is the answer.
  EXPECT_THAT(
      out, HasSubstr(
               "Load case 4 \"Wind\"\n  max displacement  2.5 mm at node 7 (ux 2 mm, uy 0 mm, uz -1.5 mm)\n"));
  EXPECT_THAT(out, HasSubstr("  applied loads     (2.5, 0, 5e-05) kN\n"
                             "  support reactions (-2.501, 0, 0) kN summed over 2 supported nodes\n"
                             "  out of balance    (-0.0005, 0, 5e-05) kN, 0.02 % of the applied loads\n"));
  EXPECT_THAT(out, HasSubstr("    1  4.384 Hz\n"));
  EXPECT_THAT(out, Not(HasSubstr("displacements")));
}

TEST_F(SummaryTest, FullTablesAreAlignedAndLeaveOutUnusedNodes) {
  const std::string out = Print(true);
  EXPECT_THAT(out, HasSubstr("    node                   ux             uy             uz\n"));
  EXPECT_THAT(out, HasSubstr("    7                    2 mm           0 mm        -1.5 mm\n"));
  EXPECT_THAT(out, HasSubstr("    3*                   1 mm           0 mm           0 mm\n"));
  EXPECT_THAT(out, HasSubstr("    2                 -1.5 kN           0 kN       -0.25 kN\n"));
  step0().displacements[7] = {1.5e-6, 0, 0};
  EXPECT_THAT(Print(true), HasSubstr("    7               0.0015 mm           0 mm           0 mm\n"));
  EXPECT_THAT(out, Not(HasSubstr("    9 ")));    // no element uses node 9
  EXPECT_THAT(out, Not(HasSubstr("    102 ")));  // generated
}

}  // namespace
