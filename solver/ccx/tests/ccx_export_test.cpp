// Tests of the written deck itself (no solver run): what each record
// becomes, what is refused and how, generated nodes, and the tool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "solver/ccx/ccx_deck_writer.hpp"
#include "solver/ccx/ccx_export_internal.hpp"
#include "solver/ccx/tests/host_model.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using namespace Testing;

using Solver::ExportError;
using Solver::ExportOptions;

// The data lines after the first line starting with `keyword` up to the next
// keyword line, in step `step` (0: before the first *STEP).
std::vector<std::string> Block(const std::string& deck, const std::string& keyword, int step = 0) {
  std::istringstream in(deck);
  std::vector<std::string> out;
  int steps = 0;
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("*STEP", 0) == 0) ++steps;
    if (line.rfind("*", 0) == 0 && line.rfind("**", 0) != 0) {
      if (inside) break;
      inside = steps == step && line.rfind(keyword, 0) == 0;
      continue;
    }
    if (inside && line.rfind("**", 0) != 0) out.push_back(line);
  }
  return out;
}

// Nodal loads of a step as (node, dof) -> value.
std::map<std::pair<long, int>, double> NodalLoads(const std::string& deck, int step) {
  std::map<std::pair<long, int>, double> loads;
  for (const auto& line : Block(deck, "*CLOAD", step)) {
    long node;
    int dof;
    double value;
    char comma;
    std::istringstream in(line);
    in >> node >> comma >> dof >> comma >> value;
    loads[{node, dof}] = value;
  }
  return loads;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The fixed directions of each supported node as the deck holds them:
// rotations in *BOUNDARY, translations through the support springs.
std::map<long, std::vector<int>> Fixities(const Solver::CcxDeck& deck) {
  std::map<long, std::vector<int>> fixed;
  std::set<long> springEnds;
  for (const auto& arm : deck.supportSprings) {
    springEnds.insert(arm.end);
    fixed[arm.node].push_back(arm.offset.x != 0 ? 1 : arm.offset.y != 0 ? 2 : 3);
  }
  for (const auto& line : Block(deck.text, "*BOUNDARY")) {
    long node;
    int dof;
    char comma;
    std::istringstream(line) >> node >> comma >> dof;
    if (!springEnds.count(node)) fixed[node].push_back(dof);
  }
  for (auto& entry : fixed) std::sort(entry.second.begin(), entry.second.end());
  return fixed;
}

class DeckTest : public ::testing::Test {
 protected:
  HostModel host;
};

TEST_F(DeckTest, IProfilesAreRefusedByNameUnlessEquivalentSectionsAreAllowed) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto profile = host.Section(qlSection::IProfile(0.3, 0.15, 0.007, 0.011));
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  const auto beam =
      host.Beam({0, 0, 0}, {1, 0, 0}, {{1.0, rect, 1}, {2.0, profile, 2}}, steel, vec3d(0, 0, 1));
  try {
    host.Export();
    FAIL() << "an I-profile was exported without the equivalent-section option";
  } catch (const ExportError& e) {
    const std::string message = e.what();
    EXPECT_TRUE(Contains(message, "IProfile")) << message;
    EXPECT_TRUE(Contains(message, "element " + std::to_string(beam.elements[1]))) << message;
    EXPECT_TRUE(Contains(message, "element " + std::to_string(beam.elements[2]))) << message;
    EXPECT_FALSE(Contains(message, "element " + std::to_string(beam.elements[0]) + ",")) << message;
  }
  ExportOptions options;
  options.allowEquivalentSections = true;
  const auto deck = host.Export(options);
  EXPECT_TRUE(Contains(deck.text, "SECTION=BOX\n0.15, 0.3, 0.0035, 0.011, 0.0035, 0.011\n"));
  ASSERT_EQ(deck.notes.size(), 2u);  // and the rectangle's torsion
  EXPECT_TRUE(Contains(deck.notes[0], "I-profile"));
}

