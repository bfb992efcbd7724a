// Reference counting, copying and concept registration of the mirror object
// roots, checked through the analysis model's call trace and concept table.
#include "mirror/core/mirror_object.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "mirror/core/tests/core_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using Testing::FaultInjectingSink;
using Testing::TracedModelTest;

// A host concept: its parent is a plain pointer so that parent loops do not
// keep themselves alive; GetParentConcept hands out an intrusive_ptr to it.
class HostConcept : public IMirrorConcept {
 public:
  explicit HostConcept(std::string name = "", int* destroyed = nullptr)
      : name_(std::move(name)), destroyed_(destroyed) {}
  HostConcept(const HostConcept&) = default;
  HostConcept& operator=(const HostConcept&) = default;
  ~HostConcept() override {
    if (destroyed_) ++*destroyed_;
  }

  std::string GetName() const override { return name_; }
  void Write(IMirrorModel&) override {}
  void Delete(IMirrorModel&) override {}
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override {
    if (failParent) throw std::runtime_error("host failed");
    return boost::intrusive_ptr<IMirrorConcept>(parent);
  }
  ConceptType GetConceptType() const override { return ConceptType(type, role, 9); }

  IMirrorConcept* parent = nullptr;
  long type = 7;
  long role = 2;
  bool failParent = false;

 private:
  std::string name_;
  int* destroyed_;
};

// A plain mirror object, for the defaults of IMirrorObject.
class HostObject : public IMirrorObject {
 public:
  void Write(IMirrorModel&) override {}
  void Delete(IMirrorModel&) override {}
};

using Ptr = boost::intrusive_ptr<HostConcept>;

TEST(MirrorObject, NewObjectIsModifiedUnnamedAndUnregistered) {
  HostObject object;
  EXPECT_TRUE(object.IsModified());
  EXPECT_EQ(object.GetName(), "");
  object.SetModified(false);
  EXPECT_FALSE(object.IsModified());

  Ptr concept_(new HostConcept);
  EXPECT_EQ(concept_->GetConceptId(), -1);
  EXPECT_TRUE(concept_->IsModified());
  EXPECT_EQ(concept_->GetReferenceCount(), 1);
}

TEST(MirrorObject, LastReleaseRunsMostDerivedDestructorOnce) {
  int destroyed = 0;
  {
    Ptr a(new HostConcept("a", &destroyed));
    boost::intrusive_ptr<IMirrorObject> base(a.get());
    boost::intrusive_ptr<IMirrorObjectWithTopology> middle(a.get());
    EXPECT_EQ(a->GetReferenceCount(), 3);
    a.reset();
    base.reset();
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(MirrorObject, CopyStartsUnheldAndIsFreedByItsLastHolder) {
  int destroyed = 0;
  Ptr original(new HostConcept("a", &destroyed));
  Ptr extra = original;
  {
    Ptr copy(new HostConcept(*original));
    EXPECT_EQ(copy->GetReferenceCount(), 1);
  }
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(original->GetReferenceCount(), 2);
}

TEST(MirrorObject, AssignmentKeepsTheTargetsCount) {
  int destroyed = 0;
  Ptr target(new HostConcept("t", &destroyed));
  Ptr targetAgain = target;
  Ptr source(new HostConcept("s", &destroyed));
  source->SetModified(false);

  *target = *source;
  EXPECT_EQ(target->GetReferenceCount(), 2);
  EXPECT_EQ(source->GetReferenceCount(), 1);
  EXPECT_FALSE(target->IsModified());
  EXPECT_EQ(target->GetName(), "s");

  *target = *target;  // self-assignment changes nothing
  EXPECT_EQ(target->GetReferenceCount(), 2);

  // Had the assignment taken over the source's count (1), releasing one of
  // the two holders would free the target while the other still holds it.
  targetAgain.reset();
  EXPECT_EQ(destroyed, 0);
  target.reset();
  EXPECT_EQ(destroyed, 1);
}

class ConceptRegistration : public TracedModelTest {};

TEST_F(ConceptRegistration, RegistersOnceWithTypeRoleNameAndNoParent) {
  Ptr c(new HostConcept("Column C1"));
  const long holders = xaf_.use_count();
  c->WriteConcept(model_);
  c->WriteConcept(model_);
  EXPECT_EQ(xaf_.use_count(), holders) << "the analysis model is held for the call only";

  const auto added = EventsOf("StructureConcepts.AddConcept");
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].arguments, (std::vector<std::string>{"7", "2", "-1", "\"Column C1\"", "-1"}));
  ASSERT_GT(c->GetConceptId(), 0);
  xaf_->SetTraceSink(nullptr);
  const auto stored = xaf_->StructureConcepts().GetConcept(c->GetConceptId());
  EXPECT_EQ(stored.type, 7);
  EXPECT_EQ(stored.role, 2);
  EXPECT_EQ(stored.parent, -1);
  EXPECT_EQ(stored.name, "Column C1");
  // Registration does not touch the modified flag.
  EXPECT_TRUE(c->IsModified());
}

