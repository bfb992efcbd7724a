// Tests of IMirrorLoadCase: naming, gravity replacement, deletion of the load
// case's loads, the id kept across Delete, and the auxiliary maps on copy.
#include "mirror/loads/mirror_load_case.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/optional/optional_io.hpp>
#include <limits>

#include "mirror/loads/tests/load_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Testing::MeshTest;

class TestLoadCase : public IMirrorLoadCase {
 public:
  long GetLoadCase() override {
    ++idQuestions;
    if (fail) throw std::runtime_error("host failure");
    return id;
  }
  vec3d GetGravity() override { return gravity; }
  std::string GetName() const override { return name; }
  long id = 4;
  bool fail = false;
  vec3d gravity{0, 0, -9.81};
  std::string name = "Dead load";
  int idQuestions = 0;
};

// A host class that keeps the default name.
class UnnamedLoadCase : public IMirrorLoadCase {
 public:
  long GetLoadCase() override { return 2; }
  vec3d GetGravity() override { return {}; }
};

class LoadCaseTest : public MeshTest {
 protected:
  TestLoadCase loadCase_;
};

TEST_F(LoadCaseTest, FirstWriteTakesTheIdNamesTheCaseAndReplacesGravity) {
  EXPECT_EQ(loadCase_.GetLoadCaseId(), -1);
  loadCase_.Write(model_);
  EXPECT_EQ(loadCase_.idQuestions, 1);
  EXPECT_EQ(loadCase_.GetLoadCaseId(), 4);
  ASSERT_EQ(log_.Events().size(), 3u);
  EXPECT_EQ(log_.Events()[0].ToString(), "Loads.SetLoadCaseName(4, \"Dead load\")");
  EXPECT_EQ(log_.Events()[1].ToString(), "Loads.DeleteGravityLoad(4)");
  EXPECT_EQ(log_.Events()[2].ToString(), "Loads.AddGravityLoad(4, 0, 0, 0, -9.81)");
  EXPECT_EQ(xaf_->Loads().GetLoadCaseName(4), std::string("Dead load"));
  ASSERT_TRUE(xaf_->Loads().GetGravityLoad(4));
  EXPECT_EQ(*xaf_->Loads().GetGravityLoad(4), vec3d(0, 0, -9.81));
  EXPECT_TRUE(loadCase_.IsModified()) << "the modified flag plays no part";
}

TEST_F(LoadCaseTest, LaterWritesKeepTheIdAndReplaceNameAndGravity) {
  loadCase_.Write(model_);
  loadCase_.id = 9;
  loadCase_.name = "Self weight";
  loadCase_.gravity = vec3d(0, -9.81, 0);
  log_.Clear();
  loadCase_.Write(model_);
  EXPECT_EQ(loadCase_.idQuestions, 1);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.SetLoadCaseName 4 \"Self weight\"",
                                        "Loads.DeleteGravityLoad 4", "Loads.AddGravityLoad 4 0"));
  EXPECT_EQ(*xaf_->Loads().GetGravityLoad(4), vec3d(0, -9.81, 0));
  EXPECT_FALSE(xaf_->Loads().GetLoadCaseName(9));
}

TEST_F(LoadCaseTest, ZeroGravityRemovesTheGravityLoadAndAddsNone) {
  loadCase_.Write(model_);
  loadCase_.gravity = vec3d(0, 0, 1e-12);  // zero within the geometry tolerance
  log_.Clear();
  loadCase_.Write(model_);
  EXPECT_THAT(log_.Calls(),
              ElementsAre("Loads.SetLoadCaseName 4 \"Dead load\"", "Loads.DeleteGravityLoad 4"));
  EXPECT_FALSE(xaf_->Loads().GetGravityLoad(4));
}

TEST_F(LoadCaseTest, HostIdOfMinusOneIsAskedAgain) {
  loadCase_.id = -1;
  loadCase_.gravity = vec3d();
  xaf_->SetTraceSink(nullptr);
  try {
    loadCase_.Write(model_);
  } catch (const std::exception&) {
    // The analysis model may refuse a negative load case; either way the id is not kept.
  }
  xaf_->SetTraceSink(&log_);
  loadCase_.id = 5;
  loadCase_.Write(model_);
  EXPECT_EQ(loadCase_.idQuestions, 2);
  EXPECT_EQ(loadCase_.GetLoadCaseId(), 5);
}

TEST_F(LoadCaseTest, FailingHostLeavesTheIdUnsetAndCallsNothing) {
  loadCase_.fail = true;
  EXPECT_THROW(loadCase_.Write(model_), std::runtime_error);
  EXPECT_EQ(loadCase_.GetLoadCaseId(), -1);
  EXPECT_THAT(log_.Calls(), IsEmpty());
}

TEST_F(LoadCaseTest, FailingAddGravityLeavesTheCaseNamedWithoutGravity) {
  loadCase_.Write(model_);
  log_.FailAt(3);
  EXPECT_THROW(loadCase_.Write(model_), std::runtime_error);
  log_.FailAt(-1);
  EXPECT_EQ(xaf_->Loads().GetLoadCaseName(4), std::string("Dead load"));
  EXPECT_FALSE(xaf_->Loads().GetGravityLoad(4));
}