TEST_F(DeckTest, EveryUnsupportedRecordIsNamedAtOnceOrSkippedWithANote) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 2}}, steel, vec3d(0, 0, 1));
  auto& xaf = *host.xaf;
  xaf.Elements()
      .GetElement(beam.elements[0])
      ->SetFixation(xaf.Hinges().AddHinge(AnalysisModel::Hinge({1, 1, 1, 1, 0, 1})));
  host.Fix(beam.FirstNode(), {1, 1, 1, 1, 0.5, 1});
  xaf.NodeProperties().AddMass(beam.LastNode(), AnalysisModel::Mass(10, 10, 10, 1, 0, 0));
  host.LoadCase(1, "strain");
  host.ElementLoad(1, {beam.elements[1]},
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::InitialStrainLoad(1e-4)));
  try {
    host.Export();
    FAIL() << "unsupported records were exported";
  } catch (const ExportError& e) {
    const std::string message = e.what();
    for (const char* part :
         {"hinges", "partial fixities", "rotational inertia", "initial strain", "load case 1 element"}) {
      EXPECT_TRUE(Contains(message, part)) << part << " missing from: " << message;
    }
  }
  ExportOptions options;
  options.skipUnsupported = true;
  const auto deck = host.Export(options);
  int skipped = 0;
  for (const auto& note : deck.notes) skipped += note.rfind("not exported:", 0) == 0;
  EXPECT_EQ(skipped, 4);
  // The partial fixity leaves that rotation free; the others stay fixed.
  EXPECT_EQ(Fixities(deck)[beam.FirstNode()].size(), 5u);
  EXPECT_TRUE(Block(deck.text, "*CLOAD", 1).empty());
}

TEST_F(DeckTest, LineLoadsBecomeConsistentNodalForcesAndMoments) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 1}}, steel, vec3d(0, 0, 1));
  host.LoadCase(1, "linear");
  // Transverse -1000 to -3000 N/m along z, axial 600 to 0 N/m along x.
  host.ElementLoad(1, beam.elements,
                   boost::shared_ptr<AnalysisModel::Load>(
                       new AnalysisModel::LineLoad(vec3d(600, 0, -1000), vec3d(0, 0, -3000))));
  const auto loads = NodalLoads(host.Export().text, 1);
  const long a = beam.FirstNode(), b = beam.LastNode();
  const double L = 2.0;
  EXPECT_NEAR(loads.at({a, 3}), L * (7 * -1000.0 + 3 * -3000.0) / 20, 1e-9);
  EXPECT_NEAR(loads.at({b, 3}), L * (3 * -1000.0 + 7 * -3000.0) / 20, 1e-9);
  EXPECT_NEAR(loads.at({a, 5}), -L * L / 60 * (3 * -1000.0 + 2 * -3000.0), 1e-9);
  EXPECT_NEAR(loads.at({b, 5}), L * L / 60 * (2 * -1000.0 + 3 * -3000.0), 1e-9);
  EXPECT_NEAR(loads.at({a, 1}), L * (2 * 600.0) / 6, 1e-9);
  EXPECT_NEAR(loads.at({b, 1}), L * 600.0 / 6, 1e-9);
  EXPECT_EQ(loads.count({a, 2}) + loads.count({a, 4}) + loads.count({a, 6}), 0u);
}