TEST_F(ConceptRegistration, PendingParentIsRegisteredFirstAndItsIdPassedOn) {
  Ptr parent(new HostConcept("beam"));
  Ptr child(new HostConcept("segment"));
  child->parent = parent.get();

  child->WriteConcept(model_);

  const auto added = EventsOf("StructureConcepts.AddConcept");
  ASSERT_EQ(added.size(), 2u);
  EXPECT_EQ(added[0].arguments[3], "\"beam\"");
  EXPECT_EQ(added[1].arguments[3], "\"segment\"");
  EXPECT_EQ(added[1].arguments[2], std::to_string(parent->GetConceptId()));
  EXPECT_GT(parent->GetConceptId(), 0);
  EXPECT_NE(child->GetConceptId(), parent->GetConceptId());
  // The reference taken for the parent is released again.
  EXPECT_EQ(parent->GetReferenceCount(), 1);

  trace_.Clear();
  parent->WriteConcept(model_);
  EXPECT_TRUE(EventsOf("StructureConcepts.AddConcept").empty());
}

TEST_F(ConceptRegistration, RegisteredParentMakesNoNewCall) {
  Ptr parent(new HostConcept("beam"));
  parent->WriteConcept(model_);
  const long parentId = parent->GetConceptId();
  trace_.Clear();

  Ptr child(new HostConcept("segment"));
  child->parent = parent.get();
  child->WriteConcept(model_);

  const auto added = EventsOf("StructureConcepts.AddConcept");
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].arguments[2], std::to_string(parentId));
  EXPECT_EQ(parent->GetConceptId(), parentId);
}

TEST_F(ConceptRegistration, ParentLoopEndsAtTheConceptBeingRegistered) {
  Ptr a(new HostConcept("a"));
  Ptr b(new HostConcept("b"));
  a->parent = b.get();
  b->parent = a.get();

  a->WriteConcept(model_);

  // b is registered first, while a's id is still -1; then a under b.
  const auto added = EventsOf("StructureConcepts.AddConcept");
  ASSERT_EQ(added.size(), 2u);
  EXPECT_EQ(added[0].arguments[3], "\"b\"");
  EXPECT_EQ(added[0].arguments[2], "-1");
  EXPECT_EQ(added[1].arguments[3], "\"a\"");
  EXPECT_EQ(added[1].arguments[2], std::to_string(b->GetConceptId()));
  EXPECT_EQ(a->GetReferenceCount(), 1);
  EXPECT_EQ(b->GetReferenceCount(), 1);
}

TEST_F(ConceptRegistration, OwnParentIsRegisteredWithoutParent) {
  Ptr a(new HostConcept("self"));
  a->parent = a.get();
  a->WriteConcept(model_);
  const auto added = EventsOf("StructureConcepts.AddConcept");
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].arguments[2], "-1");
  EXPECT_EQ(a->GetReferenceCount(), 1);
}

TEST_F(ConceptRegistration, FailedAddConceptIsNotRetried) {
  FaultInjectingSink failing;
  failing.FailOn("StructureConcepts.AddConcept");
  xaf_->SetTraceSink(&failing);
  Ptr parent(new HostConcept("beam"));
  Ptr child(new HostConcept("segment"));
  child->parent = parent.get();

  // The parent's registration fails first and the failure reaches the host.
  EXPECT_THROW(child->WriteConcept(model_), std::runtime_error);
  EXPECT_EQ(parent->GetConceptId(), -1);
  EXPECT_EQ(child->GetConceptId(), -1);
  EXPECT_EQ(parent->GetReferenceCount(), 1);

  // Both pending flags were cleared before the failure: nothing is retried.
  failing.FailOn("");
  failing.Clear();
  child->WriteConcept(model_);
  parent->WriteConcept(model_);
  EXPECT_TRUE(failing.Events().empty());
  EXPECT_EQ(child->GetConceptId(), -1);
  xaf_->SetTraceSink(nullptr);
  EXPECT_TRUE(xaf_->StructureConcepts().GetConceptIds().empty());
}

