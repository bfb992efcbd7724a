// Material mirrors: writing on every call, deleting without forgetting the
// id, failures that leave the id alone, and the read-back material.
#include "mirror/properties/mirror_material.hpp"

#include <gtest/gtest.h>

#include <boost/intrusive_ptr.hpp>
#include <type_traits>

#include "mirror/properties/tests/property_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

static_assert(std::is_copy_constructible_v<XanMirrorMaterial>);
static_assert(!std::is_copy_assignable_v<XanMirrorMaterial>);

boost::shared_ptr<qlMaterial> Steel() {
  return boost::shared_ptr<qlMaterial>(new qlMaterial(2.1e11, 0.3, 7850.0));
}
boost::shared_ptr<qlMaterial> Aluminium() {
  return boost::shared_ptr<qlMaterial>(new qlMaterial(7.0e10, 0.33, 2700.0));
}

class MaterialTest : public PropertyTest {
 protected:
  MaterialTest() {
    steel_.name = "S355";
    steel_.material = Steel();
  }
  HostMaterial steel_;
};

TEST_F(MaterialTest, StartsWithoutIdAndWithPlainDefaults) {
  EXPECT_EQ(steel_.GetId(), -1);
  EXPECT_TRUE(steel_.IsModified());
  EXPECT_FALSE(steel_.IsAnisotrop());
  EXPECT_FALSE(steel_.GetAnisotropMaterial(vec3d(1.0, 0.0, 0.0)));
  EXPECT_FALSE(steel_.GetAnisotropMaterial(vec3d(0.0, 0.0, 0.0)));

  XanMirrorMaterial known(model_, 12);
  EXPECT_EQ(known.GetId(), 12);
  EXPECT_TRUE(known.IsModified());
  known.SetModified(false);
  known.SetId(13);
  EXPECT_EQ(known.GetId(), 13);
  EXPECT_FALSE(known.IsModified());  // SetId leaves the flag alone
}

TEST_F(MaterialTest, WriteAddsTheMaterialAndKeepsTheIdReturned) {
  steel_.Write(model_);
  const TraceEvent add = OnlyEvent("Materials.AddMaterial");
  ASSERT_EQ(add.arguments.size(), 3u);
  EXPECT_EQ(add.arguments[1], "\"S355\"");
  EXPECT_EQ(add.arguments[2], "-1");
  EXPECT_EQ(model_.calls, 1);

  ASSERT_NE(steel_.GetId(), -1);
  const auto row = Table()->Materials().GetMaterial(steel_.GetId());
  ASSERT_TRUE(row);
  EXPECT_EQ(row->GetName(), "S355");
  EXPECT_TRUE(row->GetMaterial()->IsEqual(*steel_.material));
  EXPECT_TRUE(steel_.IsModified());  // the flag plays no part for materials
}

TEST_F(MaterialTest, WritesOnEveryCallWhateverTheFlagSays) {
  steel_.SetModified(false);
  steel_.Write(model_);
  const long first = steel_.GetId();
  EXPECT_EQ(OnlyEvent("Materials.AddMaterial").arguments.back(), "-1");

  steel_.Write(model_);
  EXPECT_EQ(OnlyEvent("Materials.AddMaterial").arguments.back(), std::to_string(first));
  EXPECT_EQ(steel_.GetId(), first);
  EXPECT_FALSE(steel_.IsModified());
  EXPECT_EQ(Table()->Materials().GetMaterialIds().size(), 1u);
}

TEST_F(MaterialTest, WithoutDefinitionNothingIsAskedOrWritten) {
  for (long id : {-1L, 7L}) {
    SCOPED_TRACE(id);
    HostMaterial empty;
    empty.name = "unused";
    empty.SetId(id);
    empty.Write(model_);
    EXPECT_EQ(empty.definitionCalls, 1);
    EXPECT_EQ(empty.nameCalls, 0);
    EXPECT_EQ(model_.calls, 0);
    EXPECT_TRUE(TakeOperations().empty());
    EXPECT_EQ(empty.GetId(), id);
  }
}

TEST_F(MaterialTest, TheNameReachesTheModelUnchanged) {
  steel_.name = std::string(70, 'x') + " lower case \xC3\xA9";
  steel_.Write(model_);
  EXPECT_EQ(Table()->Materials().GetMaterial(steel_.GetId())->GetName(), steel_.name);
}

TEST_F(MaterialTest, DeleteOfANeverWrittenMaterialMakesNoCall) {
  steel_.Delete(model_);
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(model_.calls, 0);
}

TEST_F(MaterialTest, WriteDeleteWriteHandsTheFirstIdBack) {
  steel_.Write(model_);
  const long first = steel_.GetId();
  TakeOperations();

  steel_.SetModified(false);
  steel_.Delete(model_);
  EXPECT_EQ(OnlyEvent("Materials.DeleteMaterial").arguments.at(0), std::to_string(first));
  EXPECT_FALSE(Table()->Materials().GetMaterial(first));
  EXPECT_EQ(steel_.GetId(), first);
  EXPECT_FALSE(steel_.IsModified());

  steel_.Write(model_);
  EXPECT_EQ(OnlyEvent("Materials.AddMaterial").arguments.back(), std::to_string(first));
  EXPECT_EQ(steel_.GetId(), first);
  EXPECT_TRUE(Table()->Materials().GetMaterial(first));
}

