// Values the managers refuse (NaN or negative masses, fixities outside
// [0, 1], non-finite loads and gravity, loads on elements of the wrong
// shape, previous ids below -1): each refused call throws ModelError and
// leaves every table as it was, while the values at the edges are taken.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"
#include "model_snapshot.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class ValueChecksTest : public XafModelTest {
 protected:
  // Element 1 a beam on nodes 1-2, element 2 a shell on nodes 1-4.
  void SetUp() override {
    XafModelTest::SetUp();
    AddNode(0, 0, 0);
    AddNode(1, 0, 0);
    AddNode(1, 1, 0);
    AddNode(0, 1, 0);
    model->Elements().AddElement(qlElementType::Beam2(), {1, 2});
    model->Elements().AddElement(qlElementType::Shell4(), {1, 2, 3, 4});
  }
};

PointLoad Force(const pos3d& at, const vec3d& force) { return PointLoad(at, force, vec3d()); }

TEST_F(ValueChecksTest, RefusedValuesThrowAndChangeNothing) {
  const struct {
    const char* what;
    std::function<void(XafModel&)> call;
  } cases[] = {
      {"NaN mass", [](XafModel& m) { m.NodeProperties().AddMass(1, Mass(kNaN)); }},
      {"negative mass", [](XafModel& m) { m.NodeProperties().AddMass(1, Mass(-1)); }},
      {"negative inertia", [](XafModel& m) { m.NodeProperties().AddMass(1, Mass(1, 1, 1, 0, -0.1, 0)); }},
      {"infinite mass", [](XafModel& m) { m.NodeProperties().AddMass(1, Mass(kInf)); }},
      {"hinge factor above 1",
       [](XafModel& m) {
         m.Hinges().AddHinge(Hinge({1, 1, 1, 1.5, 0, 0}));
       }},
      {"hinge factor below 0",
       [](XafModel& m) {
         m.Hinges().AddHinge(Hinge({1, 1, 1, -0.1, 0, 0}));
       }},
      {"NaN hinge factor",
       [](XafModel& m) {
         m.Hinges().AddHinge(Hinge({1, 1, kNaN, 0, 0, 0}));
       }},
      {"NaN support factor",
       [](XafModel& m) {
         m.NodeProperties().SetBoundaryCondition(1, Hinge({kNaN, 1, 1, 1, 1, 1}));
       }},
      {"support factor above 1",
       [](XafModel& m) {
         m.NodeProperties().SetBoundaryCondition(1, Hinge({2, 1, 1, 1, 1, 1}));
       }},
      {"NaN point force",
       [](XafModel& m) { m.Loads().AddPointLoad(0, 1, Force(pos3d(), vec3d(kNaN, 0, 0))); }},
      {"NaN point position",
       [](XafModel& m) { m.Loads().AddPointLoad(0, 1, Force(pos3d(0, kNaN, 0), vec3d(1, 0, 0))); }},
      {"NaN moment",
       [](XafModel& m) { m.Loads().AddPointLoad(0, 1, PointLoad(pos3d(), vec3d(), vec3d(0, 0, kInf))); }},
      {"point load without values", [](XafModel& m) { m.Loads().AddPointLoad(0, 1, PointLoad()); }},
      {"NaN node acceleration",
       [](XafModel& m) { m.Loads().AddNodeAccelerationLoad(0, 1, Force(pos3d(), vec3d(0, 0, kNaN))); }},
      {"NaN line load",
       [](XafModel& m) { m.Loads().AddLineLoad(0, 1, LineLoad(vec3d(0, 0, -1), vec3d(kNaN, 0, 0))); }},
      {"NaN pressure", [](XafModel& m) { m.Loads().AddSurfaceLoad(0, 2, SurfaceLoad(kNaN)); }},
      {"NaN initial strain",
       [](XafModel& m) { m.Loads().AddElementInitialStrain(0, 1, InitialStrainLoad(kNaN)); }},
      {"NaN gravity", [](XafModel& m) { m.Loads().AddGravityLoad(0, 0, 0, 0, kNaN); }},
      {"infinite gravity", [](XafModel& m) { m.Loads().AddGravityLoad(0, 0, -kInf, 0, 0); }},
      {"line load on a surface element",
       [](XafModel& m) { m.Loads().AddLineLoad(0, 2, LineLoad(vec3d(0, 0, -1))); }},
      {"surface load on a line element",
       [](XafModel& m) { m.Loads().AddSurfaceLoad(0, 1, SurfaceLoad(-1)); }},
      {"eccentricity id -5", [](XafModel& m) { m.Eccentricities().AddEccentricity(vec3d(0, 0, 1), -5); }},
      {"transformation id -5",
       [](XafModel& m) { m.Transformations().AddTransformation(vec3d(0, 0, 1), -5); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto before = Snapshot(*model);
    EXPECT_THROW(c.call(*model), ModelError);
    EXPECT_EQ(Snapshot(*model), before);
  }
}

TEST_F(ValueChecksTest, ValuesAtTheEdgesAreTaken) {
  model->NodeProperties().AddMass(1, Mass(0));
  model->NodeProperties().AddMass(1, Mass(-0.0, 1, 2, 0, 0, 0));
  EXPECT_EQ(model->Hinges().AddHinge(Hinge({0, 1, 0.5, 0, 1, 0})), 1);
  model->NodeProperties().SetBoundaryCondition(2, Hinge({0, 0, 1, 1, 0, 0}));
  // An initial strain may go on either shape; a surface record marked as one too.
  model->Loads().AddElementInitialStrain(0, 2, InitialStrainLoad(1e-4));
  SurfaceLoad marked(0.3);
  marked.SetLoadType(LoadType::InitialStrain);
  model->Loads().AddElementInitialStrain(0, 1, marked);
  model->Loads().AddGravityLoad(0, 0, 0, 0, -9.81);
  EXPECT_EQ(model->Eccentricities().AddEccentricity(vec3d(0, 0, 1), 0), 1);
  EXPECT_EQ(model->Transformations().AddTransformation(vec3d(0, 0, 1), 0), 1);
  EXPECT_EQ(model->NodeProperties().GetMasses(1).size(), 2u);
  EXPECT_EQ(model->Loads().GetLoads(0).size(), 2u);
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