// A load the deck cannot write never reaches it as "nan" or "inf": the
// model refuses it when it is handed in, whichever kind of load carries it
// (the export's own check of load values stays as a second line).
TEST(DeckLoadTest, ANonFiniteLoadIsRefusedBeforeTheExport) {
  const double kBad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
  for (double bad : kBad) {
    for (const char* what : {"a nodal load", "a pressure"}) {
      SCOPED_TRACE(std::string(what) + " of " + std::to_string(bad));
      HostModel host;
      auto steel = host.Material(2.1e11, 0.3, 7850);
      host.LoadCase(1, "bad");
      boost::shared_ptr<AnalysisModel::Load> load;
      std::vector<long> elements;
      if (std::string(what) == "a nodal load") {
        elements = host.Beam({0, 0, 0}, {1, 0, 0}, {{1.0, host.Section(qlSection::Rectangle(0.1, 0.05)), 1}},
                             steel, vec3d(0, 0, 1))
                       .elements;
        load.reset(new AnalysisModel::LineLoad(vec3d(0, 0, bad), vec3d(0, 0, -1000)));
      } else {
        host.Plate(1.0, 1, host.Thickness(0.01), steel, elements);
        load.reset(new AnalysisModel::SurfaceLoad(bad));
      }
      EXPECT_THROW(host.ElementLoad(1, elements, load), AnalysisModel::ModelError);
    }
  }
}

TEST_F(DeckTest, LineLoadsOnThreeNodeBeamsReachTheMiddleNode) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  host.threeNodeBeams = true;
  const auto beam = host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 1}}, steel, vec3d(0, 0, 1));
  host.LoadCase(1, "uniform");
  host.ElementLoad(1, beam.elements,
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::LineLoad(vec3d(0, 0, -1000))));
  const auto deck = host.Export();
  EXPECT_EQ(Block(deck.text, "*ELEMENT, TYPE=B31").size(), 2u);  // two halves
  const auto loads = NodalLoads(deck.text, 1);
  // Each 1 m half carries 1000 N, half of it at each of its ends; the end
  // moments of the halves cancel at the middle node.
  EXPECT_NEAR(loads.at({beam.nodes[0], 3}), -500.0, 1e-9);
  EXPECT_NEAR(loads.at({beam.nodes[1], 3}), -1000.0, 1e-9);
  EXPECT_NEAR(loads.at({beam.nodes[2], 3}), -500.0, 1e-9);
  EXPECT_NEAR(loads.at({beam.nodes[0], 5}), 1000.0 / 12, 1e-9);
  EXPECT_EQ(loads.count({beam.nodes[1], 5}), 0u);
}

TEST_F(DeckTest, ShellMidSideNodesAreSharedNumberedAfterTheModelAndInheritFixities) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto t = host.Thickness(0.01);
  std::vector<long> elements;
  const auto nodes = host.Plate(1.0, 2, t, steel, elements);  // 9 nodes, 4 shells, 12 edges
  for (int j = 0; j <= 2; ++j) host.Fix(nodes[0][j], {0, 0, 1, 1, 0, 0});
  host.Fix(nodes[1][0], {0, 0, 1, 0, 0, 0});
  const auto deck = host.Export();
  EXPECT_EQ(deck.firstGeneratedNode, 10);
  const auto nodeLines = Block(deck.text, "*NODE");
  EXPECT_EQ(nodeLines.size(), 9u + 12u + 7u);  // and a spring end per fixed uz
  const auto shells = Block(deck.text, "*ELEMENT, TYPE=S8R");
  ASSERT_EQ(shells.size(), 4u);
  for (const auto& line : shells) EXPECT_EQ(std::count(line.begin(), line.end(), ','), 8) << line;
  // The mid-side nodes of the fixed edge y = 0 are fixed in uz and rx; the
  // one between (0,0) and (0,0.5) only in uz, where both ends agree.
  const auto fixed = Fixities(deck);
  int edgeNodes = 0, sideNodes = 0;
  for (const auto& [node, dofs] : fixed) {
    if (node < deck.firstGeneratedNode) continue;
    if (dofs == std::vector<int>{3, 4}) ++edgeNodes;
    if (dofs == std::vector<int>{3}) ++sideNodes;
  }
  EXPECT_EQ(edgeNodes, 2);
  EXPECT_EQ(sideNodes, 1);
  EXPECT_EQ(fixed.size(), 4u + 3u);
}

