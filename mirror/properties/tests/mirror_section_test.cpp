// Section mirrors: writing gated by the modified flag, the flag cleared only
// on a normal return, deleting without forgetting the id, and the read-back
// section.
#include "mirror/properties/mirror_section.hpp"

#include <gtest/gtest.h>

#include <type_traits>

#include "mirror/properties/tests/property_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

static_assert(std::is_copy_constructible_v<XanMirrorSection>);
static_assert(!std::is_copy_assignable_v<XanMirrorSection>);
static_assert(std::is_copy_assignable_v<IMirrorSection>);

boost::shared_ptr<qlSection> Pipe() {
  return boost::shared_ptr<qlSection>(new qlSection(qlSection::Pipe(0.3, 0.01)));
}
boost::shared_ptr<qlSection> Beam() {
  return boost::shared_ptr<qlSection>(new qlSection(qlSection::IProfile(0.2, 0.2, 0.0065, 0.01)));
}

class SectionTest : public PropertyTest {
 protected:
  SectionTest() {
    pipe_.name = "CHS300";
    pipe_.section = Pipe();
  }
  HostSection pipe_;
};

TEST_F(SectionTest, StartsModifiedWithoutId) {
  EXPECT_EQ(pipe_.GetId(), -1);
  EXPECT_TRUE(pipe_.IsModified());
  HostSection known;
  known.SetModified(false);
  known.SetId(5);
  EXPECT_EQ(known.GetId(), 5);
  EXPECT_FALSE(known.IsModified());
}

TEST_F(SectionTest, WriteAddsTheSectionThenClearsTheFlag) {
  pipe_.Write(model_);
  const TraceEvent add = OnlyEvent("Sections.AddSection");
  ASSERT_EQ(add.arguments.size(), 3u);
  EXPECT_EQ(add.arguments[1], "\"CHS300\"");
  EXPECT_EQ(add.arguments[2], "-1");
  EXPECT_FALSE(pipe_.IsModified());
  const auto row = Table()->Sections().GetSection(pipe_.GetId());
  ASSERT_TRUE(row);
  EXPECT_EQ(row->GetName(), "CHS300");
  EXPECT_TRUE(row->GetSection()->IsEqual(*Pipe()));
}

TEST_F(SectionTest, NothingAtAllHappensWhileTheFlagIsClear) {
  pipe_.Write(model_);
  const long id = pipe_.GetId();
  TakeOperations();
  const int requests = model_.calls;
  const int definitionCalls = pipe_.definitionCalls;
  const int nameCalls = pipe_.nameCalls;

  pipe_.section = Beam();
  pipe_.Write(model_);  // changed, but not marked: not written
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(model_.calls, requests);
  EXPECT_EQ(pipe_.definitionCalls, definitionCalls);
  EXPECT_EQ(pipe_.nameCalls, nameCalls);

  pipe_.SetModified(true);
  pipe_.Write(model_);
  EXPECT_EQ(OnlyEvent("Sections.AddSection").arguments.back(), std::to_string(id));
  EXPECT_EQ(pipe_.GetId(), id);
  EXPECT_TRUE(Table()->Sections().GetSection(id)->GetSection()->IsEqual(*Beam()));
}

TEST_F(SectionTest, WithoutDefinitionTheFlagIsClearedAndNothingIsWritten) {
  HostSection empty;
  empty.name = "unused";
  empty.SetId(8);
  empty.Write(model_);
  EXPECT_EQ(empty.definitionCalls, 1);
  EXPECT_EQ(empty.nameCalls, 0);
  EXPECT_EQ(model_.calls, 0);
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(empty.GetId(), 8);
  EXPECT_FALSE(empty.IsModified());

  empty.section = Pipe();  // found later, but the flag is clear
  empty.Write(model_);
  EXPECT_EQ(empty.definitionCalls, 1);
  EXPECT_TRUE(TakeOperations().empty());
}

TEST_F(SectionTest, DeleteKeepsIdAndFlag) {
  pipe_.Delete(model_);  // never written
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(model_.calls, 0);

  for (bool flag : {false, true}) {
    SCOPED_TRACE(flag);
    pipe_.SetModified(true);
    pipe_.Write(model_);
    const long id = pipe_.GetId();
    TakeOperations();
    pipe_.SetModified(flag);
    pipe_.Delete(model_);
    EXPECT_EQ(OnlyEvent("Sections.DeleteSection").arguments.at(0), std::to_string(id));
    EXPECT_EQ(pipe_.GetId(), id);
    EXPECT_EQ(pipe_.IsModified(), flag);
    EXPECT_FALSE(Table()->Sections().GetSection(id));
  }
}

