// The mirror model: the name rule, node and element positions (plain and
// moved by eccentricities) and the file-backed TestMirrorModel.
#include "mirror/core/mirror_model.hpp"

#include <gtest/gtest.h>

#include <boost/weak_ptr.hpp>
#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "mirror/core/tests/core_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using Testing::ScratchFilePath;
using Testing::TracedModelTest;

struct MangleCase {
  const char* what;
  std::string name;
  bool longNames;
  std::string prefix;
  unsigned number;
  std::string expected;
};

TEST(MangleName, FollowsTheNameRule) {
  TestMirrorModel model(ScratchFilePath("mangle"));
  const std::string utf8Short = "tr\xC3\xA4ger";                            // 7 bytes
  const std::string utf8Long = "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6";  // 10 bytes, 5 letters
  const MangleCase cases[] = {
      {"8 lower-case letters are upper-cased", "abcdefgh", false, "P", 7, "ABCDEFGH"},
      {"9 letters are replaced", "abcdefghi", false, "P", 7, "P7"},
      {"9 letters with long names stay", "abcdefghi", true, "P", 7, "abcdefghi"},
      {"64 characters with long names stay", std::string(64, 'x'), true, "P", 7, std::string(64, 'x')},
      {"65 characters with long names are replaced", std::string(65, 'x'), true, "P", 7, "P7"},
      {"empty stays empty", "", false, "P", 7, ""},
      {"empty with long names", "", true, "P", 7, ""},
      {"upper-case ASCII stays", "HEB300", false, "P", 7, "HEB300"},
      {"digits and punctuation stay", "a-1_b.2", false, "P", 7, "A-1_B.2"},
      {"prefix is used unchanged and unmeasured", "abcdefghi", false, "very_long_lower_prefix", 42,
       "very_long_lower_prefix42"},
      {"number zero", "abcdefghi", false, "S", 0, "S0"},
      {"largest number", "abcdefghi", false, "", 4294967295u, "4294967295"},
      {"UTF-8 bytes pass through the upper-casing", utf8Short, false, "P", 7, "TR\xC3\xA4GER"},
      {"the limit counts bytes", utf8Long, false, "P", 3, "P3"},
      {"UTF-8 with long names stays", utf8Long, true, "P", 3, utf8Long},
  };
  for (const MangleCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(model.MangleName(c.name, c.longNames, c.prefix, c.number), c.expected);
  }
}

TEST(MangleName, EveryByteValueIsSafe) {
  TestMirrorModel model(ScratchFilePath("mangle_bytes"));
  for (int b = 1; b < 256; ++b) {
    const std::string name(1, static_cast<char>(b));
    const std::string result = model.MangleName(name, false, "P", 1);
    ASSERT_EQ(result.size(), 1u) << b;
    if (b >= 'a' && b <= 'z') {
      EXPECT_EQ(result[0], static_cast<char>(b - 'a' + 'A'));
    } else if (b >= 128) {
      EXPECT_EQ(result, name) << "byte " << b << " must pass unchanged";
    }
  }
}

class MirrorModelPositions : public TracedModelTest {
 protected:
  // A three-node beam from (0,0,0) to (4,0,0), stored (end, end, middle).
  long AddBeam3() {
    const long a = xaf_->Nodes().AddNode(pos3d(0, 0, 0));
    const long b = xaf_->Nodes().AddNode(pos3d(4, 0, 0));
    const long m = xaf_->Nodes().AddNode(pos3d(2, 0, 0));
    return xaf_->Elements().AddElement(qlElementType::Beam3(), {a, b, m});
  }
  long AddBeam2() {
    const long a = xaf_->Nodes().AddNode(pos3d(0, 0, 0));
    const long b = xaf_->Nodes().AddNode(pos3d(0, 0, 3));
    return xaf_->Elements().AddElement(qlElementType::Beam2(), {a, b});
  }
  std::vector<pos3d> Stored(long element) {
    std::vector<pos3d> positions;
    xaf_->GetConnectivityManager().GetElementNodes(element, positions, Element::Stored);
    return positions;
  }
};

