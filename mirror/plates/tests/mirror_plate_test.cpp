// Tests of IMirrorPlate: what Write and Delete ask of the host and the
// analysis model, in which order, and what the flags and the element set hold
// afterwards, also when a call fails midway.
#include "mirror/plates/mirror_plate.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_thickness.hpp"
#include "mirror/utility/persistent_node_types.hpp"
#include "storage/database_handle.hpp"
#include "tests/support/fault_injecting_sink.hpp"
#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using AnalysisModel::ModelError;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// One log for the analysis model's calls and the host's answers, so that the
// order between the two can be checked; it can fail the call with a given
// number.
using Log = Quilm::Testing::FaultInjectingSink;

class FixedThickness : public IMirrorThickness {
 public:
  explicit FixedThickness(long id) : IMirrorThickness(id) {}
  double GetThickness() const override { return 0.2; }
};

class FixedMaterial : public IMirrorMaterial {
 public:
  explicit FixedMaterial(long id) : IMirrorMaterial(id) {}
  boost::shared_ptr<qlMaterial> GetMaterial() const override { return {}; }
};

// A host plate answering the same thickness and material everywhere, and
// logging each question with the position it was asked for.
class TestPlate : public IMirrorPlate {
 public:
  explicit TestPlate(Log* log = nullptr) : log_(log) {}
  boost::intrusive_ptr<IMirrorThickness> GetThickness(const pos3d& position) override {
    if (log_) log_->Annotate("Host.GetThickness" + Text(position));
    return thickness;
  }
  boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d& position) override {
    if (log_) log_->Annotate("Host.GetMaterial" + Text(position));
    return material;
  }
  static std::string Text(const pos3d& p) {
    std::ostringstream s;
    s << p;
    return s.str();
  }
  boost::intrusive_ptr<IMirrorThickness> thickness;
  boost::intrusive_ptr<IMirrorMaterial> material;

 private:
  Log* log_;
};

std::vector<long> Ids(const IMirrorPlate::ElementSet& set) { return {set.begin(), set.end()}; }

// A row of unit square shells along x: element k (id k) spans x = k-1 .. k.
class PlateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    xaf_ = model_.GetXafModel();
    std::vector<long> bottom, top;
    for (int i = 0; i <= kElements; ++i) {
      bottom.push_back(xaf_->Nodes().AddNode({double(i), 0, 0}));
      top.push_back(xaf_->Nodes().AddNode({double(i), 1, 0}));
    }
    for (int k = 0; k < kElements; ++k)
      xaf_->Elements().AddElement(qlElementType::Shell4(), {bottom[k], bottom[k + 1], top[k + 1], top[k]});
    thicknessId_ = xaf_->Sections().AddThickness(0.2, "T20", -1);
    materialId_ = xaf_->Materials().AddMaterial(qlMaterial(210e9, 0.3, 7850), "S235", -1);
    plate_.thickness = new FixedThickness(thicknessId_);
    plate_.material = new FixedMaterial(materialId_);
    xaf_->SetTraceSink(&log_);
  }
  void TearDown() override { xaf_->SetTraceSink(nullptr); }

  long SectionOf(long element) { return xaf_->Elements().GetElement(element)->GetSection(); }
  long MaterialOf(long element) { return xaf_->Elements().GetElement(element)->GetMaterial(); }
  // The point the analysis model reports for element k of the row.
  static std::string Point(long k) { return TestPlate::Text(pos3d(k - 0.5, 0.5, 0)); }

  static constexpr int kElements = 8;
  TestMirrorModel model_{Quilm::Testing::ScratchFilePath("plates")};
  boost::shared_ptr<XafModel> xaf_;
  Log log_;
  TestPlate plate_{&log_};
  long thicknessId_ = 0;
  long materialId_ = 0;
};

TEST_F(PlateTest, NewPlateIsEmptyWithEveryFlagSet) {
  EXPECT_TRUE(plate_.IsThicknessModified());
  EXPECT_TRUE(plate_.IsMaterialModified());
  EXPECT_TRUE(plate_.IsGeometryModified());
  EXPECT_TRUE(plate_.ArePropertiesUpdated());
  EXPECT_EQ(plate_.GetElements().size(), 0);
}

