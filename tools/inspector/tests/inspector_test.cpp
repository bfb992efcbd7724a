// The model inspector: its views of a small model, and its one-line errors
// with a non-zero exit status for files it cannot read.
#include "inspector.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/scratch_file.hpp"

namespace quilm_inspect {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using Kestrum::Quilm::Testing::ScratchFilePath;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct ProgramRun {
  int status;
  std::string out, err;
};

// Runs the inspector program with the given arguments (already quoted).
ProgramRun RunInspector(const std::string& args) {
  const std::string out = ScratchFilePath("inspect_out", ""), err = ScratchFilePath("inspect_err", "");
  const std::string command =
      std::string("\"") + QUILM_INSPECT_PATH + "\" " + args + " >" + out + " 2>" + err;
  const int raw = std::system(command.c_str());
  ProgramRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

// A small model: a beam with per-node eccentricities and a shell, with
// properties, a named supported node, a mass, a load case and two concepts.
class SmallModelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    path_ = ScratchFilePath("inspect_model");
    std::filesystem::remove(path_);
    am::XafModel m(path_, 1, 1, true);
    const long n1 = m.Nodes().AddNode({0, 0, 0}), n2 = m.Nodes().AddNode({2, 0, 0});
    const long n3 = m.Nodes().AddNode({2, 2, 0}), n4 = m.Nodes().AddNode({0, 2, 0});
    const long steel = m.Materials().AddMaterial(qlMaterial(210e9, 0.3, 7850), "S355", -1);
    const long ipe = m.Sections().AddSection(qlSection::IProfile(0.2, 0.1, 0.0056, 0.0085), "IPE200", -1);
    const long slab = m.Sections().AddThickness(0.2, "Slab 200", -1);
    beam_ = m.Elements().AddElement(qlElementType::Beam2(), {n1, n2});
    shell_ = m.Elements().AddElement(qlElementType::Shell4(), {n1, n2, n3, n4});
    auto beam = m.Elements().GetElement(beam_);
    beam->SetSection(ipe);
    beam->SetMaterial(steel);
    beam->SetNodeEccentricity(0, m.Eccentricities().AddEccentricity({0, 0, 0.1}, -1));
    beam->SetNodeEccentricity(1, m.Eccentricities().AddEccentricity({0, 0, 0.2}, -1));
    beam->SetTransformation(m.Transformations().AddTransformation(vec3d(0, 0, 1), -1));
    auto shell = m.Elements().GetElement(shell_);
    shell->SetSection(slab);
    shell->SetMaterial(steel);
    m.NodeProperties().SetName(n1, "A1");
    m.NodeProperties().SetBoundaryCondition(n1, am::Hinge());
    m.NodeProperties().AddMass(n3, am::Mass(500));
    m.Loads().SetLoadCaseName(7, "Live");
    m.Loads().AddGravityLoad(7, 0, 0, 0, -9.81);
    m.Loads().AddSurfaceLoad(7, shell_, am::SurfaceLoad(-2000));
    m.Loads().AddPointLoad(7, n3, am::PointLoad({2, 2, 0}, {0, 0, -1000}, {}));
    const long root = m.StructureConcepts().AddConcept(10, 0, -1, "Frame", -1);
    const long child = m.StructureConcepts().AddConcept(11, 1, root, "Beam 1", -1);
    m.StructureConcepts().AddConcept(12, 0, child, "Beam 1 span", -1);
    m.StructureConcepts().AddConcept(1, 0, -1, "A1", -1);
    node3_ = n3;
    m.Flush();
    model_ = OpenReadOnly(path_).release();
  }
  static void TearDownTestSuite() {
    delete model_;
    std::filesystem::remove(path_);
  }
  template <class F>
  std::string Print(F f) {
    std::ostringstream out;
    f(*model_, out);
    return out.str();
  }

  static std::string path_;
  static am::XafModel* model_;
  static long beam_, shell_, node3_;
};
std::string SmallModelTest::path_;
am::XafModel* SmallModelTest::model_ = nullptr;
long SmallModelTest::beam_ = 0, SmallModelTest::shell_ = 0, SmallModelTest::node3_ = 0;

