// The call trace: one event per call, its text, and failures injected by
// a throwing sink.
#include <gtest/gtest.h>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"
#include "tests/support/fault_injecting_sink.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

class TraceTest : public XafModelTest {
 protected:
  void SetUp() override {
    XafModelTest::SetUp();
    AddBeamChain(2);
    model->SetTraceSink(&sink);
  }
  void TearDown() override {
    model->SetTraceSink(nullptr);
    XafModelTest::TearDown();
  }
  RecordingTraceSink sink;
};

TEST_F(TraceTest, CallsAreRecordedWithTheirArgumentsInOrder) {
  const long s = model->Sections().AddSection(qlSection::Pipe(0.3, 0.01), "HE \"A\"", -1);
  auto e = model->Elements().GetElement(2);
  e->SetSection(s);
  e->GetNodeEccentricity(1);
  model->GetConnectivityManager().GetElementPoint(1);
  model->Loads().AddPointLoad(4, 3, PointLoad(pos3d(2, 0, 0), vec3d(0, 0, -0.1), vec3d()));
  model->Loads().AddGravityLoad(4, 0, 0, 0, -9.81);
  model->NodeProperties().SetName(1, "J1");
  model->Flush();
  model->GetArchive();
  EXPECT_EQ(sink.Calls(),
            (std::vector<std::string>{
                "Sections.AddSection(Pipe(0.3, 0.01), \"HE \\\"A\\\"\", -1)",
                "Elements.GetElement(2)",
                "Element.SetSection(2, 1)",
                "Element.GetNodeEccentricity(2, 1)",
                "Connectivity.GetElementPoint(1)",
                "Loads.AddPointLoad(4, 3, PointLoad(at (2, 0, 0) force (0, 0, -0.1) moment (0, 0, 0)))",
                "Loads.AddGravityLoad(4, 0, 0, 0, -9.81)",
                "NodeProperties.SetName(1, \"J1\")",
                "Model.Flush()",
                "Model.GetArchive()",
            }));
}

// Every public call reports exactly one event, also when it uses other
// operations of the model internally.
TEST_F(TraceTest, EachCallReportsExactlyOneEvent) {
  const std::vector<std::pair<const char*, std::function<void()>>> calls = {
      {"Elements.RemoveElement", [&] { model->Elements().RemoveElement(1, true); }},
      {"Elements.ReverseNodeNumbers", [&] { model->Elements().ReverseNodeNumbers(2); }},
      {"Connectivity.GetElementNodes",
       [&] {
         std::vector<pos3d> p;
         model->GetConnectivityManager().GetElementNodes(2, p, Element::Geometric);
       }},
      {"Connectivity.GetElementById", [&] { model->GetConnectivityManager().GetElementById(2); }},
      {"Element.GetElementWithInternalNodeIds",
       [&] { model->Elements().GetElement(2)->GetElementWithInternalNodeIds(); }},
      {"Sets.AddSet",
       [&] {
         EntitySet s;
         s.AddElement(2);
         model->Sets().AddSet(s, "", -1);
       }},
      {"Nodes.begin", [&] { (void)*model->Nodes().begin(); }},
      {"Loads.DeleteElementLoad", [&] { model->Loads().DeleteElementLoad(1, 2); }},
      {"StructureConcepts.AddConcept", [&] { model->StructureConcepts().AddConcept(1, 1, -1, "j", -1); }},
      {"Transformations.AddTransformation",
       [&] { model->Transformations().AddTransformation(vec3d(0, 0, 1), -1); }},
  };
  for (const auto& [op, call] : calls) {
    SCOPED_TRACE(op);
    sink.Clear();
    call();
    const auto ops = sink.Operations();
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.back(), op);
    // The handle fetch is a call of its own.
    const std::size_t expected = std::string(op).rfind("Element.", 0) == 0 ? 2 : 1;
    EXPECT_EQ(ops.size(), expected);
  }
}

