// Loads by load case, and the load records.
#include <gtest/gtest.h>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

class LoadsTest : public XafModelTest {
 protected:
  void SetUp() override {
    XafModelTest::SetUp();
    first = AddBeamChain(3);  // nodes 1..4, elements 1..3
  }
  std::vector<std::pair<LoadKind, long>> KindsAndTargets(long lc) {
    std::vector<std::pair<LoadKind, long>> out;
    for (const LoadEntry& e : model->Loads().GetLoads(lc)) out.emplace_back(e.kind, e.target);
    return out;
  }
  long first = 0;
};

TEST_F(LoadsTest, LoadsKeepTheirOrderKindTargetAndRecord) {
  auto& l = model->Loads();
  const long shell = model->Elements().AddElement(qlElementType::Shell3(), {1, 2, AddNode(0, 1, 0)});
  l.AddLineLoad(3, 2, LineLoad(vec3d(0, 0, -1), vec3d(0, 0, -2)));
  l.AddPointLoad(3, 4, PointLoad(pos3d(3, 0, 0), vec3d(0, 0, -10), vec3d(0, 1, 0)));
  l.AddSurfaceLoad(3, shell, SurfaceLoad(2.5));
  InitialStrainLoad strain(1e-4);
  l.AddElementInitialStrain(3, 3, strain);
  l.AddNodeAccelerationLoad(3, 2, PointLoad(pos3d(1, 0, 0), vec3d(0, 9.81, 0), vec3d()));
  EXPECT_EQ(KindsAndTargets(3), (std::vector<std::pair<LoadKind, long>>{{LoadKind::Line, 2},
                                                                        {LoadKind::Point, 4},
                                                                        {LoadKind::Surface, shell},
                                                                        {LoadKind::InitialStrain, 3},
                                                                        {LoadKind::NodeAcceleration, 2}}));
  const auto loads = l.GetLoads(3);
  EXPECT_TRUE(loads[0].record->Equals(LineLoad(vec3d(0, 0, -1), vec3d(0, 0, -2))));
  EXPECT_FALSE(loads[0].record->Equals(LineLoad(vec3d(0, 0, -1))));
  const auto& point = dynamic_cast<const PointLoad&>(*loads[1].record);
  EXPECT_EQ(point.Position(), pos3d(3, 0, 0));
  EXPECT_EQ(point.Force(), vec3d(0, 0, -10));
  EXPECT_EQ(point.Moment(), vec3d(0, 1, 0));
  EXPECT_EQ(loads[3].record->loadType(), LoadType::InitialStrain);
  EXPECT_EQ(l.GetLoadCaseIds(), (std::vector<long>{3}));
}

TEST_F(LoadsTest, RecordsAreCopiedWhenAdded) {
  SurfaceLoad pressure(1.0);
  pressure.SetLoadType(LoadType::InitialStrain);
  model->Loads().AddElementInitialStrain(1, 1, pressure);
  pressure.SetLoadType(LoadType::SurfacePressure);
  const auto loads = model->Loads().GetLoads(1);
  EXPECT_EQ(loads[0].record->loadType(), LoadType::InitialStrain);
  EXPECT_NE(dynamic_cast<const SurfaceLoad*>(loads[0].record.get()), nullptr);
}

TEST_F(LoadsTest, DeleteNodeLoadAndDeleteElementLoadRemoveOnlyTheirOwn) {
  auto& l = model->Loads();
  const PointLoad p(pos3d(1, 0, 0), vec3d(1, 0, 0), vec3d());
  l.AddPointLoad(1, 2, p);
  l.AddNodeAccelerationLoad(1, 2, p);
  l.AddPointLoad(1, 3, p);
  l.AddLineLoad(1, 2, LineLoad(vec3d(0, 0, 1)));  // element 2, same number as node 2
  l.AddPointLoad(2, 2, p);
  l.DeleteNodeLoad(1, 2);
  EXPECT_EQ(KindsAndTargets(1),
            (std::vector<std::pair<LoadKind, long>>{{LoadKind::Point, 3}, {LoadKind::Line, 2}}));
  EXPECT_EQ(l.GetLoads(2).size(), 1u);  // other load case untouched
  l.DeleteElementLoad(1, 2);
  EXPECT_EQ(KindsAndTargets(1), (std::vector<std::pair<LoadKind, long>>{{LoadKind::Point, 3}}));
  l.DeleteNodeLoad(7, 2);  // a load case that holds nothing: nothing to do
  EXPECT_THROW(l.DeleteNodeLoad(1, 99), ModelError);
}

