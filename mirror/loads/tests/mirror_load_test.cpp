// Tests of IMirrorLoad: which load-manager operation each load record reaches,
// the de-duplication of point loads per node, the two id sets, and what stays
// after a failure midway.
#include "mirror/loads/mirror_load.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "mirror/loads/tests/load_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using AnalysisModel::InitialStrainLoad;
using AnalysisModel::LoadKind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Testing::MeshTest;
using ::testing::Pair;

constexpr long kLoadCase = 7;

// A host load with its elements, load case and records given by the test.
class TestLoad : public IMirrorLoad {
 public:
  bool GetElements(std::list<long>& out) override {
    ++elementQuestions;
    out = elements;
    return hasElements;
  }
  long GetLoadCase() override {
    ++loadCaseQuestions;
    return kLoadCase;
  }
  boost::shared_ptr<Load> GetElementLoad(long element) override {
    if (element == failingElement) throw std::runtime_error("host failure");
    auto it = records.find(element);
    return it == records.end() ? boost::shared_ptr<Load>() : it->second;
  }
  std::list<long> elements;
  bool hasElements = true;
  std::map<long, boost::shared_ptr<Load>> records;
  long failingElement = -100;
  int loadCaseQuestions = 0;
  int elementQuestions = 0;
};

std::vector<long> Ids(const IMirrorLoad::IdSet& set) { return {set.begin(), set.end()}; }

boost::shared_ptr<Load> Point(const pos3d& p) {
  return boost::shared_ptr<Load>(new PointLoad(p, vec3d(0, 0, -10), vec3d()));
}
boost::shared_ptr<Load> Surface() { return boost::shared_ptr<Load>(new SurfaceLoad(-2.5)); }
boost::shared_ptr<Load> Line() { return boost::shared_ptr<Load>(new LineLoad(vec3d(0, 0, -1))); }
boost::shared_ptr<Load> MarkedAsInitialStrain(boost::shared_ptr<Load> record) {
  record->SetLoadType(LoadType::InitialStrain);
  return record;
}

class LoadTest : public MeshTest {
 protected:
  TestLoad load_;
};

TEST_F(LoadTest, NewLoadHasNoLoadedNodes) { EXPECT_THAT(Ids(load_.GetLoadedNodes()), IsEmpty()); }

// Each kind of record reaches its own operation; type 8 wins over the class.
TEST_F(LoadTest, RecordKindSelectsTheLoadOperation) {
  struct Case {
    const char* name;
    boost::shared_ptr<Load> record;
    const char* operation;
    LoadKind kind;
    long element;  // a shell (1) for surface loads, a beam (3) for the others
  };
  const std::vector<Case> cases = {
      {"surface", Surface(), "Loads.AddSurfaceLoad", LoadKind::Surface, 1},
      {"line", Line(), "Loads.AddLineLoad", LoadKind::Line, 3},
      {"initial strain", boost::shared_ptr<Load>(new InitialStrainLoad(1e-4)),
       "Loads.AddElementInitialStrain", LoadKind::InitialStrain, 3},
      {"surface marked 8", MarkedAsInitialStrain(Surface()), "Loads.AddElementInitialStrain",
       LoadKind::InitialStrain, 3},
      {"line marked 8", MarkedAsInitialStrain(Line()), "Loads.AddElementInitialStrain",
       LoadKind::InitialStrain, 3},
      {"point marked 8", MarkedAsInitialStrain(Point({1, 0, 0})), "Loads.AddElementInitialStrain",
       LoadKind::InitialStrain, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestLoad load;
    load.elements = {c.element};
    load.records[c.element] = c.record;
    log_.Clear();
    load.Write(model_);
    EXPECT_THAT(log_.Calls(), ElementsAre(std::string(c.operation) + " 7 " + std::to_string(c.element)));
    EXPECT_THAT(Ids(load.GetLoadedElements()), ElementsAre(c.element));
    EXPECT_THAT(Ids(load.GetLoadedNodes()), IsEmpty());
    ASSERT_FALSE(xaf_->Loads().GetLoads(kLoadCase).empty());
    EXPECT_EQ(xaf_->Loads().GetLoads(kLoadCase).back().kind, c.kind);
    EXPECT_TRUE(xaf_->Loads().GetLoads(kLoadCase).back().record->Equals(*c.record)) << "passed on unchanged";
  }
}

TEST_F(LoadTest, PointLoadOnASharedNodeIsWrittenOnceForTheFirstElement) {
  load_.elements = {1, 2, 3, 4};
  for (long e : load_.elements) load_.records[e] = Point({1, 0, 0});
  load_.Write(model_);

  EXPECT_THAT(log_.Matching("Loads."), ElementsAre("Loads.AddPointLoad 7 2"));
  EXPECT_EQ(log_.Calls()[0], "Connectivity.GetElementNodes 1 2") << "positions asked in sort order 2";
  EXPECT_EQ(log_.Calls()[1], "Connectivity.GetElementById 1");
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(2));
  EXPECT_THAT(Ids(load_.GetLoadedElements()), IsEmpty());
  ASSERT_EQ(xaf_->Loads().GetLoads(kLoadCase).size(), 1u);
  const auto stored = xaf_->Loads().GetLoads(kLoadCase)[0];
  EXPECT_EQ(stored.kind, LoadKind::Point);
  EXPECT_TRUE(stored.record->Equals(*load_.records[1])) << "the record goes to the model unchanged";
}