TEST_F(ConceptRegistration, ChildFailureKeepsTheRegisteredParent) {
  Ptr parent(new HostConcept("beam"));
  Ptr child(new HostConcept("segment"));
  child->parent = parent.get();
  parent->WriteConcept(model_);
  const long parentId = parent->GetConceptId();

  FaultInjectingSink failing;
  failing.FailOn("StructureConcepts.AddConcept");
  xaf_->SetTraceSink(&failing);
  EXPECT_THROW(child->WriteConcept(model_), std::runtime_error);
  EXPECT_EQ(parent->GetConceptId(), parentId);
  EXPECT_EQ(child->GetConceptId(), -1);
  failing.FailOn("");
  child->WriteConcept(model_);
  EXPECT_EQ(child->GetConceptId(), -1);
}

TEST_F(ConceptRegistration, HostFailureBeforeAddConceptClearsPendingToo) {
  Ptr c(new HostConcept("c"));
  c->failParent = true;
  EXPECT_THROW(c->WriteConcept(model_), std::runtime_error);
  c->failParent = false;
  c->WriteConcept(model_);
  EXPECT_TRUE(EventsOf("StructureConcepts.AddConcept").empty());
  EXPECT_EQ(c->GetConceptId(), -1);
}

TEST_F(ConceptRegistration, CopiesCarryIdAndPendingFlag) {
  Ptr registered(new HostConcept("r"));
  registered->WriteConcept(model_);
  trace_.Clear();

  Ptr copy(new HostConcept(*registered));
  EXPECT_EQ(copy->GetConceptId(), registered->GetConceptId());
  copy->WriteConcept(model_);
  EXPECT_TRUE(EventsOf("StructureConcepts.AddConcept").empty());

  Ptr assigned(new HostConcept("other"));
  *assigned = *registered;
  assigned->WriteConcept(model_);
  EXPECT_TRUE(EventsOf("StructureConcepts.AddConcept").empty());
  EXPECT_EQ(assigned->GetConceptId(), registered->GetConceptId());

  // A copy of a pending concept is pending itself and registers on its own.
  Ptr pending(new HostConcept("p"));
  Ptr pendingCopy(new HostConcept(*pending));
  pendingCopy->WriteConcept(model_);
  EXPECT_EQ(EventsOf("StructureConcepts.AddConcept").size(), 1u);
  EXPECT_GT(pendingCopy->GetConceptId(), 0);
  EXPECT_EQ(pending->GetConceptId(), -1);
}

// A host concept that logs each of its overrides as the library asks it.
class LoggingConcept : public IMirrorConcept {
 public:
  LoggingConcept(std::string name, Testing::SequenceLog& log) : name_(std::move(name)), log_(&log) {}
  std::string GetName() const override {
    log_->Annotate(name_ + ".GetName");
    return name_;
  }
  void Write(IMirrorModel&) override {}
  void Delete(IMirrorModel&) override {}
  boost::intrusive_ptr<IMirrorConcept> GetParentConcept() const override {
    log_->Annotate(name_ + ".GetParentConcept");
    return boost::intrusive_ptr<IMirrorConcept>(parent);
  }
  ConceptType GetConceptType() const override {
    log_->Annotate(name_ + ".GetConceptType");
    return ConceptType(5, 1, 0);
  }
  IMirrorConcept* parent = nullptr;

 private:
  std::string name_;
  Testing::SequenceLog* log_;
};

TEST(ConceptRegistrationOrder, ParentFirstThenTypeNameModelAndAddConcept) {
  TestMirrorModel owner(Testing::ScratchFilePath("order"));
  Testing::SequenceLog log;
  Testing::LoggingModel model(owner.GetXafModel(), log);
  owner.GetXafModel()->SetTraceSink(&log);
  boost::intrusive_ptr<LoggingConcept> beam(new LoggingConcept("beam", log));
  boost::intrusive_ptr<LoggingConcept> segment(new LoggingConcept("segment", log));
  segment->parent = beam.get();

  segment->WriteConcept(model);
  EXPECT_EQ(log.Calls(), (std::vector<std::string>{
                             "segment.GetParentConcept",
                             "beam.GetParentConcept",
                             "beam.GetConceptType",
                             "beam.GetName",
                             "GetXafModel",
                             "StructureConcepts.AddConcept",
                             "segment.GetConceptType",
                             "segment.GetName",
                             "GetXafModel",
                             "StructureConcepts.AddConcept",
                         }));

  // Registered concepts ask nothing at all, not even for the analysis model.
  log.Clear();
  segment->WriteConcept(model);
  beam->WriteConcept(model);
  EXPECT_TRUE(log.Calls().empty());
  owner.GetXafModel()->SetTraceSink(nullptr);
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
