// Joints, support points and boundary conditions: node naming, the node id,
// and registration as structure concepts.
#include "mirror/core/node_concepts.hpp"

#include <gtest/gtest.h>

#include <string>

#include "mirror/core/tests/core_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using Testing::TracedModelTest;

// The host's subclass: only the name is its own.
template <class Base>
class Named : public Base {
 public:
  explicit Named(std::string name) : name_(std::move(name)) {}
  std::string GetName() const override { return name_; }

 private:
  std::string name_;
};

template <class Base>
class NodeConceptTest : public TracedModelTest {
 protected:
  using Concept = Named<Base>;
  long AddNode() { return xaf_->Nodes().AddNode(pos3d(1, 0, 0)); }
  std::string NodeName(long node) {
    xaf_->SetTraceSink(nullptr);
    std::string name = xaf_->NodeProperties().GetName(node);
    xaf_->SetTraceSink(&trace_);
    return name;
  }
};

using NodeConceptTypes = ::testing::Types<IMirrorJoint, IMirrorSupportPoint>;
TYPED_TEST_SUITE(NodeConceptTest, NodeConceptTypes);

TYPED_TEST(NodeConceptTest, WithoutNodeWriteAndDeleteCallNothing) {
  typename TestFixture::Concept c("J1");
  EXPECT_EQ(c.GetNode(), -1);
  for (long node : {-1L, 0L}) {
    SCOPED_TRACE(node);
    c.SetNode(node);
    c.Write(this->model_);
    c.Delete(this->model_);
    EXPECT_TRUE(this->trace_.Events().empty());
  }
}

TYPED_TEST(NodeConceptTest, WriteNamesTheNodeOnEveryCallWhateverTheFlag) {
  const long node = this->AddNode();
  typename TestFixture::Concept c("J1");
  c.SetNode(node);
  this->trace_.Clear();

  const long holders = this->xaf_.use_count();
  c.Write(this->model_);
  EXPECT_EQ(this->xaf_.use_count(), holders);
  EXPECT_TRUE(c.IsModified());
  c.SetModified(false);
  c.Write(this->model_);
  EXPECT_FALSE(c.IsModified());

  const std::string call = "NodeProperties.SetName(" + std::to_string(node) + ", \"J1\")";
  EXPECT_EQ(this->trace_.Calls(), (std::vector<std::string>{call, call}));
  EXPECT_EQ(this->NodeName(node), "J1");
}

TYPED_TEST(NodeConceptTest, DeleteClearsTheNameAndKeepsNodeAndFlags) {
  const long node = this->AddNode();
  typename TestFixture::Concept c("J1");
  c.SetNode(node);
  c.Write(this->model_);
  c.SetModified(false);
  this->trace_.Clear();

  c.Delete(this->model_);
  EXPECT_EQ(this->trace_.Calls(),
            (std::vector<std::string>{"NodeProperties.SetName(" + std::to_string(node) + ", \"\")"}));
  EXPECT_EQ(this->NodeName(node), "");
  EXPECT_EQ(c.GetNode(), node);
  EXPECT_FALSE(c.IsModified());
}

TYPED_TEST(NodeConceptTest, SetNodeMarksModifiedAndLeavesTheOldNodeNamed) {
  const long first = this->AddNode();
  const long second = this->AddNode();
  typename TestFixture::Concept c("S7");
  c.SetNode(first);
  c.Write(this->model_);
  c.SetModified(false);

  c.SetNode(second);
  EXPECT_TRUE(c.IsModified());
  EXPECT_EQ(c.GetNode(), second);
  c.Write(this->model_);
  EXPECT_EQ(this->NodeName(first), "S7");
  EXPECT_EQ(this->NodeName(second), "S7");
  c.Delete(this->model_);
  EXPECT_EQ(this->NodeName(first), "S7");
  EXPECT_EQ(this->NodeName(second), "");
}

TYPED_TEST(NodeConceptTest, RegistersAsNodeConceptWithoutParentAndWithoutNode) {
  boost::intrusive_ptr<typename TestFixture::Concept> c(new typename TestFixture::Concept("J9"));
  EXPECT_FALSE(c->GetParentConcept());
  EXPECT_EQ(c->GetConceptType(), ConceptType(1, 0, 0));

  c->WriteConcept(this->model_);
  EXPECT_EQ(this->trace_.Calls(),
            (std::vector<std::string>{"StructureConcepts.AddConcept(1, 0, -1, \"J9\", -1)"}));
  EXPECT_GT(c->GetConceptId(), 0);
  EXPECT_EQ(c->GetNode(), -1);
}