TEST_F(DeckTest, TrianglesBecomeThreeQuadrilateralsAndOnlyFreeEdgesInheritFixities) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto t = host.Thickness(0.01);
  host.triangularShells = true;
  std::vector<long> elements;
  const auto nodes = host.Plate(1.0, 1, t, steel, elements);  // two triangles sharing a diagonal
  for (const auto& row : nodes) {
    for (long node : row) host.Fix(node, {0, 0, 1, 0, 0, 0});
  }
  host.LoadCase(1, "pressure");
  host.ElementLoad(1, {elements[0]},
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::SurfaceLoad(5)));
  const auto deck = host.Export();
  EXPECT_EQ(Block(deck.text, "*ELEMENT, TYPE=S8R").size(), 6u);
  // The pressure on one triangle reaches its three quadrilaterals.
  EXPECT_EQ(Block(deck.text, "*DLOAD", 1).size(), 3u);
  // Fixed: the 4 corners, the 4 outer edge midpoints and their 8 half-edge
  // nodes; the diagonal's nodes and the centroids stay free.
  EXPECT_EQ(Fixities(deck).size(), 4u + 4u + 8u);
}

TEST_F(DeckTest, EccentricNodesGetArmsOnlyWhereTheyAreNeeded) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  const auto beam =
      host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 4}}, steel, vec3d(0, 0, 1), vec3d(0, 0, 0.2));
  host.Fix(beam.FirstNode());
  host.LoadCase(1, "tip");
  host.PointLoad(1, beam.elements.back(), beam.LastNode(), {1, 0, 0});
  const auto deck = host.Export();
  // Root and tip are joined by arms; the three inner nodes are left out.
  EXPECT_EQ(Block(deck.text, "*ELEMENT, TYPE=B31, ELSET=ARM").size(), 2u);
  ASSERT_EQ(deck.axisNodes.size(), 3u);
  for (std::size_t k = 1; k + 1 < beam.nodes.size(); ++k) {
    ASSERT_TRUE(deck.axisNodes.count(beam.nodes[k]));
    EXPECT_GE(deck.axisNodes.at(beam.nodes[k]), deck.firstGeneratedNode);
  }
  EXPECT_TRUE(Contains(deck.text, "*MATERIAL, NAME=MARM\n*ELASTIC\n2.1e+14, 0\n"));
}

// The model part of the deck (up to the first step) is the same whichever
// load cases are exported: a node loaded only in a case left out keeps its
// stiff arm.
TEST_F(DeckTest, TheModelIsWrittenTheSameWhateverCasesAreChosen) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  const auto beam =
      host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 4}}, steel, vec3d(0, 0, 1), vec3d(0, 0, 0.2));
  host.Fix(beam.FirstNode());
  host.LoadCase(1, "at midspan");
  host.PointLoad(1, beam.elements[1], beam.nodes[2], {0, 0, -1000});
  host.LoadCase(2, "self weight", vec3d(0, 0, -9.81));
  const auto modelPart = [](const std::string& deck) { return deck.substr(0, deck.find("** Load case")); };
  const std::string all = modelPart(host.Export().text);
  for (std::vector<long> cases : {std::vector<long>{1}, std::vector<long>{2}}) {
    ExportOptions options;
    options.loadCases = cases;
    EXPECT_EQ(modelPart(host.Export(options).text), all) << "load case " << cases[0];
  }
}

