// The inspector's views of stored results, stale analyses marked as such.
#include "results_view.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/scratch_file.hpp"

namespace quilm_inspect {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

class ResultsViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Kestrum::Quilm::Testing::RemoveModelFiles(file.Path());
    model = std::make_unique<am::XafModel>(file.Path(), 1, 1, true);
    for (int i = 0; i < 3; ++i) model->Nodes().AddNode(pos3d(i, 0, 0));
    beam = model->Elements().AddElement(qlElementType::Beam2(), {1, 2});
    segment = model->StructureConcepts().AddConcept(12, 0, -1, "Span", -1);
    model->StructureConcepts().SetConceptMembers(segment, {{}, {beam}});
    auto& r = model->Results();
    lc = r.AddAnalysis(am::AnalysisKind::LoadCase, 2, "Snow", 0.0);
    r.AddAnalysis(am::AnalysisKind::Mode, 1, "", 3.5);
    r.SetValues(lc, am::ResultQuantity::NodeMotion, 2, {0, 0, -0.002, 0, 0.001, 0});
    r.SetValues(lc, am::ResultQuantity::NodeReaction, 1, {0, 0, 500, std::nan(""), 0, 0});
    std::vector<double> forces(12, 0.0);
    forces[4] = 1500;
    r.SetValues(lc, am::ResultQuantity::BeamForces, beam, forces);
  }
  template <class F>
  std::string Print(F f) {
    std::ostringstream out;
    f(out);
    return out.str();
  }

  Kestrum::Quilm::Testing::ScratchFile file{"inspect_results"};
  std::unique_ptr<am::XafModel> model;
  long beam = 0, segment = 0, lc = 0;
};

TEST_F(ResultsViewTest, ShowsAnalysesNodesElementsAndConcepts) {
  EXPECT_THAT(Print([&](std::ostream& o) { PrintAnalyses(*model, o); }),
              AllOf(HasSubstr("Stored analyses: 2"), HasSubstr("load case 2 \"Snow\", 2 nodes, 1 elements"),
                    HasSubstr("mode 1 (3.5 Hz)")));
  EXPECT_THAT(Print([&](std::ostream& o) { PrintNodeResults(*model, 1, o); }),
              HasSubstr("reaction F (0, 0, 0.5) kN  M (-, 0, 0) kN·m"));
  EXPECT_THAT(
      Print([&](std::ostream& o) { PrintElementResults(*model, beam, o); }),
      AllOf(HasSubstr("start: N, Vy, Vz (0, 0, 0) kN  T, My, Mz (0, 1.5, 0) kN·m"), HasSubstr("end:")));
  EXPECT_THAT(
      Print([&](std::ostream& o) { PrintConcept(*model, segment, o); }),
      AllOf(HasSubstr("recorded members: 0 nodes, 1 elements"),
            HasSubstr("largest displacement 2 mm at node 2"), HasSubstr("T, My, Mz (0, 1.5, 0) kN·m")));
  EXPECT_THAT(Print([&](std::ostream& o) { PrintAnalysis(*model, lc, o, 10); }),
              HasSubstr(std::to_string(segment) + " \"Span\": 2 mm at node 2"));
}

TEST_F(ResultsViewTest, MarksStaleAnalysesAndSaysNoneForEntitiesWithout) {
  model->NodeProperties().SetBoundaryCondition(3, am::Hinge());
  EXPECT_THAT(Print([&](std::ostream& o) { PrintNodeResults(*model, 2, o); }),
              HasSubstr("load case 2 \"Snow\" [stale: the model changed since]"));
  EXPECT_THAT(Print([&](std::ostream& o) { PrintNodeResults(*model, 3, o); }),
              HasSubstr("results:\n    none"));
}

}  // namespace
}  // namespace quilm_inspect
