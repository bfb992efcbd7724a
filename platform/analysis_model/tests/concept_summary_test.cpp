// Recorded concept members and the per-concept summaries of stored results.
#include "analysis_model/concept_summary.hpp"

#include <map>

#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel::Testing {
namespace {

using Q = ResultQuantity;

class ConceptSummaryTest : public XafModelTest {
 protected:
  // Beam "B" (segments "B1": elements 1, 2; "B2": element 3, later removed
  // in one test), plate "P" (shell 4), joint "J" found by its node's name,
  // support "S" recorded on node 1 and renamed since, joint "Gone" deleted
  // (its node's name cleared), segment "Empty" whose element was removed.
  void SetUp() override {
    XafModelTest::SetUp();
    AddBeamChain(4);  // elements 1..4 on nodes 1..5
    AddNode(0, 1, 0);
    AddNode(1, 1, 0);
    shell = model->Elements().AddElement(qlElementType::Shell4(), {1, 2, 7, 6});
    auto& c = model->StructureConcepts();
    beam = c.AddConcept(11, 0, -1, "B", -1);
    b1 = c.AddConcept(12, 0, beam, "B1", -1);
    b2 = c.AddConcept(12, 0, beam, "B2", -1);
    const long empty = c.AddConcept(12, 0, beam, "Empty", -1);
    plate = c.AddConcept(20, 0, -1, "P", -1);
    joint = c.AddConcept(1, 0, -1, "J", -1);
    support = c.AddConcept(1, 0, -1, "S", -1);
    c.AddConcept(1, 0, -1, "Gone", -1);
    c.SetConceptMembers(b1, {{}, {2, 1}});
    c.SetConceptMembers(b2, {{}, {3}});
    c.SetConceptMembers(empty, {{}, {4}});
    model->Elements().RemoveElement(4, true);
    c.SetConceptMembers(plate, {{}, {shell}});
    c.SetConceptMembers(support, {{1}, {}});
    model->NodeProperties().SetName(3, "J");
    model->NodeProperties().SetName(1, "S renamed");
    StoreResults();
  }

  void StoreResults() {
    auto& r = model->Results();
    lc = r.AddAnalysis(AnalysisKind::LoadCase, 1, "", 0.0);
    for (long n = 1; n <= 7; ++n) r.SetValues(lc, Q::NodeMotion, n, {0, 0, -0.001 * n, 0, 0, 0});
    r.SetValues(lc, Q::NodeReaction, 1, {1, 2, 3, 0, 0, 0});
    std::vector<double> forces(12, 0.0);
    forces[0] = -5;
    forces[11] = 7;
    r.SetValues(lc, Q::BeamForces, 1, forces);
    forces[0] = 9;
    r.SetValues(lc, Q::BeamForces, 3, forces);
  }

  std::map<std::string, ConceptSummary> ByName() {
    std::map<std::string, ConceptSummary> m;
    for (ConceptSummary& s : SummarizeConcepts(*model, lc)) m[s.name] = s;
    return m;
  }

  long shell = 0, beam = 0, b1 = 0, b2 = 0, plate = 0, joint = 0, support = 0, lc = 0;
};

TEST_F(ConceptSummaryTest, ListsLiveConceptsUnderTheirCurrentNamesWithTheirMaxima) {
  model->Flush();
  Reopen();  // members, names and results as read from the file
  const auto s = ByName();
  std::vector<std::string> names;
  for (const auto& entry : s) names.push_back(entry.first);
  EXPECT_EQ(names, (std::vector<std::string>{"B", "B1", "B2", "J", "P", "S renamed"}));

  EXPECT_EQ(s.at("B").elements, 3u);
  EXPECT_EQ(s.at("B").maxDisplacementNode, 4);
  EXPECT_DOUBLE_EQ(s.at("B").displacement.z, -0.004);
  EXPECT_EQ(s.at("B1").maxDisplacementNode, 3);
  EXPECT_EQ(s.at("P").maxDisplacementNode, 7);
  EXPECT_EQ(s.at("J").nodes, 1u);
  EXPECT_EQ(s.at("J").maxDisplacementNode, 3);

  EXPECT_EQ(s.at("S renamed").concept, support);
  EXPECT_EQ(s.at("S renamed").reactionNodes, 1u);
  EXPECT_EQ(s.at("S renamed").reaction[2], 3.0);

  EXPECT_EQ(s.at("B").maxForce[0], 9.0);
  EXPECT_EQ(s.at("B").maxForceElement[0], 3);
  EXPECT_EQ(s.at("B1").maxForce[0], -5.0);
  EXPECT_EQ(s.at("B1").maxForce[5], 7.0);
  EXPECT_EQ(s.at("P").maxForceElement[0], -1);
}

TEST_F(ConceptSummaryTest, ConceptsThatNoLongerOwnAnythingAreLeftOut) {
  model->Elements().RemoveElement(3, true);
  model->NodeProperties().SetName(3, "");
  const auto s = ByName();
  EXPECT_FALSE(s.count("B2"));
  EXPECT_FALSE(s.count("J"));
  EXPECT_EQ(s.at("B").elements, 2u);
}

TEST_F(ConceptSummaryTest, MembersAreCheckedAndForgottenWithEmptyLists) {
  auto& c = model->StructureConcepts();
  EXPECT_THROW(c.SetConceptMembers(99, {{1}, {}}), ModelError);
  EXPECT_THROW(c.SetConceptMembers(b1, {{}, {4}}), ModelError);  // removed element
  EXPECT_EQ(c.GetConceptMembers(b1).elements, (std::vector<long>{1, 2}));
  c.SetConceptMembers(b1, {});
  model->Flush();
  Reopen();
  EXPECT_TRUE(model->StructureConcepts().GetConceptMembers(b1).elements.empty());
  EXPECT_EQ(model->StructureConcepts().GetConceptMembers(b2).elements, (std::vector<long>{3}));
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel::Testing