// Where a model meets the limits of the solver's brick expansion, the deck
// says so: solid rectangles (torsion), rotation-held nodes of a curved shell
// (not of a flat one), and shells with sides under twice their thickness.
TEST_F(DeckTest, ModelsMeetingTheExpansionLimitsAreNoted) {
  const auto notesOf = [](HostModel& model) {
    std::string all;
    for (const auto& note : model.Export().notes) all += note + "\n";
    return all;
  };
  struct Case {
    const char* name;
    bool rectangle, curved;
    double thickness;
    const char* expected;  // the notes' telling words, "" for none
  };
  const Case cases[] = {{"rectangle beam", true, false, 0.01, "torsion"},
                        {"flat plate held by symmetry", false, false, 0.01, ""},
                        {"curved shell held by symmetry", false, true, 0.01, "curved shells"},
                        {"thick plate", false, false, 0.3, "shorter than twice their thickness"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostModel model;
    auto steel = model.Material(2.1e11, 0.3, 0.0);
    if (c.curved) model.plateHeight = [](double x, double y) { return 0.2 * (x * x + y * y); };
    std::vector<long> shells;
    const auto nodes = model.Plate(1.0, 4, model.Thickness(c.thickness), steel, shells);
    for (const auto& row : nodes) model.Fix(row[0], {1, 0, 0, 0, 1, 1});
    if (c.rectangle) {
      model.Beam({0, 0, 0}, {0, 0, -1}, {{1.0, model.Section(qlSection::Rectangle(0.1, 0.05)), 2}}, steel,
                 vec3d(1, 0, 0));
    }
    const std::string notes = notesOf(model);
    if (*c.expected) {
      EXPECT_TRUE(Contains(notes, c.expected)) << notes;
    } else {
      EXPECT_EQ(notes, "");
    }
  }
}

TEST_F(DeckTest, VerticalMembersAndSelectedLoadCases) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto pipe = host.Section(qlSection::Pipe(0.1, 0.005));
  const auto column = host.Beam({0, 0, 0}, {0, 0, 1}, {{3.0, pipe, 2}}, steel, std::nullopt);
  host.Fix(column.FirstNode());
  host.LoadCase(4, "second");
  host.LoadCase(2, "first", vec3d(0, 0, -9.81));
  // Pipes are written as B32R with a generated middle node, and a vertical
  // member without a local system still gets its first section axis.
  const auto deck = host.Export();
  EXPECT_EQ(Block(deck.text, "*ELEMENT, TYPE=B32R").size(), 2u);
  EXPECT_TRUE(Contains(deck.text, "SECTION=PIPE\n0.05, 0.005\n0, -1, 0\n"));
  EXPECT_EQ(deck.loadCaseSteps, (std::vector<long>{2, 4}));
  EXPECT_EQ(Block(deck.text, "*DLOAD", 1), std::vector<std::string>{"GRAVITY, GRAV, 9.81, 0, 0, -1"});
  ExportOptions options;
  options.loadCases = {4};
  EXPECT_EQ(host.Export(options).loadCaseSteps, std::vector<long>{4});
  options.loadCases = {3};
  EXPECT_THROW(host.Export(options), ExportError);
  options.loadCases = {};
  options.frequencyCount = -1;
  EXPECT_THROW(host.Export(options), ExportError);
}

TEST_F(DeckTest, ADeckWithoutStepsIsNotSolved) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 2}}, steel, vec3d(0, 0, 1));
  const auto deck = host.Export();
  EXPECT_TRUE(deck.loadCaseSteps.empty());
  EXPECT_THROW(Solver::RunSolver(deck), Solver::SolverError);
  Solver::RunOptions options;
  options.executable = "/nonexistent/ccx";
  Solver::CcxDeck withStep = deck;
  withStep.frequencyCount = 1;
  try {
    Solver::RunSolver(withStep, options);
    FAIL();
  } catch (const Solver::SolverError& e) {
    EXPECT_TRUE(Contains(e.what(), "not found")) << e.what();
  }
}

TEST_F(DeckTest, ElementsWithoutSectionOrMaterialAreRefused) {
  const long a = host.Node({0, 0, 0}), b = host.Node({1, 0, 0});
  const long e = host.xaf->Elements().AddElement(qlElementType::Beam2(), {a, b});
  try {
    host.Export();
    FAIL();
  } catch (const ExportError& error) {
    EXPECT_TRUE(Contains(error.what(), "without a section")) << error.what();
    EXPECT_TRUE(Contains(error.what(), "element " + std::to_string(e))) << error.what();
  }
}