TEST_F(MirrorModelPositions, NodeAndElementPositions) {
  const long element = AddBeam3();
  EXPECT_EQ(model_.GetNodePos(3), pos3d(2, 0, 0));

  std::vector<pos3d> positions{pos3d(9, 9, 9)};
  model_.GetElementPositions(element, positions);
  // Geometric order: along the beam from end to end.
  EXPECT_EQ(positions, (std::vector<pos3d>{pos3d(0, 0, 0), pos3d(2, 0, 0), pos3d(4, 0, 0)}));
  EXPECT_THROW(model_.GetNodePos(99), AnalysisModel::ModelError);
}

TEST_F(MirrorModelPositions, WithoutEccentricitiesPositionsAreTheStoredOnes) {
  const long element = AddBeam3();
  std::vector<pos3d> positions;
  model_.GetEccentricElementPositions(element, positions);
  EXPECT_EQ(positions, Stored(element));
}

TEST_F(MirrorModelPositions, EachPositionMovesByItsNodesEccentricity) {
  const long element = AddBeam2();
  const long e = xaf_->Eccentricities().AddEccentricity(vec3d(0.1, 0.2, 0.0), -1);
  auto record = xaf_->Elements().GetElement(element);
  record->SetNodeEccentricity(0, e);
  record->SetNodeEccentricity(1, 0);

  std::vector<pos3d> positions;
  model_.GetEccentricElementPositions(element, positions);
  ASSERT_EQ(positions.size(), 2u);
  EXPECT_EQ(positions[0], pos3d(0.1, 0.2, 0.0));
  EXPECT_EQ(positions[1], pos3d(0, 0, 3));
}

TEST_F(MirrorModelPositions, ThreeNodeBeamReadsEccentricityThroughGeometricIndex) {
  // Positions come in stored order; position i takes the eccentricity of the
  // node whose stored index is the geometric index of i. For the three-node
  // beam that maps position 1 (the second end) to the middle node's id.
  const long element = AddBeam3();
  const long e = xaf_->Eccentricities().AddEccentricity(vec3d(0, 0, 1), -1);
  xaf_->Elements().GetElement(element)->SetNodeEccentricity(2, e);

  trace_.Clear();
  std::vector<pos3d> positions;
  model_.GetEccentricElementPositions(element, positions);
  EXPECT_EQ(positions, (std::vector<pos3d>{pos3d(0, 0, 0), pos3d(4, 0, 1), pos3d(2, 0, 0)}));

  const auto reads = EventsOf("Element.GetNodeEccentricity");
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[0].arguments.back(), "0");
  EXPECT_EQ(reads[1].arguments.back(), "2");
  EXPECT_EQ(reads[2].arguments.back(), "1");
  const auto ops = Operations();
  ASSERT_GE(ops.size(), 2u);
  EXPECT_EQ(ops[0], "Connectivity.GetElementNodes");
  EXPECT_EQ(ops[1], "Connectivity.GetElementById");
  EXPECT_EQ(EventsOf("Eccentricities.GetEccentricity").size(), 1u);
}

TEST_F(MirrorModelPositions, FewerPositionsThanNodesThrowsInsteadOfWritingPastTheEnd) {
  const long element = AddBeam3();
  std::vector<pos3d> positions;
  // A connectivity manager that hands back one position too few: simulated
  // by shortening the list right after it was filled.
  struct Shortening : AnalysisModel::TraceSink {
    std::vector<pos3d>* target = nullptr;
    void OnCall(const AnalysisModel::TraceEvent& event) override {
      if (event.operation == "Connectivity.GetElementById" && target && !target->empty()) target->pop_back();
    }
  } shortening;
  shortening.target = &positions;
  xaf_->SetTraceSink(&shortening);
  EXPECT_THROW(model_.GetEccentricElementPositions(element, positions), AnalysisModel::ModelError);
  EXPECT_EQ(positions, (std::vector<pos3d>{pos3d(0, 0, 0), pos3d(4, 0, 0)}));
}

TEST_F(MirrorModelPositions, UnknownElementPropagatesTheModelsError) {
  std::vector<pos3d> positions;
  EXPECT_THROW(model_.GetEccentricElementPositions(42, positions), AnalysisModel::ModelError);
  EXPECT_THROW(model_.GetElementPositions(42, positions), AnalysisModel::ModelError);
}