TEST_F(LoadTest, PointLoadUsesTheFirstPositionOfTheRecord) {
  auto record = boost::shared_ptr<PointLoad>(new PointLoad({2, 1, 0}, vec3d(1, 0, 0), vec3d()));
  record->AddValue({0, 1, 0}, vec3d(2, 0, 0), vec3d());  // smaller, so the first entry
  load_.elements = {1, 2};
  load_.records[1] = record;
  load_.records[2] = record;
  load_.Write(model_);
  EXPECT_THAT(log_.Matching("Loads."), ElementsAre("Loads.AddPointLoad 7 4"));
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(4));
}

TEST_F(LoadTest, PointLoadMatchingNoNodeOrWithoutPositionWritesNothingAndGoesOn) {
  load_.elements = {1, 3, 4};
  load_.records[1] = Point({0.5, 0.5, 0});                      // inside the shell, at no node
  load_.records[3] = boost::shared_ptr<Load>(new PointLoad());  // no position at all
  load_.records[4] = Point({2, 0, 0});
  load_.Write(model_);
  EXPECT_THAT(log_.Matching("Loads."), ElementsAre("Loads.AddPointLoad 7 3"));
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(3));
  EXPECT_THAT(Ids(load_.GetLoadedElements()), IsEmpty());
}

TEST_F(LoadTest, PointLoadWithinTheGeometryToleranceMatchesTheNode) {
  load_.elements = {3};
  load_.records[3] = Point({1 + 1e-12, 0, 0});
  load_.Write(model_);
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(2));
}

TEST_F(LoadTest, CoincidentNodesOfOneElementEachGetThePointLoad) {
  xaf_->SetTraceSink(nullptr);
  const long a = xaf_->Nodes().AddNode({5, 5, 0});
  const long b = xaf_->Nodes().AddNode({5, 5, 0});
  const long c = xaf_->Nodes().AddNode({6, 5, 0});
  const long d = xaf_->Nodes().AddNode({6, 6, 0});
  const long element = xaf_->Elements().AddElement(qlElementType::Shell4(), {a, c, d, b});
  xaf_->SetTraceSink(&log_);

  load_.elements = {element};
  load_.records[element] = Point({5, 5, 0});
  load_.Write(model_);
  EXPECT_THAT(log_.Matching("Loads."), ElementsAre("Loads.AddPointLoad 7 " + std::to_string(a),
                                                   "Loads.AddPointLoad 7 " + std::to_string(b)));
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(a, b));
}

