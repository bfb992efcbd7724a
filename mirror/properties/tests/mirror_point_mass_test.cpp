// Point-mass mirrors: masses added to the node, node -1, RemoveMasses taking
// every mass of a node, and the flag kept set when the model refuses a mass.
#include "mirror/properties/mirror_point_mass.hpp"

#include <gtest/gtest.h>

#include "mirror/properties/tests/property_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

class PointMassTest : public PropertyTest {
 protected:
  PointMassTest() {
    node_ = AddNode(0.0);
    other_ = AddNode(1.0);
    heavy_.mass.reset(new Mass(500.0));
  }
  std::vector<Mass> MassesOf(long node) { return Table()->NodeProperties().GetMasses(node); }
  long node_ = 0, other_ = 0;
  HostPointMass heavy_;
};

TEST_F(PointMassTest, SetNodeMarksTheMirrorModified) {
  EXPECT_EQ(heavy_.GetNode(), -1);
  heavy_.SetModified(false);
  heavy_.SetNode(node_);
  EXPECT_EQ(heavy_.GetNode(), node_);
  EXPECT_TRUE(heavy_.IsModified());
}

TEST_F(PointMassTest, WriteAddsTheMassOnceThenWaitsForTheFlag) {
  heavy_.SetNode(node_);
  heavy_.Write(model_);
  const TraceEvent add = OnlyEvent("NodeProperties.AddMass");
  EXPECT_EQ(add.arguments.at(0), std::to_string(node_));
  EXPECT_FALSE(heavy_.IsModified());
  EXPECT_EQ(heavy_.nameCalls, 0);  // a point mass asks no name
  EXPECT_EQ(MassesOf(node_), std::vector<Mass>{Mass(500.0)});

  heavy_.Write(model_);
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(heavy_.definitionCalls, 1);

  heavy_.SetModified(true);  // every marked Write adds the mass once more
  heavy_.Write(model_);
  EXPECT_EQ(TakeOperations(), std::vector<std::string>{"NodeProperties.AddMass"});
  EXPECT_EQ(MassesOf(node_).size(), 2u);
}

TEST_F(PointMassTest, WithoutMassTheFlagIsCleared) {
  HostPointMass empty;
  empty.SetNode(node_);
  empty.Write(model_);
  EXPECT_EQ(empty.definitionCalls, 1);
  EXPECT_EQ(model_.calls, 0);
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_FALSE(empty.IsModified());
}

TEST_F(PointMassTest, AMassOnNodeMinusOneIsHandedToTheModel) {
  // The model knows no node -1 and refuses the mass: the mirror stays marked.
  EXPECT_THROW(heavy_.Write(model_), AnalysisModel::ModelError);
  const TraceEvent add = OnlyEvent("NodeProperties.AddMass");
  EXPECT_EQ(add.arguments.at(0), "-1");
  EXPECT_TRUE(heavy_.IsModified());

  heavy_.SetNode(node_);  // the retry goes to the node now set
  heavy_.Write(model_);
  EXPECT_FALSE(heavy_.IsModified());
  EXPECT_EQ(MassesOf(node_).size(), 1u);
}

TEST_F(PointMassTest, FailuresLeaveTheFlagSet) {
  heavy_.SetNode(node_);
  trace_.FailOn("NodeProperties.AddMass");
  EXPECT_THROW(heavy_.Write(model_), InjectedFault);
  EXPECT_TRUE(heavy_.IsModified());
  trace_.FailOn("");
  heavy_.failDefinition = true;
  EXPECT_THROW(heavy_.Write(model_), HostError);
  EXPECT_TRUE(heavy_.IsModified());
  EXPECT_TRUE(MassesOf(node_).empty());
}

TEST_F(PointMassTest, DeleteRemovesEveryMassOfTheNode) {
  heavy_.Delete(model_);  // node -1: no call
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(model_.calls, 0);

  HostPointMass light, elsewhere;
  light.mass.reset(new Mass(5.0));
  elsewhere.mass.reset(new Mass(7.0));
  heavy_.SetNode(node_);
  light.SetNode(node_);
  elsewhere.SetNode(other_);
  for (HostPointMass* m : {&heavy_, &light, &elsewhere}) m->Write(model_);
  TakeOperations();

  heavy_.SetModified(true);
  heavy_.Delete(model_);
  EXPECT_EQ(OnlyEvent("NodeProperties.RemoveMasses").arguments.at(0), std::to_string(node_));
  EXPECT_TRUE(MassesOf(node_).empty());  // the other mirror's mass went too
  EXPECT_EQ(MassesOf(other_), std::vector<Mass>{Mass(7.0)});
  EXPECT_EQ(heavy_.GetNode(), node_);
  EXPECT_TRUE(heavy_.IsModified());  // Delete leaves the flag alone

  heavy_.Delete(model_);  // and calls again
  EXPECT_EQ(OnlyEvent("NodeProperties.RemoveMasses").arguments.at(0), std::to_string(node_));
}

TEST_F(PointMassTest, DeleteAfterSetNodeWorksOnTheNewNode) {
  heavy_.SetNode(node_);
  heavy_.Write(model_);
  heavy_.SetNode(other_);
  TakeOperations();
  heavy_.Delete(model_);
  EXPECT_EQ(OnlyEvent("NodeProperties.RemoveMasses").arguments.at(0), std::to_string(other_));
  EXPECT_EQ(MassesOf(node_).size(), 1u);
}

TEST_F(PointMassTest, CopiesCarryNodeAndFlag) {
  heavy_.SetNode(node_);
  heavy_.Write(model_);
  HostPointMass copy(heavy_);
  EXPECT_EQ(copy.GetNode(), node_);
  EXPECT_FALSE(copy.IsModified());
  HostPointMass assigned;
  assigned = heavy_;
  EXPECT_EQ(assigned.GetNode(), node_);
  EXPECT_FALSE(assigned.IsModified());
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
