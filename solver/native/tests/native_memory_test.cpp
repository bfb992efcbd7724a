// The native solves in memory or out of core: a frame solved out of core
// gives the in-memory results and leaves no factor file; a memory limit
// below the estimate refuses every kind of solve before it factorises.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "solver/native/native_dynamics.hpp"
#include "solver/native/native_solver.hpp"
#include "solver/native/tests/native_test_model.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using Testing::NativeTestModel;
namespace fs = std::filesystem;

// A steel frame of nx x ny bays of 5 m and `storeys` of 3.5 m, columns
// clamped; load case 1 pushes every floor node along X and Y and down.
struct Frame {
  NativeTestModel m;
  Frame(int nx, int ny, int storeys) {
    const long steel = m.Material(2.1e11, 0.3, 7850.0), section = m.Section(qlSection::Rectangle(0.4, 0.3));
    std::vector<long> below;
    for (int k = 0; k <= storeys; ++k) {
      std::vector<long> level;
      for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
          level.push_back(m.Node(5.0 * i, 5.0 * j, 3.5 * k));
          const std::size_t at = level.size() - 1;
          if (k == 0) m.Fix(level[at]);
          if (k == 0) continue;
          m.Beam(below[at], level[at], section, steel, vec3d(1, 0, 0));
          if (i > 0) m.Beam(level[at - 1], level[at], section, steel, vec3d(0, 0, 1));
          if (j > 0) m.Beam(level[at - static_cast<std::size_t>(nx) - 1], level[at], section, steel, vec3d(0, 0, 1));
          m.Force(1, level[at], vec3d(1000.0 * k, 500.0, -20000.0));
        }
      below = level;
    }
  }
};

// A scratch folder for factor files, removed at the end.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "native-memory-test-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~ScratchFolder() { fs::remove_all(path); }
};

// The largest difference of two maps of vectors over their largest value.
double RelativeDifference(const std::map<long, vec3d>& a, const std::map<long, vec3d>& b) {
  double largest = 0.0, difference = 0.0;
  for (const auto& [node, value] : a) {
    largest = std::max(largest, value.length());
    difference = std::max(difference, (value - b.at(node)).length());
  }
  return largest > 0.0 ? difference / largest : difference;
}

TEST(NativeMemory, OutOfCoreGivesTheInMemoryResultsAndLeavesNoFile) {
  Frame frame(6, 5, 6);
  const NativeSolve inMemory = SolveNative(frame.m.Model());
  ScratchFolder scratch;
  NativeOptions options;
  options.memory.storage = FactorStorage::OutOfCore;
  options.memory.outOfCoreFolder = scratch.path;
  const NativeSolve outOfCore = SolveNative(frame.m.Model(), options);

  EXPECT_FALSE(inMemory.statistics.outOfCore);
  EXPECT_TRUE(outOfCore.statistics.outOfCore);
  EXPECT_GT(outOfCore.statistics.diskMegabytes, 0);
  EXPECT_TRUE(fs::is_empty(scratch.path));
  const StepResults &a = inMemory.results.steps[0], &b = outOfCore.results.steps[0];
  EXPECT_LT(RelativeDifference(a.displacements, b.displacements), 1e-10);
  EXPECT_LT(RelativeDifference(a.rotations, b.rotations), 1e-10);
  EXPECT_LT(RelativeDifference(a.reactions, b.reactions), 1e-10);
  EXPECT_LT(RelativeDifference(a.reactionMoments, b.reactionMoments), 1e-10);
}

TEST(NativeMemory, EverySolveIsRefusedBeforeFactorisingBelowItsEstimate) {
  Frame frame(6, 5, 6);
  NativeMemoryOptions tight{FactorStorage::InCore, "", 1};
  const std::pair<const char*, std::function<void()>> solves[] = {
      {"static", [&] { SolveNative(frame.m.Model(), [&] { NativeOptions o; o.memory = tight; return o; }()); }},
      {"modes", [&] { SolveModes(frame.m.Model(), [&] { ModeOptions o; o.memory = tight; return o; }()); }},
      {"buckling", [&] {
         BucklingOptions o;
         o.loads = {{1, 1.0}};
         o.memory = tight;
         SolveBuckling(frame.m.Model(), o);
       }},
  };
  for (const auto& [name, solve] : solves) {
    SCOPED_TRACE(name);
    try {
      solve();
      ADD_FAILURE() << "not refused";
    } catch (const NativeMemoryError& e) {
      EXPECT_GT(e.Figures().inCoreMegabytes, 1);
      EXPECT_TRUE(e.Figures().limitSet);
      EXPECT_NE(std::string(e.what()).find("and the limit set is 1 MB: solve "), std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver
