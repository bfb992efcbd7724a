// In memory or out of core: the choice against the memory allowed, the
// refusal before any factorising with its figures, out-of-core solutions
// equal to in-memory ones, and no factor file left behind.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "solver/native/linear/factor_folder.hpp"
#include "solver/native/linear/memory_budget.hpp"
#include "solver/native/linear/mumps_factorisation.hpp"
#include "solver/native/linear/sparse_matrix_builder.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

namespace fs = std::filesystem;

TEST(MemoryBudgetTest, ChoosesTheStorageThatFitsOrRefuses) {
  struct Case {
    const char* name;
    FactorStorage storage;
    std::int64_t inCore, outOfCore, limit;
    int expected;  // 0 in memory, 1 out of core, -1 refused
  };
  const Case cases[] = {
      {"automatic, fits in memory", FactorStorage::Automatic, 100, 20, 100, 0},
      {"automatic, only out of core fits", FactorStorage::Automatic, 101, 20, 100, 1},
      {"automatic, nothing fits", FactorStorage::Automatic, 300, 101, 100, -1},
      {"in core asked, does not fit", FactorStorage::InCore, 101, 20, 100, -1},
      {"out of core asked, fits in memory too", FactorStorage::OutOfCore, 50, 20, 100, 1},
      {"out of core asked, does not fit", FactorStorage::OutOfCore, 500, 101, 100, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      EXPECT_EQ(ChooseOutOfCore(c.inCore, c.outOfCore, c.storage, c.limit, false) ? 1 : 0, c.expected);
    } catch (const InsufficientMemoryError& e) {
      EXPECT_EQ(c.expected, -1) << e.what();
      EXPECT_EQ(e.Figures().inCoreMegabytes, c.inCore);
      EXPECT_EQ(e.Figures().limitMegabytes, c.limit);
    }
  }
}

TEST(MemoryBudgetTest, RefusalNamesTheFiguresAndTheWayOut) {
  try {
    ChooseOutOfCore(22000, 2100, FactorStorage::InCore, 20100, false);
    FAIL() << "not refused";
  } catch (const InsufficientMemoryError& e) {
    EXPECT_STREQ(e.what(),
                 "the factorisation needs about 22,000 MB in memory (2,100 MB out of core) and 20,100 MB are "
                 "available: solve out of core or on more processes");
  }
  bool limitSet = false;
  EXPECT_EQ(MemoryLimit({FactorStorage::Automatic, "", 500}, 8000, limitSet), 500);
  EXPECT_TRUE(limitSet);
  EXPECT_EQ(MemoryLimit({FactorStorage::Automatic, "", 0}, 8000, limitSet), 8000);  // 0: what is available
  EXPECT_FALSE(limitSet);
  EXPECT_GT(AvailableMegabytes(), 0);
}

// A 3D lattice of springs, m^3 equations, held at one corner: large
// enough for estimates of a few MB.
SymmetricSparseMatrix Lattice(int m) {
  SymmetricMatrixBuilder builder(m * m * m);
  for (int i = 0; i < m * m * m; ++i) {
    const double k = 1.0 + 0.001 * (i % 17);
    for (int step : {1, m, m * m})
      if ((step == 1 ? i % m : step == m ? (i / m) % m : i / (m * m)) + 1 < m)
        builder.AddBlock({i, i + step}, {k, -k, -k, k});
  }
  builder.Add(0, 0, 1.0);
  return std::move(builder).Compress();
}

// A scratch folder for factor files, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "factor-storage-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchFolder() { fs::remove_all(path_); }
  const std::string& Path() const { return path_; }
  bool Empty() const { return fs::is_empty(path_); }

 private:
  std::string path_;
};

FactorisationOptions Storing(FactorStorage storage, const std::string& folder, std::int64_t limit = 0) {
  FactorisationOptions options;
  options.memory = {storage, folder, limit};
  return options;
}

std::vector<double> SolveOnes(MumpsFactorisation& factorisation, const SymmetricSparseMatrix& a) {
  factorisation.Factorise(a);
  std::vector<double> x(static_cast<std::size_t>(a.Order()), 1.0);
  factorisation.Solve(x.data(), 1);
  return x;
}

TEST(FactorStorageTest, OutOfCoreSolvesAsInMemoryAndLeavesNoFile) {
  const SymmetricSparseMatrix a = Lattice(16);
  ScratchFolder scratch;
  MumpsFactorisation inMemory(Storing(FactorStorage::InCore, ""));
  const std::vector<double> expected = SolveOnes(inMemory, a);
  EXPECT_FALSE(inMemory.Storage().outOfCore);
  {
    MumpsFactorisation outOfCore(Storing(FactorStorage::OutOfCore, scratch.Path()));
    const std::vector<double> x = SolveOnes(outOfCore, a);
    EXPECT_TRUE(outOfCore.Storage().outOfCore);
    EXPECT_GT(outOfCore.Storage().diskMegabytes, 0);
    EXPECT_FALSE(scratch.Empty());
    double largest = 0.0, difference = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      largest = std::max(largest, std::abs(expected[i]));
      difference = std::max(difference, std::abs(x[i] - expected[i]));
    }
    EXPECT_LE(difference, 1e-10 * largest);
  }
  EXPECT_TRUE(scratch.Empty());
}

TEST(FactorStorageTest, GoesOutOfCoreOrRefusesBeforeFactorisingAsTheLimitSays) {
  const SymmetricSparseMatrix a = Lattice(16);
  MumpsFactorisation probe;
  probe.Analyse(a);
  const AnalysisEstimate estimate = probe.Estimate();
  ASSERT_GT(estimate.peakMegabytes, estimate.outOfCorePeakMegabytes + 1);
  ScratchFolder scratch;

  MumpsFactorisation between(Storing(FactorStorage::Automatic, scratch.Path(), estimate.peakMegabytes - 1));
  SolveOnes(between, a);
  EXPECT_TRUE(between.Storage().outOfCore);

  MumpsFactorisation below(Storing(FactorStorage::Automatic, scratch.Path(), estimate.outOfCorePeakMegabytes - 1));
  try {
    below.Factorise(a);
    FAIL() << "not refused";
  } catch (const InsufficientMemoryError& e) {
    EXPECT_EQ(e.Figures().inCoreMegabytes, estimate.peakMegabytes);
    EXPECT_EQ(e.Figures().outOfCoreMegabytes, estimate.outOfCorePeakMegabytes);
    EXPECT_NE(std::string(e.what()).find("the limit set is " + std::to_string(estimate.outOfCorePeakMegabytes - 1)),
              std::string::npos) << e.what();
  }
  double x = 0.0;
  EXPECT_THROW(below.Solve(&x, 1), std::logic_error);  // nothing was factorised
}

TEST(FactorStorageTest, AFolderThatCannotTakeFactorsIsRefused) {
  EXPECT_THROW(FactorFolder("/nonexistent/folder"), LinearSolverError);
  EXPECT_THROW(FactorFolder("/etc/hostname"), LinearSolverError);  // a file
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