TEST_F(SmallModelTest, CountsListEveryTable) {
  const std::string out = Print([](am::XafModel& m, std::ostream& o) { PrintCounts(m, o); });
  EXPECT_THAT(out, testing::ContainsRegex("nodes +4\n"));
  EXPECT_THAT(out, testing::ContainsRegex("elements +2\n"));
  EXPECT_THAT(out, testing::ContainsRegex("two-node beam +1\n"));
  EXPECT_THAT(out, testing::ContainsRegex("sections and thicknesses +2\n"));
  EXPECT_THAT(out, testing::ContainsRegex("structure concepts +4\n"));
  EXPECT_THAT(out, testing::ContainsRegex("eccentricities +2\n"));
  EXPECT_THAT(out, testing::ContainsRegex("nodes with masses +1\n"));
  // Gravity counts as one load of its case, as frame_host counts it.
  EXPECT_THAT(out, testing::ContainsRegex("loads \\(gravity counted as one\\) +3\n +7 Live +3\n"));
}

TEST_F(SmallModelTest, ElementRecordShowsPropertiesAndPerNodeData) {
  const std::string out = Print([](am::XafModel& m, std::ostream& o) { PrintElement(m, beam_, o); });
  EXPECT_THAT(out, HasSubstr("two-node beam (type 15)"));
  EXPECT_THAT(out, HasSubstr("\"A1\""));
  EXPECT_THAT(out, HasSubstr("\"IPE200\""));
  EXPECT_THAT(out, HasSubstr("\"S355\""));
  EXPECT_THAT(out, HasSubstr("per node: 0: #1 (0, 0, 0.1) m; 1: #2 (0, 0, 0.2) m"));
  EXPECT_THAT(out, HasSubstr("E 210 GPa, ν 0.3, ρ 7850 kg/m³"));
  EXPECT_THAT(out, HasSubstr("z (0, 0, 1)"));
  const std::string shell = Print([](am::XafModel& m, std::ostream& o) { PrintElement(m, shell_, o); });
  EXPECT_THAT(shell, HasSubstr("\"Slab 200\" thickness 200 mm"));
  EXPECT_THAT(shell, HasSubstr("case 7: surface load"));
  EXPECT_THAT(out, Not(HasSubstr("surface load")));
}

TEST_F(SmallModelTest, NodeShowsNameMassesSupportAndLoads) {
  const std::string out = Print([](am::XafModel& m, std::ostream& o) { PrintNode(m, node3_, o); });
  EXPECT_THAT(out, HasSubstr("at (2, 2, 0) m"));
  EXPECT_THAT(out, HasSubstr("name            (none)"));
  EXPECT_THAT(out, HasSubstr("translational (500, 500, 500) kg"));
  EXPECT_THAT(out, HasSubstr("support         none"));
  EXPECT_THAT(out, HasSubstr("case 7: point load"));
  const std::string a1 = Print([](am::XafModel& m, std::ostream& o) { PrintNode(m, 1, o); });
  EXPECT_THAT(a1, HasSubstr("\"A1\""));
  EXPECT_THAT(a1, HasSubstr("support         (1, 1, 1, 1, 1, 1)"));
}

TEST_F(SmallModelTest, LoadCaseListsGravityAndLoadsUpToTheLimit) {
  const std::string out = Print([](am::XafModel& m, std::ostream& o) { PrintLoadCase(m, 7, o, 50); });
  EXPECT_THAT(out, HasSubstr("Load case 7 \"Live\""));
  EXPECT_THAT(out, HasSubstr("gravity  (0, 0, -9.81) m/s²"));
  EXPECT_THAT(out, HasSubstr("surface load on element 2"));
  EXPECT_THAT(out, HasSubstr("point load on node 3"));
  const std::string limited = Print([](am::XafModel& m, std::ostream& o) { PrintLoadCase(m, 7, o, 1); });
  EXPECT_THAT(limited, HasSubstr("... 1 more"));
  EXPECT_THAT(limited, Not(HasSubstr("point load on node")));
  EXPECT_THROW(Print([](am::XafModel& m, std::ostream& o) { PrintLoadCase(m, 8, o, 1); }), am::ModelError);
}