TEST_F(LoadTest, RepeatedElementGetsItsElementLoadEachTime) {
  load_.elements = {1, 1};
  load_.records[1] = Surface();
  load_.Write(model_);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.AddSurfaceLoad 7 1", "Loads.AddSurfaceLoad 7 1"));
  EXPECT_THAT(Ids(load_.GetLoadedElements()), ElementsAre(1));
}

TEST_F(LoadTest, EachLoadCallTakesTheAnalysisModelAnew) {
  Testing::NotingMirrorModel noting(model_, log_);
  load_.elements = {1, 4, 3};
  load_.records[1] = Surface();
  load_.records[4] = Point({2, 0, 0});  // node 3
  load_.records[3] = Line();
  load_.Write(noting);
  EXPECT_THAT(Testing::OperationsOf(log_.Calls()),
              ElementsAre("GetXafModel", "Loads.AddSurfaceLoad", "GetXafModel",
                          "Connectivity.GetElementNodes", "Connectivity.GetElementById", "GetXafModel",
                          "Loads.AddPointLoad", "GetXafModel", "Loads.AddLineLoad"));
  // Two references are the fixture's and the model's own. The element loads
  // find nothing kept from an earlier call; the point load is added while the
  // element's node look-up still holds its one.
  EXPECT_THAT(noting.heldElsewhere, ElementsAre(2, 2, 3, 2));
}

TEST_F(LoadTest, EmptyOrUnknownRecordsWriteNothingAndTheNextElementIsStillWritten) {
  load_.elements = {1, 2, 3};
  load_.records[1] = nullptr;
  // A record class the load does not know and not marked as type 8.
  auto other = boost::shared_ptr<Load>(new InitialStrainLoad(1e-3));
  other->SetLoadType(LoadType::NodeAcceleration);
  load_.records[2] = other;
  load_.records[3] = Line();
  load_.Write(model_);
  EXPECT_THAT(log_.Calls(), ElementsAre("Loads.AddLineLoad 7 3"));
  EXPECT_THAT(Ids(load_.GetLoadedElements()), ElementsAre(3));
}

TEST_F(LoadTest, LoadCaseIsAskedOncePerWriteEvenForAnEmptyList) {
  load_.elements = {1, 2, 3};
  for (long e : load_.elements) load_.records[e] = e == 3 ? Line() : Surface();
  load_.Write(model_);
  EXPECT_EQ(load_.loadCaseQuestions, 1);

  load_.elements.clear();
  log_.Clear();
  load_.Write(model_);
  EXPECT_EQ(load_.loadCaseQuestions, 2);
  EXPECT_THAT(log_.Calls(), IsEmpty());

  load_.hasElements = false;
  load_.elements = {1};
  load_.Write(model_);
  EXPECT_EQ(load_.loadCaseQuestions, 2) << "nothing to write: the load case is not asked";
  EXPECT_THAT(log_.Calls(), IsEmpty());
}

TEST_F(LoadTest, GetElementsFalseEmptiesTheLoadedNodesButKeepsTheLoadedElements) {
  load_.elements = {1, 3};
  load_.records[1] = Surface();
  load_.records[3] = Point({0, 0, 0});
  load_.Write(model_);
  ASSERT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(1));

  load_.hasElements = false;
  log_.Clear();
  load_.Write(model_);
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), IsEmpty());
  EXPECT_THAT(Ids(load_.GetLoadedElements()), ElementsAre(1));
  EXPECT_THAT(log_.Calls(), IsEmpty());
}

TEST_F(LoadTest, SecondWriteAddsEverythingAgainWithTheSameLoadedNodes) {
  load_.elements = {1, 2, 3};
  load_.records[1] = Point({1, 1, 0});
  load_.records[2] = Point({1, 1, 0});
  load_.records[3] = Line();
  load_.Write(model_);
  const auto first = Ids(load_.GetLoadedNodes());
  load_.Write(model_);
  EXPECT_EQ(Ids(load_.GetLoadedNodes()), first);
  EXPECT_THAT(first, ElementsAre(5));
  EXPECT_THAT(LoadsOf(kLoadCase), ElementsAre(Pair(LoadKind::Point, 5), Pair(LoadKind::Line, 3),
                                              Pair(LoadKind::Point, 5), Pair(LoadKind::Line, 3)));
}