TEST_F(TraceTest, AThrowingSinkStopsTheCallBeforeItActs) {
  // A small sequence of writes; fail it at each call in turn and check
  // that the calls before took effect and the failed one did not.
  auto run = [&](XafModel& m) {
    const long s = m.Sections().AddSection(qlSection::Rectangle(0.3, 0.2), "R", -1);
    m.Elements().GetElement(1)->SetSection(s);
    m.Loads().SetLoadCaseName(1, "live");
    m.Loads().AddLineLoad(1, 1, LineLoad(vec3d(0, 0, -1)));
    m.Elements().RemoveElement(2, true);
  };
  for (int failAt = 1; failAt <= 6; ++failAt) {
    SCOPED_TRACE(failAt);
    const std::string p = ScratchFilePath("throwing" + std::to_string(failAt));
    XafModel m(p, 1, 1, true);
    m.Nodes().AddNode(pos3d(0, 0, 0));
    m.Nodes().AddNode(pos3d(1, 0, 0));
    m.Nodes().AddNode(pos3d(2, 0, 0));
    m.Elements().AddElement(qlElementType::Beam2(), {1, 2});
    m.Elements().AddElement(qlElementType::Beam2(), {2, 3});
    Quilm::Testing::FaultInjectingSink fail;
    fail.FailAt(failAt);
    m.SetTraceSink(&fail);
    EXPECT_THROW(run(m), std::runtime_error);
    m.SetTraceSink(nullptr);
    EXPECT_EQ(m.Validate(), "");
    EXPECT_EQ(m.Sections().GetSectionIds().size(), failAt > 1 ? 1u : 0u);
    EXPECT_EQ(m.Elements().GetElement(1)->GetSection(), failAt > 3 ? 1 : 0);
    EXPECT_EQ(m.Loads().GetLoadCaseName(1).has_value(), failAt > 4);
    EXPECT_EQ(m.Loads().GetLoads(1).size(), failAt > 5 ? 1u : 0u);
    EXPECT_TRUE(m.Elements().Contains(2));
  }
}

// Records and values as the trace renders them.
TEST_F(TraceTest, ArgumentsOfEveryKindAreRendered) {
  EntitySet set;
  set.AddNode(2);
  set.AddNode(1);
  set.AddElement(1);
  model->Sets().AddSet(set, "", -1);
  model->NodeProperties().AddMass(1, Mass(1.5, 2, 3, 0, 0, 0.25));
  model->Hinges().AddHinge(Hinge({1, 1, 1, 0, 0.5, 0}));
  model->Elements().AddElement(qlElementType::Beam2(), {1, 3});
  model->Nodes().AddNode(pos3d(0.1, -2e-7, 1e21));
  model->Sections().AddThickness(1.0 / 3.0, "t", 4);
  model->Elements().ReverseNodeNumbers(1);
  model->GetArchive().SetArchiveMode(true);
  EXPECT_EQ(sink.Calls(), (std::vector<std::string>{
                              "Sets.AddSet(EntitySet(nodes [1, 2], elements [1]), \"\", -1)",
                              "NodeProperties.AddMass(1, Mass((1.5, 2, 3), (0, 0, 0.25)))",
                              "Hinges.AddHinge(Hinge(1, 1, 1, 0, 0.5, 0))",
                              "Elements.AddElement(two-node beam(15), [1, 3])",
                              "Nodes.AddNode((0.1, -2e-07, 1e+21))",
                              "Sections.AddThickness(0.3333333333333333, \"t\", 4)",
                              "Elements.ReverseNodeNumbers(1)",
                              "Model.GetArchive()",
                              "Archive.SetArchiveMode(true)",
                          }));
}

TEST(TraceFormatTest, EventTextJoinsTheArguments) {
  TraceEvent e{"Sections.AddThickness", {"0.1", "\"t\"", "-1"}};
  EXPECT_EQ(e.ToString(), "Sections.AddThickness(0.1, \"t\", -1)");
  const TraceEvent flush{"Model.Flush", {}};
  EXPECT_EQ(flush.ToString(), "Model.Flush()");
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