TEST_F(LoadsTest, LoadCaseNameGravityAndDeleteAll) {
  auto& l = model->Loads();
  EXPECT_FALSE(l.GetLoadCaseName(0));
  l.SetLoadCaseName(0, "dead");
  l.AddGravityLoad(0, 0, 0, 0, -9.81);
  l.AddGravityLoad(0, 0, 0, 0, -10);  // replaces
  l.AddLineLoad(0, 1, LineLoad(vec3d(0, 0, -1)));
  EXPECT_EQ(*l.GetLoadCaseName(0), "dead");
  EXPECT_EQ(*l.GetGravityLoad(0), vec3d(0, 0, -10));
  l.DeleteAllLoadsInLoadCase(0);
  EXPECT_FALSE(l.GetGravityLoad(0));
  EXPECT_TRUE(l.GetLoads(0).empty());
  EXPECT_EQ(*l.GetLoadCaseName(0), "dead");
  l.AddGravityLoad(0, 0, 1, 2, 3);
  l.DeleteGravityLoad(0);
  EXPECT_FALSE(l.GetGravityLoad(0));
  l.DeleteLoadCaseName(0);
  EXPECT_FALSE(l.GetLoadCaseName(0));
  EXPECT_TRUE(l.GetLoadCaseIds().empty());  // nothing left: the load case is gone
}

TEST_F(LoadsTest, BadTargetsAndLoadCasesAreRefusedWithoutEffect) {
  auto& l = model->Loads();
  EXPECT_THROW(l.AddLineLoad(1, 9, LineLoad(vec3d(0, 0, 1))), ModelError);
  EXPECT_THROW(l.AddPointLoad(1, 9, PointLoad()), ModelError);
  EXPECT_THROW(l.AddNodeAccelerationLoad(1, 0, PointLoad()), ModelError);
  EXPECT_THROW(l.AddSurfaceLoad(-1, 1, SurfaceLoad(1)), ModelError);
  EXPECT_THROW(l.SetLoadCaseName(-2, "x"), ModelError);
  EXPECT_TRUE(l.GetLoadCaseIds().empty());
}

TEST(LoadRecordTest, PointLoadValuesAtOnePointAddUp) {
  PointLoad p(pos3d(1, 0, 0), vec3d(1, 0, 0), vec3d(0, 0, 1));
  p.AddValue(pos3d(1, 0, 0), vec3d(2, 0, 0), vec3d(0, 0, 1));
  p.AddValue(pos3d(0, 0, 0), vec3d(0, 5, 0), vec3d());
  ASSERT_EQ(p.GetValues().size(), 2u);
  EXPECT_EQ(p.Position(), pos3d(0, 0, 0));  // the smallest position comes first
  EXPECT_EQ(p.GetValues().at(pos3d(1, 0, 0))(0, 0), 3.0);
  EXPECT_EQ(p.GetValues().at(pos3d(1, 0, 0))(1, 2), 2.0);
  EXPECT_THROW(PointLoad().Position(), std::logic_error);
  EXPECT_FALSE(PointLoad().HasPosition());
  EXPECT_EQ(LineLoad(vec3d(0, 0, -1.5)).Describe(), "LineLoad((0, 0, -1.5), (0, 0, -1.5))");
  SurfaceLoad s(0.1);
  EXPECT_EQ(s.Describe(), "SurfaceLoad(0.1)");
  s.SetLoadType(LoadType::InitialStrain);
  EXPECT_EQ(s.Describe(), "SurfaceLoad(0.1) as type 8");
  EXPECT_FALSE(s.Equals(SurfaceLoad(0.1)));
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