TEST_F(SmallModelTest, ConceptTreeIndentsChildrenUnderParents) {
  const std::string out = Print([](am::XafModel& m, std::ostream& o) { PrintConceptTree(m, o); });
  EXPECT_THAT(out, HasSubstr("\n  1 \"Frame\" (type 10, role 0)\n    2 \"Beam 1\" (type 11, role 1)\n"
                             "      3 \"Beam 1 span\" (type 12, role 0)\n  4 \"A1\" (type 1, role 0)\n"));
  // A limit cuts the walk and says how many are left; a name filter matches in any case.
  const std::string cut = Print([](am::XafModel& m, std::ostream& o) { PrintConceptTree(m, o, {"", 2}); });
  EXPECT_THAT(cut, HasSubstr("2 \"Beam 1\""));
  EXPECT_THAT(cut, Not(HasSubstr("Beam 1 span")));
  EXPECT_THAT(cut, HasSubstr("... 2 more"));
  const std::string named = Print([](am::XafModel& m, std::ostream& o) {
    PrintConceptTree(m, o, {"beam 1 SPAN", 0});
  });
  EXPECT_THAT(named, HasSubstr("1 of 4\n  3 \"Beam 1 span\" (type 12, role 0, in 2)\n"));
}

TEST_F(SmallModelTest, ProgramPrintsViewsAndExitsZero) {
  const ProgramRun counts = RunInspector("\"" + path_ + "\"");
  EXPECT_EQ(0, counts.status);
  EXPECT_THAT(counts.out, testing::ContainsRegex("elements +2\n"));
  EXPECT_EQ("", counts.err);
  const ProgramRun element = RunInspector("\"" + path_ + "\" element " + std::to_string(beam_));
  EXPECT_EQ(0, element.status);
  EXPECT_THAT(element.out, HasSubstr("\"IPE200\""));
}

// Errors are one line on stderr and a non-zero status; nothing on stdout.
TEST_F(SmallModelTest, ProgramReportsUnreadableInputInOneLine) {
  const std::string foreign = ScratchFilePath("inspect_foreign", ".txt");
  std::ofstream(foreign) << "This is a shopping list, not a model.\n";
  const std::string emptyFile = ScratchFilePath("inspect_empty");
  std::ofstream{emptyFile};
  struct Case {
    std::string args, mention;
    int status;
  } cases[] = {
      {"\"" + ScratchFilePath("inspect_missing", "") + ".qdb\"", "no such file", 1},
      {"\"" + foreign + "\"", foreign, 1},
      {"\"" + emptyFile + "\"", emptyFile, 1},
      {"\"" + path_ + "\" element 99", "99", 1},
      {"\"" + path_ + "\" node 999", "999", 1},
      {"\"" + path_ + "\" loadcase 3", "no load case 3", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const ProgramRun run = RunInspector(c.args);
    EXPECT_EQ(c.status, run.status);
    EXPECT_EQ("", run.out);
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.size() - 1, run.err.find('\n')) << run.err;  // exactly one line
    EXPECT_THAT(run.err, HasSubstr("quilm-inspect: "));
    EXPECT_THAT(run.err, HasSubstr(c.mention));
  }
  std::filesystem::remove(foreign);
  std::filesystem::remove(emptyFile);
}

TEST_F(SmallModelTest, ProgramRejectsBadUsageWithStatusTwo) {
  for (const std::string& args : {std::string(""), "\"" + path_ + "\" element", "\"" + path_ + "\" element x",
                                  "\"" + path_ + "\" frobnicate", "\"" + path_ + "\" counts extra"}) {
    SCOPED_TRACE(args);
    const ProgramRun run = RunInspector(args);
    EXPECT_EQ(2, run.status);
    EXPECT_THAT(run.err, HasSubstr("(see --help)"));
    EXPECT_EQ(run.err.size() - 1, run.err.find('\n')) << run.err;
  }
}

}  // namespace
}  // namespace quilm_inspect