TEST_F(LoadTest, DeleteTouchesNeitherTheModelNorTheSets) {
  load_.elements = {1, 4};
  load_.records[1] = Surface();
  load_.records[4] = Point({2, 0, 0});
  load_.Write(model_);
  log_.Clear();
  load_.SetModified(false);
  load_.Delete(model_);
  EXPECT_THAT(log_.Calls(), IsEmpty());
  EXPECT_EQ(xaf_->Loads().GetLoads(kLoadCase).size(), 2u);
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(3));
  EXPECT_THAT(Ids(load_.GetLoadedElements()), ElementsAre(1));
  EXPECT_FALSE(load_.IsModified());
}

TEST_F(LoadTest, HostFailureMidwayKeepsWhatWasAddedAndRecorded) {
  load_.elements = {1, 3, 2, 4};
  load_.records[1] = Surface();
  load_.records[3] = Point({0, 0, 0});
  load_.records[4] = Line();
  load_.failingElement = 2;
  EXPECT_THROW(load_.Write(model_), std::runtime_error);
  EXPECT_THAT(LoadsOf(kLoadCase), ElementsAre(Pair(LoadKind::Surface, 1), Pair(LoadKind::Point, 1)));
  EXPECT_THAT(Ids(load_.GetLoadedElements()), ElementsAre(1));
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(1));
}

// Fails the analysis model's n-th call for every n: the loads added before the
// failure stay, and every node or element recorded has had its load-manager
// call made (a point-loaded node is recorded just before its call).
TEST_F(LoadTest, ModelFailureAtAnyCallLeavesConsistentSets) {
  load_.elements = {1, 3, 2};
  load_.records[1] = Surface();
  load_.records[3] = Point({1, 0, 0});
  load_.records[2] = Point({1, 0, 0});
  for (int n = 1;; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    xaf_->Loads().DeleteAllLoadsInLoadCase(kLoadCase);
    TestLoad load = load_;
    log_.FailAt(n);
    try {
      load.Write(model_);
    } catch (const std::runtime_error&) {
      log_.FailAt(-1);
      const auto added = LoadsOf(kLoadCase);
      EXPECT_EQ(Ids(load.GetLoadedElements()).size(), added.empty() ? 0u : 1u);
      EXPECT_LE(added.size(), 2u);
      if (added.size() == 2) {
        EXPECT_THAT(Ids(load.GetLoadedNodes()), ElementsAre(2));
      }
      ASSERT_LT(n, 50);
      continue;
    }
    log_.FailAt(-1);
    EXPECT_EQ(n, 7) << "six calls: AddSurfaceLoad; nodes, element, AddPointLoad for 3; nodes, element for 2";
    EXPECT_THAT(LoadsOf(kLoadCase), ElementsAre(Pair(LoadKind::Surface, 1), Pair(LoadKind::Point, 2)));
    break;
  }
}

TEST_F(LoadTest, CopiesAndAssignmentsCarryBothSets) {
  load_.elements = {1, 4};
  load_.records[1] = Surface();
  load_.records[4] = Point({2, 0, 0});
  load_.Write(model_);

  TestLoad copy(load_);
  EXPECT_THAT(Ids(copy.GetLoadedNodes()), ElementsAre(3));
  EXPECT_THAT(Ids(copy.GetLoadedElements()), ElementsAre(1));

  TestLoad other;
  other.elements = {4};
  other.records[4] = Line();
  other.Write(model_);
  other = load_;
  EXPECT_THAT(Ids(other.GetLoadedNodes()), ElementsAre(3));
  EXPECT_THAT(Ids(other.GetLoadedElements()), ElementsAre(1));

  IMirrorLoad& self = load_;
  load_ = static_cast<const TestLoad&>(self);
  EXPECT_THAT(Ids(load_.GetLoadedNodes()), ElementsAre(3));
  EXPECT_THAT(Ids(load_.GetLoadedElements()), ElementsAre(1));
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