// The tool, run as a user runs it.
class ExportTool : public ::testing::Test {
 protected:
  HostModel host_;  // first: the output file name is derived from its file
  std::string printed;

  int Run(const std::string& arguments) {
    const std::string command = std::string(QUILM_EXPORT_TOOL) + " " + arguments + " > " + output_ + " 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(output_);
    std::ostringstream text;
    text << in.rdbuf();
    printed = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void TearDown() override { std::remove(output_.c_str()); }

 private:
  std::string output_ = host_.file + ".out";
};

TEST_F(ExportTool, WritesTheDeckSolvesAndReportsErrors) {
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run(host_.file + " --frequencies x"), 2);
  EXPECT_EQ(Run(host_.file + " --bogus"), 2);
  EXPECT_EQ(Run(host_.file + " --combination ULS"), 2);
  EXPECT_EQ(Run("/nonexistent/model.qdb"), 1);
  EXPECT_TRUE(Contains(printed, "quilm-export:")) << printed;

  auto steel = host_.Material(2.1e11, 0.3, 7850);
  auto rect = host_.Section(qlSection::Rectangle(0.1, 0.05));
  const auto beam = host_.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 4}}, steel, vec3d(0, 0, 1));
  host_.Fix(beam.FirstNode());
  host_.LoadCase(7, "tip");
  host_.PointLoad(7, beam.elements.back(), beam.LastNode(), {0, 0, -1000});
  host_.model.Flush();
  const std::string deckFile = host_.file + ".inp";
  EXPECT_EQ(Run(host_.file + " -o " + deckFile), 0) << printed;
  std::ifstream deck(deckFile);
  EXPECT_TRUE(deck.good());
  if (SolverAvailable()) {
    // A solve stores its results in the model, so it needs the file as its
    // writer: it is refused while the host holds it, and runs on a copy.
    EXPECT_EQ(Run(host_.file + " -o " + deckFile + " --solve"), 1);
    EXPECT_TRUE(Contains(printed, "in use by another writer")) << printed;
    const std::string copy = host_.file + ".copy.qdb";
    std::filesystem::copy_file(host_.file, copy, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(Run(copy + " -o " + deckFile + " --solve"), 0) << printed;
    EXPECT_TRUE(Contains(printed, "Load case 7 \"tip\"")) << printed;
    EXPECT_TRUE(Contains(printed, "support reactions")) << printed;
    EXPECT_EQ(Run(copy + " -o " + deckFile + " --solve --element-results --combination ULS=1.5*7 --buckling 7"),
              0)
        << printed;
    EXPECT_TRUE(Contains(printed, "Combination \"ULS\"")) << printed;
    EXPECT_TRUE(Contains(printed, "Buckling factors of load case 7")) << printed;
    EXPECT_EQ(Run(copy + " -o " + deckFile + " --solve --ccx /nonexistent/ccx"), 2);
    EXPECT_TRUE(Contains(printed, "No such file")) << printed;
    std::remove(copy.c_str());
  }
  std::remove(deckFile.c_str());
}

// The streamed deck is the text deck byte for byte; a stream that fails is
// an error, not a silently partial deck.
TEST_F(DeckTest, StreamedDeckMatchesTextAndFailsWithItsStream) {
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto rect = host.Section(qlSection::Rectangle(0.1, 0.05));
  host.Beam({0, 0, 0}, {1, 0, 0}, {{2.0, rect, 2}}, steel, vec3d(0, 0, 1));
  const auto deck = host.Export();
  AnalysisModel::XafModel reader(host.file, 0, 1, false);
  std::ostringstream streamed;
  const auto fromStream = Solver::ExportCcxDeck(reader, streamed);
  EXPECT_TRUE(fromStream.text.empty());
  EXPECT_EQ(streamed.str(), deck.text);
  std::ofstream failed;  // never opened: every write fails
  EXPECT_THROW(Solver::ExportCcxDeck(reader, failed), ExportError);
}