TEST_F(PlateTest, WritesAndDeletesElementsInAscendingOrderFetchingRecordAndPointFirst) {
  for (long id : {7, 3, 5}) plate_.AddElement(id);
  plate_.Write(model_);

  std::vector<std::string> expected;
  for (long id : {3, 5, 7}) {
    const std::string e = std::to_string(id);
    expected.insert(expected.end(),
                    {"Elements.GetElement(" + e + ")", "Connectivity.GetElementPoint(" + e + ")",
                     "Host.GetThickness" + Point(id),
                     "Element.SetSection(" + e + ", " + std::to_string(thicknessId_) + ")",
                     "Host.GetMaterial" + Point(id),
                     "Element.SetMaterial(" + e + ", " + std::to_string(materialId_) + ")"});
  }
  EXPECT_THAT(log_.Calls(), ElementsAreArray(expected));
  EXPECT_FALSE(plate_.IsThicknessModified());
  EXPECT_FALSE(plate_.IsMaterialModified());
  EXPECT_TRUE(plate_.IsGeometryModified());
  EXPECT_FALSE(plate_.ArePropertiesUpdated());
  for (long id : {3, 5, 7}) {
    EXPECT_EQ(SectionOf(id), thicknessId_);
    EXPECT_EQ(MaterialOf(id), materialId_);
  }
  EXPECT_EQ(SectionOf(4), 0) << "an element outside the plate is untouched";

  log_.Clear();
  plate_.Delete(model_);
  ASSERT_EQ(log_.Calls().size(), 3u);
  for (int i = 0; i < 3; ++i)
    EXPECT_THAT(log_.Calls()[i],
                ::testing::StartsWith("Elements.RemoveElement(" + std::to_string(3 + 2 * i) + ", "));
  EXPECT_FALSE(xaf_->Elements().Contains(3));
  EXPECT_FALSE(xaf_->Elements().Contains(7));
  EXPECT_TRUE(xaf_->Elements().Contains(4));
  EXPECT_EQ(plate_.GetElements().size(), 0);
  EXPECT_EQ(plate_.GetElements().begin(), plate_.GetElements().end());
  EXPECT_FALSE(plate_.IsThicknessModified()) << "Delete changes no flag";
  EXPECT_TRUE(plate_.IsGeometryModified());
}

TEST_F(PlateTest, SecondWriteMakesNoCall) {
  plate_.AddElement(1);
  plate_.Write(model_);
  log_.Clear();
  plate_.Write(model_);
  EXPECT_TRUE(log_.Calls().empty());
}

TEST_F(PlateTest, OnlyMaterialFlagWritesMaterialButStillAsksThePosition) {
  plate_.AddElement(2);
  plate_.AddElement(1);
  plate_.SetThicknessModified(false);
  plate_.Write(model_);
  EXPECT_THAT(
      log_.Calls(),
      ElementsAre("Elements.GetElement(1)", "Connectivity.GetElementPoint(1)", "Host.GetMaterial" + Point(1),
                  "Element.SetMaterial(1, " + std::to_string(materialId_) + ")", "Elements.GetElement(2)",
                  "Connectivity.GetElementPoint(2)", "Host.GetMaterial" + Point(2),
                  "Element.SetMaterial(2, " + std::to_string(materialId_) + ")"));
  EXPECT_EQ(SectionOf(1), 0);
}

TEST_F(PlateTest, GeometryFlagAloneWritesNothing) {
  plate_.AddElement(1);
  plate_.SetThicknessModified(false);
  plate_.SetMaterialModified(false);
  EXPECT_FALSE(plate_.ArePropertiesUpdated());
  plate_.Write(model_);
  EXPECT_TRUE(log_.Calls().empty());
  EXPECT_TRUE(plate_.IsGeometryModified());
}

TEST_F(PlateTest, EmptyPlateWriteMakesNoCallAndClearsPropertyFlags) {
  plate_.Write(model_);
  EXPECT_TRUE(log_.Calls().empty());
  EXPECT_FALSE(plate_.ArePropertiesUpdated());
  EXPECT_TRUE(plate_.IsGeometryModified());
}