// A host's own model, counting how often the library asks for the analysis
// model, that also replaces the name rule.
class HostModel : public Testing::CountingModel {
 public:
  using CountingModel::CountingModel;
  std::string MangleName(std::string name, bool, const std::string&, unsigned) const override {
    return "host:" + name;
  }
};

TEST(HostModel, EveryConvenienceAsksOnceAndKeepsNothing) {
  TestMirrorModel owner(ScratchFilePath("host"));
  const boost::shared_ptr<XafModel> xaf = owner.GetXafModel();
  HostModel host(xaf);
  const long a = xaf->Nodes().AddNode(pos3d(0, 0, 0));
  const long b = xaf->Nodes().AddNode(pos3d(1, 0, 0));
  const long element = xaf->Elements().AddElement(qlElementType::Beam2(), {a, b});
  const long holdersBefore = xaf.use_count();

  std::vector<pos3d> positions;
  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"GetNodePos", [&] { host.GetNodePos(a); }},
      {"Flush", [&] { host.Flush(); }},
      {"GetArchive", [&] { host.GetArchive().SetArchiveMode(true); }},
      {"GetElementPositions", [&] { host.GetElementPositions(element, positions); }},
      {"GetEccentricElementPositions", [&] { host.GetEccentricElementPositions(element, positions); }},
  };
  for (const auto& [what, operation] : operations) {
    SCOPED_TRACE(what);
    host.calls = 0;
    operation();
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(xaf.use_count(), holdersBefore);
  }
  // The name rule is virtual: a host may replace it.
  const IMirrorModel& base = host;
  EXPECT_EQ(base.MangleName("x", false, "P", 1), "host:x");
}

TEST(TestMirrorModel, OpensWithArchiveModeOn) {
  TestMirrorModel model(ScratchFilePath("archive"));
  EXPECT_TRUE(model.GetArchive().GetArchiveMode());
  EXPECT_FALSE(model.GetXafModel()->IsReadOnly());
}

TEST(TestMirrorModel, CopiesShareOneModelAndEitherMayGoFirst) {
  for (bool originalFirst : {true, false}) {
    SCOPED_TRACE(originalFirst ? "original destroyed first" : "copy destroyed first");
    boost::weak_ptr<XafModel> watch;
    auto* original = new TestMirrorModel(ScratchFilePath("share"));
    auto* copy = new TestMirrorModel(*original);
    watch = original->GetXafModel();
    EXPECT_EQ(original->GetXafModel().get(), copy->GetXafModel().get());

    TestMirrorModel* first = originalFirst ? original : copy;
    TestMirrorModel* second = originalFirst ? copy : original;
    delete first;
    EXPECT_FALSE(watch.expired());
    const long node = second->GetXafModel()->Nodes().AddNode(pos3d(1, 2, 3));
    EXPECT_EQ(second->GetNodePos(node), pos3d(1, 2, 3));
    delete second;
    EXPECT_TRUE(watch.expired());
  }
}

TEST(TestMirrorModel, AssignmentSharesAndReleasesTheOldModel) {
  TestMirrorModel a(ScratchFilePath("assign_a"));
  TestMirrorModel b(ScratchFilePath("assign_b"));
  boost::weak_ptr<XafModel> oldOfB = b.GetXafModel();
  b = a;
  EXPECT_TRUE(oldOfB.expired());
  EXPECT_EQ(a.GetXafModel().get(), b.GetXafModel().get());
}

TEST(TestMirrorModel, FlushStoresTheModelForTheNextOpening) {
  const std::string file = ScratchFilePath("flush");
  long node = 0;
  {
    TestMirrorModel model(file);
    node = model.GetXafModel()->Nodes().AddNode(pos3d(5, 6, 7));
    model.Flush();
  }
  {
    TestMirrorModel reopened(file);
    EXPECT_EQ(reopened.GetNodePos(node), pos3d(5, 6, 7));
  }
  std::remove(file.c_str());
}

TEST(TestMirrorModel, AFileThatIsNoModelFailsCleanly) {
  const std::string file = ScratchFilePath("garbage");
  {
    std::ofstream out(file);
    out << "this is not an analysis model";
  }
  EXPECT_THROW(TestMirrorModel model(file), AnalysisModel::ModelError);
  std::remove(file.c_str());
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