// A step's loads are held until written while they fit, else read again
// when written: both give the same deck, byte for byte, for every load kind
// (point, line, pressure, gravity, rotation, point mass), a combination and
// a buckling step, with the element results' corrections.
TEST_F(DeckTest, TheDeckIsTheSameWithStepsReadAgainOrFormattedOnTwoThreads) {
  host.shareNodes = true;
  auto steel = host.Material(2.1e11, 0.3, 7850);
  auto rect = host.Section(qlSection::Rectangle(0.2, 0.1));
  std::vector<long> shells;
  const auto grid = host.Plate(4.0, 4, host.Thickness(0.01), steel, shells);
  const auto edge = host.Beam({0, 0, 0}, {1, 0, 0}, {{4.0, rect, 4}}, steel, vec3d(0, 0, 1));
  host.Fix(grid[0][0]);
  host.Fix(grid[0][4], {1, 1, 1, 0, 0, 0});
  host.Fix(grid[4][4]);
  host.LoadCase(1, "everything", vec3d(0, 0, -9.81));
  host.PointLoad(1, edge.elements.back(), edge.LastNode(), {1000, 0, -500}, {0, 300, 0});
  host.PointLoad(1, edge.elements.front(), edge.FirstNode(), {0, 0, -100}, {50, 0, 0});  // moment held
  host.ElementLoad(1, edge.elements,
                   boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::LineLoad({0, 0, -2000}, {0, 0, -500})));
  host.ElementLoad(1, shells, boost::shared_ptr<AnalysisModel::Load>(new AnalysisModel::SurfaceLoad(1500.0)));
  host.PointMass(grid[4][0], 200.0);
  host.RotationLoad(1, {0, 0, 0}, {0, 0, 1}, 2.0, 1.0);
  host.LoadCase(2, "point", {});
  host.PointLoad(2, edge.elements[1], edge.nodes[2], {0, 0, -800});
  host.Export();
  ExportOptions options;
  options.elementResults = true;
  options.combinations.push_back({"both", {{1, 1.35}, {2, -1.5}}});
  options.bucklingCase = 1;

  AnalysisModel::XafModel model(host.file, 0, 1, false);
  detail::SolverModelReader reader(model, options);
  CcxDeck deck;
  detail::SolverModel solver = reader.Read(deck);
  auto reload = [&](const detail::StaticStep& step) { return reader.ReloadStepLoads(step, solver); };
  auto write = [&] {
    std::ostringstream out;
    detail::WriteDeck(out, solver, deck.notes, {}, reload);
    return out.str();
  };
  std::vector<detail::StaticStep*> steps;
  for (auto& step : solver.steps) steps.push_back(&step);
  steps.push_back(&*solver.buckling);
  for (const auto* step : steps) ASSERT_TRUE(step->loadsHeld) << "a small model's steps are held";
  const std::string held = write();
  for (auto* step : steps) {
    step->loadsHeld = false;
    step->loads = {};
  }
  EXPECT_EQ(write(), held);
  for (int step = 1; step <= 4; ++step) EXPECT_FALSE(Block(held, "*CLOAD", step).empty()) << step;

  // Nodes and element rows formatted on two threads, in runs of a few
  // records (whole, cut short at the end, and one record long), write the
  // same bytes as one thread.
  // The progress counts every record once, up to its total.
  for (std::size_t run : {1u, 5u, 7u, 64u}) {
    std::ostringstream out;
    std::uint64_t total = 0, last = 0;
    bool beyond = false;
    detail::WriteDeck(
        out, solver, deck.notes,
        [&](const AnalysisModel::ProgressReport& report) {
          beyond = beyond || report.done > report.total;
          total = report.total;
          last = report.done;
        },
        reload, 2, run);
    EXPECT_EQ(out.str(), held) << "runs of " << run;
    EXPECT_FALSE(beyond);
    EXPECT_EQ(last, total);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