TEST_F(SectionTest, WriteDeleteWriteHandsTheFirstIdBack) {
  pipe_.Write(model_);
  const long first = pipe_.GetId();
  pipe_.Delete(model_);
  pipe_.SetModified(true);
  TakeOperations();
  pipe_.Write(model_);
  EXPECT_EQ(OnlyEvent("Sections.AddSection").arguments.back(), std::to_string(first));
  EXPECT_EQ(pipe_.GetId(), first);
  EXPECT_TRUE(Table()->Sections().GetSection(first));
}

TEST_F(SectionTest, AFailedAddLeavesIdAndFlagForTheNextWrite) {
  pipe_.Write(model_);
  const long first = pipe_.GetId();
  pipe_.section = Beam();
  pipe_.SetModified(true);

  trace_.FailOn("Sections.AddSection");
  EXPECT_THROW(pipe_.Write(model_), InjectedFault);
  EXPECT_EQ(pipe_.GetId(), first);
  EXPECT_TRUE(pipe_.IsModified());
  EXPECT_TRUE(Table()->Sections().GetSection(first)->GetSection()->IsEqual(*Pipe()));

  trace_.FailOn("");
  TakeOperations();
  pipe_.Write(model_);  // the retry
  EXPECT_EQ(OnlyEvent("Sections.AddSection").arguments.back(), std::to_string(first));
  EXPECT_FALSE(pipe_.IsModified());
  EXPECT_TRUE(Table()->Sections().GetSection(first)->GetSection()->IsEqual(*Beam()));
}

TEST_F(SectionTest, AFailingHostAnswerLeavesIdAndFlag) {
  pipe_.SetId(6);
  for (int which = 0; which < 2; ++which) {
    SCOPED_TRACE(which);
    pipe_.failName = which == 0;
    pipe_.failDefinition = which == 1;
    EXPECT_THROW(pipe_.Write(model_), HostError);
    EXPECT_EQ(pipe_.GetId(), 6);
    EXPECT_TRUE(pipe_.IsModified());
  }
  EXPECT_EQ(model_.calls, 0);
  EXPECT_TRUE(TakeOperations().empty());
}

TEST_F(SectionTest, CopiesCarryIdAndFlag) {
  pipe_.Write(model_);
  HostSection copy(pipe_);
  EXPECT_EQ(copy.GetId(), pipe_.GetId());
  EXPECT_FALSE(copy.IsModified());
  HostSection assigned;
  assigned = pipe_;
  EXPECT_EQ(assigned.GetId(), pipe_.GetId());
  EXPECT_FALSE(assigned.IsModified());
}

// ---- read-back -----------------------------------------------------------------

TEST_F(SectionTest, ReadBackAsksTheModelOnEveryCall) {
  pipe_.Write(model_);
  const long id = pipe_.GetId();
  TakeOperations();

  XanMirrorSection known(model_, id);
  EXPECT_EQ(known.GetName(), "CHS300");
  EXPECT_EQ(OnlyEvent("Sections.GetSection").arguments.at(0), std::to_string(id));
  ASSERT_TRUE(known.GetSection());
  EXPECT_TRUE(known.GetSection()->IsEqual(*Pipe()));

  pipe_.name = "HEA200";
  pipe_.section = Beam();
  pipe_.SetModified(true);
  pipe_.Write(model_);
  const XanMirrorSection copy(known);
  EXPECT_EQ(copy.GetName(), "HEA200");
  EXPECT_TRUE(copy.GetSection()->IsEqual(*Beam()));
  EXPECT_TRUE(known == copy);

  pipe_.Delete(model_);
  EXPECT_EQ(known.GetName(), "");
  EXPECT_FALSE(known.GetSection());
}

TEST_F(SectionTest, ReadBackOfAnIdTheModelLacks) {
  for (long id : {-1L, 0L, 99L}) {
    SCOPED_TRACE(id);
    XanMirrorSection unknown(model_, id);
    EXPECT_EQ(unknown.GetName(), "");
    EXPECT_FALSE(unknown.GetSection());
    TakeOperations();
    unknown.Write(model_);
    EXPECT_EQ(TakeOperations(), std::vector<std::string>{"Sections.GetSection"});
    EXPECT_FALSE(unknown.IsModified());
    EXPECT_EQ(unknown.GetId(), id);
  }
}

TEST_F(SectionTest, ReadBackOfAThicknessRowHasANameButNoSection) {
  const long id = Table()->Sections().AddThickness(0.25, "T250", -1);
  XanMirrorSection plate(model_, id);
  EXPECT_EQ(plate.GetName(), "T250");
  EXPECT_FALSE(plate.GetSection());
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
