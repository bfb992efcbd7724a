// Set mirrors: writing gated by the modified flag, content that is absent,
// deletion, and failures that leave id and flag for the next Write.
#include "mirror/properties/mirror_set.hpp"

#include <gtest/gtest.h>

#include "mirror/properties/tests/property_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

class SetTest : public PropertyTest {
 protected:
  SetTest() {
    first_ = AddNode(0.0);
    second_ = AddNode(1.0);
    supports_.name = "Supports";
    supports_.content.reset(new EntitySet);
    supports_.content->AddNode(first_);
    supports_.content->AddNode(second_);
  }
  long first_ = 0, second_ = 0;
  HostSet supports_;
};

TEST_F(SetTest, WriteAddsTheSetThenClearsTheFlag) {
  EXPECT_EQ(supports_.GetId(), -1);
  supports_.Write(model_);
  const TraceEvent add = OnlyEvent("Sets.AddSet");
  ASSERT_EQ(add.arguments.size(), 3u);
  EXPECT_EQ(add.arguments[1], "\"Supports\"");
  EXPECT_EQ(add.arguments[2], "-1");
  EXPECT_FALSE(supports_.IsModified());
  const auto row = Table()->Sets().GetSet(supports_.GetId());
  ASSERT_TRUE(row);
  EXPECT_EQ(row->GetName(), "Supports");
  EXPECT_TRUE(row->GetEntitySet() == *supports_.content);

  supports_.Write(model_);  // flag clear: nothing
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(supports_.definitionCalls, 1);
}

TEST_F(SetTest, WithoutContentTheFlagIsClearedAndTheIdKept) {
  HostSet empty;
  empty.SetId(3);
  empty.Write(model_);
  EXPECT_EQ(empty.definitionCalls, 1);
  EXPECT_EQ(empty.nameCalls, 0);
  EXPECT_EQ(model_.calls, 0);
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_FALSE(empty.IsModified());
  EXPECT_EQ(empty.GetId(), 3);
}

TEST_F(SetTest, WriteDeleteWriteHandsTheFirstIdBack) {
  supports_.Delete(model_);  // never written: no call
  EXPECT_TRUE(TakeOperations().empty());

  supports_.Write(model_);
  const long id = supports_.GetId();
  TakeOperations();
  supports_.Delete(model_);
  EXPECT_EQ(OnlyEvent("Sets.DeleteSet").arguments.at(0), std::to_string(id));
  EXPECT_EQ(supports_.GetId(), id);
  EXPECT_FALSE(supports_.IsModified());
  EXPECT_FALSE(Table()->Sets().GetSet(id));

  supports_.SetModified(true);
  supports_.Write(model_);
  EXPECT_EQ(OnlyEvent("Sets.AddSet").arguments.back(), std::to_string(id));
  EXPECT_EQ(supports_.GetId(), id);
  EXPECT_TRUE(Table()->Sets().GetSet(id));
}

TEST_F(SetTest, ARefusedSetLeavesIdAndFlag) {
  supports_.Write(model_);
  const long id = supports_.GetId();
  supports_.SetModified(true);

  // A set naming a node the model lacks is refused by the analysis model.
  supports_.content->AddNode(second_ + 1000);
  EXPECT_THROW(supports_.Write(model_), AnalysisModel::ModelError);
  EXPECT_EQ(supports_.GetId(), id);
  EXPECT_TRUE(supports_.IsModified());

  trace_.FailOn("Sets.AddSet");
  supports_.content.reset(new EntitySet);
  EXPECT_THROW(supports_.Write(model_), InjectedFault);
  EXPECT_EQ(supports_.GetId(), id);
  EXPECT_TRUE(supports_.IsModified());
  trace_.FailOn("");

  supports_.failName = true;
  EXPECT_THROW(supports_.Write(model_), HostError);
  EXPECT_TRUE(supports_.IsModified());
  supports_.failName = false;

  supports_.Write(model_);
  EXPECT_FALSE(supports_.IsModified());
  EXPECT_TRUE(Table()->Sets().GetSet(id)->GetEntitySet() == EntitySet());
}

TEST_F(SetTest, CopiesCarryIdAndFlag) {
  supports_.Write(model_);
  HostSet copy(supports_);
  EXPECT_EQ(copy.GetId(), supports_.GetId());
  EXPECT_FALSE(copy.IsModified());
  HostSet assigned;
  assigned = supports_;
  EXPECT_EQ(assigned.GetId(), supports_.GetId());
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