TEST_F(PlateTest, MissingPropertyGivesZeroAndUnwrittenPropertyGivesMinusOne) {
  struct Case {
    const char* name;
    boost::intrusive_ptr<IMirrorThickness> thickness;
    boost::intrusive_ptr<IMirrorMaterial> material;
    long expected;
  };
  const std::vector<Case> cases = {
      {"null mirrors", nullptr, nullptr, 0},
      {"never written mirrors", new FixedThickness(-1), new FixedMaterial(-1), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plate_.thickness = c.thickness;
    plate_.material = c.material;
    plate_.AddElement(6);
    xaf_->Elements().GetElement(6)->SetSection(thicknessId_);
    plate_.Write(model_);
    EXPECT_EQ(SectionOf(6), c.expected);
    EXPECT_EQ(MaterialOf(6), c.expected);
  }
}

TEST_F(PlateTest, AddingAnElementTwiceKeepsOneAndMarksEveryFlag) {
  plate_.AddElement(4);
  plate_.ClearUpdateFlags(false);
  plate_.AddElement(4);
  EXPECT_THAT(Ids(plate_.GetElements()), ElementsAre(4));
  EXPECT_TRUE(plate_.IsThicknessModified());
  EXPECT_TRUE(plate_.IsMaterialModified());
  EXPECT_TRUE(plate_.IsGeometryModified());
}

TEST_F(PlateTest, ClearUpdateFlagsSetsAllThreeAndLeavesTheModifiedFlag) {
  plate_.SetModified(false);
  plate_.ClearUpdateFlags(false);
  EXPECT_FALSE(plate_.IsThicknessModified() || plate_.IsMaterialModified() || plate_.IsGeometryModified());
  EXPECT_FALSE(plate_.IsModified());
  plate_.SetModified(true);
  plate_.ClearUpdateFlags(true);
  EXPECT_TRUE(plate_.IsThicknessModified() && plate_.IsMaterialModified() && plate_.IsGeometryModified());
  EXPECT_TRUE(plate_.IsModified());
  plate_.SetMaterialModified(false);
  EXPECT_TRUE(plate_.ArePropertiesUpdated()) << "thickness alone still counts";
}

TEST_F(PlateTest, UnknownElementIdThrowsModelErrorAndKeepsFlagsForARetry) {
  plate_.AddElement(2);
  plate_.AddElement(kElements + 1);  // not (yet) in the analysis model
  EXPECT_THROW(plate_.Write(model_), ModelError);
  EXPECT_TRUE(plate_.IsThicknessModified());
  EXPECT_TRUE(plate_.IsMaterialModified());
  EXPECT_EQ(SectionOf(2), thicknessId_) << "elements before the failure keep what was set";

  // Once the analysis model holds the element, the retry completes.
  xaf_->Elements().AddElement(qlElementType::Shell4(), {1, 3, 4, 2});
  plate_.Write(model_);
  EXPECT_FALSE(plate_.ArePropertiesUpdated());
  EXPECT_EQ(SectionOf(kElements + 1), thicknessId_);
}

TEST_F(PlateTest, DeleteOfAnUnknownElementKeepsTheWholeSet) {
  plate_.AddElement(1);
  plate_.AddElement(kElements + 5);
  EXPECT_THROW(plate_.Delete(model_), ModelError);
  EXPECT_THAT(Ids(plate_.GetElements()), ElementsAre(1, kElements + 5));
}

// Fails the analysis model's n-th call for every n until a Write completes:
// until then the flags stay set, and the completed write leaves every element right.
TEST_F(PlateTest, WriteFailingAtAnyCallKeepsFlagsUntilItCompletes) {
  for (long id : {2, 3, 4}) plate_.AddElement(id);
  for (int n = 1;; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    log_.FailAt(n);
    try {
      plate_.Write(model_);
    } catch (const std::runtime_error&) {
      EXPECT_TRUE(plate_.IsThicknessModified());
      EXPECT_TRUE(plate_.IsMaterialModified());
      ASSERT_LT(n, 100);
      continue;
    }
    EXPECT_EQ(n, 13) << "12 calls for three elements, so the 13th is never reached";
    break;
  }
  log_.FailAt(-1);
  EXPECT_FALSE(plate_.ArePropertiesUpdated());
  for (long id : {2, 3, 4}) EXPECT_EQ(MaterialOf(id), materialId_);
}

TEST_F(PlateTest, DeleteFailingMidwayKeepsEveryIdInTheSet) {
  for (long id : {2, 3, 4}) plate_.AddElement(id);
  log_.FailAt(2);
  EXPECT_THROW(plate_.Delete(model_), std::runtime_error);
  log_.FailAt(-1);
  EXPECT_FALSE(xaf_->Elements().Contains(2));
  EXPECT_TRUE(xaf_->Elements().Contains(3));
  EXPECT_THAT(Ids(plate_.GetElements()), ElementsAre(2, 3, 4));
}

TEST_F(PlateTest, CopiesHoldIndependentSetsAndSelfAssignmentIsHarmless) {
  plate_.AddElement(1);
  plate_.AddElement(2);
  plate_.SetMaterialModified(false);

  TestPlate copy(plate_);
  copy.AddElement(9);
  EXPECT_THAT(Ids(plate_.GetElements()), ElementsAre(1, 2));
  EXPECT_THAT(Ids(copy.GetElements()), ElementsAre(1, 2, 9));

  TestPlate assigned;
  assigned.AddElement(5);
  assigned = plate_;
  EXPECT_THAT(Ids(assigned.GetElements()), ElementsAre(1, 2));
  EXPECT_FALSE(assigned.IsMaterialModified());
  EXPECT_TRUE(assigned.IsThicknessModified());
  plate_.AddElement(3);
  EXPECT_THAT(Ids(assigned.GetElements()), ElementsAre(1, 2));

  plate_.SetMaterialModified(false);
  IMirrorPlate& self = plate_;
  plate_ = static_cast<const TestPlate&>(self);
  EXPECT_THAT(Ids(plate_.GetElements()), ElementsAre(1, 2, 3));
  EXPECT_FALSE(plate_.IsMaterialModified());
}

// Regression: assignment used to copy the base part before the element set,
// so a failed copy of the set left the plate half-assigned. With the set's
// node type taken out of the store, the copy fails at its first allocation.
TEST(PlateAssignmentTest, AFailedCopyOfTheSetLeavesThePlateAsItWas) {
  TestPlate source;
  for (long id : {1, 3, 5, 7, 9}) source.AddElement(id);
  TestPlate target;
  target.AddElement(4);
  target.ClearUpdateFlags(false);
  target.SetModified(false);
  const auto& nodeType = os_pse::os_ts<Utility::BoundaryMapNode>::the_instance;
  const std::int64_t liveNodes = Core::DatabaseHandle::LiveAllocations(nodeType);

  Utility::DeregisterPersistentNodeTypes();
  EXPECT_THROW(target = source, Core::StorageError);
  Utility::RegisterPersistentNodeTypes();

  EXPECT_THAT(Ids(target.GetElements()), ElementsAre(4));
  EXPECT_FALSE(target.IsModified());
  EXPECT_FALSE(target.ArePropertiesUpdated());
  EXPECT_FALSE(target.IsGeometryModified());
  EXPECT_EQ(Core::DatabaseHandle::LiveAllocations(nodeType), liveNodes);
  target = source;  // and once the store allows it, the assignment goes through
  EXPECT_THAT(Ids(target.GetElements()), ElementsAre(1, 3, 5, 7, 9));
  EXPECT_TRUE(target.IsModified());
}

TEST_F(PlateTest, TheThicknessIsReleasedBeforeTheMaterialIsAsked) {
  struct Noting : TestPlate {
    boost::intrusive_ptr<IMirrorMaterial> GetMaterial(const pos3d& position) override {
      thicknessReferences.push_back(thickness->GetReferenceCount());
      return TestPlate::GetMaterial(position);
    }
    std::vector<int> thicknessReferences;
  };
  Noting plate;
  plate.thickness = plate_.thickness;
  plate.material = plate_.material;
  plate.AddElement(1);
  plate.AddElement(2);
  const int holders = plate.thickness->GetReferenceCount();
  plate.Write(model_);
  EXPECT_THAT(plate.thicknessReferences, ElementsAre(holders, holders));
  EXPECT_EQ(plate.thickness->GetReferenceCount(), holders);
  EXPECT_EQ(SectionOf(2), thicknessId_);
}

TEST_F(PlateTest, HeldThroughIntrusivePointerTheMostDerivedDestructorRuns) {
  static int destroyed = 0;
  struct Counted : TestPlate {
    ~Counted() override { ++destroyed; }
  };
  {
    boost::intrusive_ptr<IMirrorPlate> p(new Counted);
    p->AddElement(1);
    boost::intrusive_ptr<IMirrorPlate> q = p;
  }
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