// A gravity the analysis model refuses is refused before anything changes:
// the old name and gravity stay (they used to be deleted first and lost).
TEST_F(LoadCaseTest, GravityThatIsNotFiniteIsRefusedAndTheOldOneStays) {
  loadCase_.Write(model_);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const vec3d& bad : {vec3d(nan, 0, -9.81), vec3d(0, inf, 0), vec3d(0, 0, -inf)}) {
    SCOPED_TRACE(::testing::PrintToString(bad));
    loadCase_.gravity = bad;
    loadCase_.name = "Renamed";
    log_.Clear();
    EXPECT_THROW(loadCase_.Write(model_), AnalysisModel::ModelError);
    EXPECT_THAT(log_.Calls(), IsEmpty());
    EXPECT_EQ(xaf_->Loads().GetLoadCaseName(4), std::string("Dead load"));
    ASSERT_TRUE(xaf_->Loads().GetGravityLoad(4));
    EXPECT_EQ(*xaf_->Loads().GetGravityLoad(4), vec3d(0, 0, -9.81));
  }
}

TEST_F(LoadCaseTest, UnnamedCaseGetsTheEmptyName) {
  UnnamedLoadCase unnamed;
  unnamed.Write(model_);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.SetLoadCaseName 2 \"\"", "Loads.DeleteGravityLoad 2"));
  EXPECT_EQ(xaf_->Loads().GetLoadCaseName(2), std::string());
}

TEST_F(LoadCaseTest, DeleteBeforeWriteCallsNothing) {
  loadCase_.Delete(model_);
  EXPECT_THAT(log_.Calls(), IsEmpty());
}

TEST_F(LoadCaseTest, DeleteRemovesEveryLoadAndTheNameButKeepsTheId) {
  loadCase_.Write(model_);
  xaf_->Loads().AddSurfaceLoad(4, 1, SurfaceLoad(-1.0));
  xaf_->Loads().AddPointLoad(4, 2, PointLoad({1, 0, 0}, vec3d(0, 0, -1), vec3d()));
  xaf_->Loads().AddSurfaceLoad(6, 1, SurfaceLoad(-1.0));  // another load case stays
  log_.Clear();
  loadCase_.Delete(model_);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.DeleteAllLoadsInLoadCase 4", "Loads.DeleteLoadCaseName 4"));
  EXPECT_THAT(xaf_->Loads().GetLoads(4), IsEmpty());
  EXPECT_FALSE(xaf_->Loads().GetGravityLoad(4));
  EXPECT_FALSE(xaf_->Loads().GetLoadCaseName(4));
  EXPECT_EQ(xaf_->Loads().GetLoads(6).size(), 1u);
  EXPECT_EQ(loadCase_.GetLoadCaseId(), 4);

  // Written again: the same id, without asking the host.
  loadCase_.Write(model_);
  EXPECT_EQ(loadCase_.idQuestions, 1);
  EXPECT_EQ(xaf_->Loads().GetLoadCaseName(4), std::string("Dead load"));
  EXPECT_TRUE(xaf_->Loads().GetGravityLoad(4));
}

TEST_F(LoadCaseTest, EveryCallTakesTheAnalysisModelAnew) {
  Testing::NotingMirrorModel noting(model_, log_);
  loadCase_.Write(noting);
  loadCase_.Delete(noting);
  EXPECT_THAT(Testing::OperationsOf(log_.Calls()),
              ElementsAre("GetXafModel", "Loads.SetLoadCaseName", "GetXafModel", "Loads.DeleteGravityLoad",
                          "GetXafModel", "Loads.AddGravityLoad", "GetXafModel",
                          "Loads.DeleteAllLoadsInLoadCase", "GetXafModel", "Loads.DeleteLoadCaseName"));
  // Only the fixture's and the model's own references: none is kept between calls.
  EXPECT_THAT(noting.heldElsewhere, Each(2));
}

TEST_F(LoadCaseTest, CopiesCarryTheIdAndBothAuxiliaryMaps) {
  loadCase_.GetFirstAuxiliaryMap().map[1] = 10;
  loadCase_.GetFirstAuxiliaryMap().value = 3;
  loadCase_.GetSecondAuxiliaryMap().map[2] = 20;
  loadCase_.GetSecondAuxiliaryMap().map[5] = 50;
  loadCase_.GetSecondAuxiliaryMap().value = -7;
  loadCase_.Write(model_);

  TestLoadCase copy(loadCase_);
  EXPECT_EQ(copy.GetLoadCaseId(), 4);
  EXPECT_EQ(copy.GetFirstAuxiliaryMap().map, loadCase_.GetFirstAuxiliaryMap().map);
  EXPECT_EQ(copy.GetSecondAuxiliaryMap().map.size(), 2u);
  EXPECT_EQ(copy.GetSecondAuxiliaryMap().value, -7);
  copy.GetFirstAuxiliaryMap().map[1] = 11;
  EXPECT_EQ(loadCase_.GetFirstAuxiliaryMap().map.at(1), 10) << "the copy is independent";

  TestLoadCase assigned;
  assigned.GetFirstAuxiliaryMap().map[99] = 99;
  assigned = loadCase_;
  EXPECT_EQ(assigned.GetLoadCaseId(), 4);
  EXPECT_EQ(assigned.GetFirstAuxiliaryMap().map, loadCase_.GetFirstAuxiliaryMap().map);
  EXPECT_EQ(assigned.GetFirstAuxiliaryMap().value, 3);
  EXPECT_EQ(assigned.GetSecondAuxiliaryMap().map, loadCase_.GetSecondAuxiliaryMap().map);

  IMirrorLoadCase& self = loadCase_;
  loadCase_ = static_cast<const TestLoadCase&>(self);
  EXPECT_EQ(loadCase_.GetFirstAuxiliaryMap().map.size(), 1u);
  EXPECT_EQ(loadCase_.GetSecondAuxiliaryMap().map.size(), 2u);
  EXPECT_EQ(loadCase_.GetLoadCaseId(), 4);
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