TEST_F(MaterialTest, AFailedWriteKeepsTheId) {
  trace_.FailOn("Materials.AddMaterial");
  EXPECT_THROW(steel_.Write(model_), InjectedFault);
  EXPECT_EQ(steel_.GetId(), -1);
  EXPECT_TRUE(Table()->Materials().GetMaterialIds().empty());

  trace_.FailOn("");
  steel_.Write(model_);
  const long first = steel_.GetId();
  ASSERT_NE(first, -1);

  steel_.material = Aluminium();
  trace_.FailOn("Materials.AddMaterial");
  EXPECT_THROW(steel_.Write(model_), InjectedFault);
  EXPECT_EQ(steel_.GetId(), first);
  EXPECT_TRUE(Table()->Materials().GetMaterial(first)->GetMaterial()->IsEqual(*Steel()));
}

TEST_F(MaterialTest, AFailingHostAnswerReachesNoModel) {
  steel_.SetId(4);
  steel_.failName = true;
  EXPECT_THROW(steel_.Write(model_), HostError);
  steel_.failName = false;
  steel_.failDefinition = true;
  EXPECT_THROW(steel_.Write(model_), HostError);
  EXPECT_EQ(steel_.GetId(), 4);
  EXPECT_EQ(model_.calls, 0);
  EXPECT_TRUE(TakeOperations().empty());
}

TEST_F(MaterialTest, AModelThatHandsOutNoAnalysisModelIsAnError) {
  model_.handOutNothing = true;
  EXPECT_THROW(steel_.Write(model_), std::logic_error);
  EXPECT_EQ(steel_.GetId(), -1);
  steel_.SetId(3);
  EXPECT_THROW(steel_.Delete(model_), std::logic_error);
}

TEST_F(MaterialTest, CopiesCarryIdAndFlagButNotTheReferenceCount) {
  steel_.Write(model_);
  steel_.SetModified(false);
  boost::intrusive_ptr<HostMaterial> held(new HostMaterial(steel_));
  EXPECT_EQ(held->GetId(), steel_.GetId());
  EXPECT_FALSE(held->IsModified());
  EXPECT_EQ(held->GetReferenceCount(), 1);

  HostMaterial target;
  target = steel_;
  EXPECT_EQ(target.GetId(), steel_.GetId());
  *held = HostMaterial();  // assignment keeps the target's own holders
  EXPECT_EQ(held->GetReferenceCount(), 1);
  EXPECT_EQ(held->GetId(), -1);
  EXPECT_TRUE(held->IsModified());
}

// ---- read-back -----------------------------------------------------------------

TEST_F(MaterialTest, ReadBackAsksTheModelOnEveryCall) {
  steel_.Write(model_);
  const long id = steel_.GetId();
  TakeOperations();

  XanMirrorMaterial known(model_, id);
  EXPECT_EQ(known.GetName(), "S355");
  EXPECT_EQ(OnlyEvent("Materials.GetMaterial").arguments.at(0), std::to_string(id));
  ASSERT_TRUE(known.GetMaterial());
  EXPECT_TRUE(known.GetMaterial()->IsEqual(*Steel()));
  TakeOperations();

  // The answers follow the model's current content.
  steel_.name = "S235";
  steel_.material = Aluminium();
  steel_.Write(model_);
  EXPECT_EQ(known.GetName(), "S235");
  EXPECT_TRUE(known.GetMaterial()->IsEqual(*Aluminium()));

  const XanMirrorMaterial copy(known);
  EXPECT_EQ(copy.GetId(), id);
  EXPECT_EQ(copy.GetName(), "S235");

  steel_.Delete(model_);
  EXPECT_EQ(known.GetName(), "");
  EXPECT_FALSE(known.GetMaterial());
}

TEST_F(MaterialTest, ReadBackOfAnIdTheModelLacks) {
  for (long id : {-1L, 0L, 99L}) {
    SCOPED_TRACE(id);
    XanMirrorMaterial unknown(model_, id);
    EXPECT_EQ(unknown.GetName(), "");
    EXPECT_FALSE(unknown.GetMaterial());
    TakeOperations();
    unknown.Write(model_);  // finds no definition: only the lookup happens
    EXPECT_EQ(TakeOperations(), std::vector<std::string>{"Materials.GetMaterial"});
    EXPECT_EQ(unknown.GetId(), id);
  }
}

TEST_F(MaterialTest, AReadBackMaterialRewritesItselfUnderItsOwnId) {
  steel_.Write(model_);
  const long id = steel_.GetId();
  XanMirrorMaterial known(model_, id);
  TakeOperations();
  known.Write(model_);
  const std::vector<TraceEvent> events = trace_.Events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].operation, "Materials.GetMaterial");  // GetMaterial, then GetName
  EXPECT_EQ(events[1].operation, "Materials.GetMaterial");
  EXPECT_EQ(events[2].operation, "Materials.AddMaterial");
  EXPECT_EQ(events[2].arguments.at(1), "\"S355\"");
  EXPECT_EQ(events[2].arguments.at(2), std::to_string(id));
  EXPECT_EQ(known.GetId(), id);
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