TYPED_TEST(NodeConceptTest, CopiesCarryTheNode) {
  const long node = this->AddNode();
  typename TestFixture::Concept c("J1");
  c.SetNode(node);
  c.SetModified(false);
  typename TestFixture::Concept copy(c);
  EXPECT_EQ(copy.GetNode(), node);
  EXPECT_FALSE(copy.IsModified());
  typename TestFixture::Concept assigned("other");
  assigned = c;
  EXPECT_EQ(assigned.GetNode(), node);
  assigned.Write(this->model_);
  EXPECT_EQ(this->NodeName(node), "J1");
}

TYPED_TEST(NodeConceptTest, ModelFailurePropagatesAndKeepsState) {
  typename TestFixture::Concept c("J1");
  c.SetNode(12345);  // no such node
  EXPECT_THROW(c.Write(this->model_), AnalysisModel::ModelError);
  EXPECT_EQ(c.GetNode(), 12345);
  EXPECT_TRUE(c.IsModified());
}

// The host's subclass that logs when the library asks for its name.
template <class Base>
class LoggedName : public Base {
 public:
  LoggedName(std::string name, Testing::SequenceLog& log) : name_(std::move(name)), log_(&log) {}
  std::string GetName() const override {
    log_->Annotate("GetName");
    return name_;
  }

 private:
  std::string name_;
  Testing::SequenceLog* log_;
};

TYPED_TEST(NodeConceptTest, WriteAsksTheNameBeforeTheModelAndDeleteNeverAsksIt) {
  const long node = this->AddNode();
  Testing::SequenceLog log;
  Testing::LoggingModel model(this->xaf_, log);
  this->xaf_->SetTraceSink(&log);
  LoggedName<TypeParam> c("J1", log);

  // Without a node neither the name nor the analysis model is asked for.
  for (long none : {-1L, 0L}) {
    c.SetNode(none);
    c.Write(model);
    c.Delete(model);
  }
  EXPECT_TRUE(log.Calls().empty());

  c.SetNode(node);
  c.Write(model);
  EXPECT_EQ(log.Calls(), (std::vector<std::string>{"GetName", "GetXafModel", "NodeProperties.SetName"}));
  log.Clear();
  c.Delete(model);
  EXPECT_EQ(log.Calls(), (std::vector<std::string>{"GetXafModel", "NodeProperties.SetName"}));
  this->xaf_->SetTraceSink(&this->trace_);
}

// A boundary condition of the host: parent and type are its own.
class HostBoundaryCondition : public IMirrorBoundaryCondition {
 public:
  void Delete(IMirrorModel&) override { ++deletes; }
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override { return parent; }
  ConceptType GetConceptType() const override { return ConceptType(4, 3, 0); }
  std::string GetName() const override { return "BC"; }
  boost::intrusive_ptr<IMirrorConcept> parent;
  int deletes = 0;
};

class BoundaryConditionTest : public TracedModelTest {};

TEST_F(BoundaryConditionTest, WriteCallsNothingAndKeepsTheFlag) {
  HostBoundaryCondition bc;
  Testing::SequenceLog log;
  Testing::LoggingModel logging(xaf_, log);
  bc.Write(logging);
  EXPECT_TRUE(log.Calls().empty()) << "not even the analysis model is asked for";
  bc.Write(model_);
  EXPECT_TRUE(trace_.Events().empty());
  EXPECT_TRUE(bc.IsModified());
  bc.SetModified(false);
  bc.Write(model_);
  EXPECT_FALSE(bc.IsModified());
  EXPECT_TRUE(trace_.Events().empty());
}

TEST_F(BoundaryConditionTest, RegistersUnderTheHostsParentAndType) {
  boost::intrusive_ptr<Named<IMirrorJoint>> joint(new Named<IMirrorJoint>("J"));
  boost::intrusive_ptr<HostBoundaryCondition> bc(new HostBoundaryCondition);
  bc->parent = joint;
  bc->WriteConcept(model_);
  EXPECT_EQ(trace_.Calls(),
            (std::vector<std::string>{"StructureConcepts.AddConcept(1, 0, -1, \"J\", -1)",
                                      "StructureConcepts.AddConcept(4, 3, " +
                                          std::to_string(joint->GetConceptId()) + ", \"BC\", -1)"}));
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
