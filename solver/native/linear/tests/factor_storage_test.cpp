// In memory or out of core against the memory allowed: the switch out of
// core, the refusal before any factorising with its figures, and folders
// that cannot take factors. (Out-of-core results against in-memory ones:
// native_memory_test.)
#include <gtest/gtest.h>

#include "solver/native/linear/factor_folder.hpp"
#include "solver/native/linear/memory_budget.hpp"
#include "solver/native/linear/mumps_factorisation.hpp"
#include "solver/native/linear/sparse_matrix_builder.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

// A 3D lattice of springs, m^3 equations, held at one corner: estimates of
// a few MB.
SymmetricSparseMatrix Lattice(int m) {
  SymmetricMatrixBuilder builder(m * m * m);
  for (int i = 0; i < m * m * m; ++i) {
    const double k = 1.0 + 0.001 * (i % 17);
    if (i % m + 1 < m) builder.AddBlock({i, i + 1}, {k, -k, -k, k});
    if ((i / m) % m + 1 < m) builder.AddBlock({i, i + m}, {k, -k, -k, k});
    if (i / (m * m) + 1 < m) builder.AddBlock({i, i + m * m}, {k, -k, -k, k});
  }
  builder.Add(0, 0, 1.0);
  return std::move(builder).Compress();
}

FactorisationOptions Limited(std::int64_t megabytes) {
  FactorisationOptions options;
  options.memory.limitMegabytes = megabytes;  // storage: automatic
  return options;
}

TEST(FactorStorageTest, GoesOutOfCoreOrRefusesBeforeFactorisingAsTheLimitSays) {
  const SymmetricSparseMatrix a = Lattice(16);
  MumpsFactorisation probe;
  probe.Analyse(a);
  const AnalysisEstimate estimate = probe.Estimate();
  ASSERT_GT(estimate.outOfCorePeakMegabytes, 1);
  ASSERT_GT(estimate.peakMegabytes, estimate.outOfCorePeakMegabytes + 1);

  MumpsFactorisation between(Limited(estimate.peakMegabytes - 1));
  between.Factorise(a);
  EXPECT_TRUE(between.Storage().outOfCore);
  EXPECT_GT(between.Storage().diskMegabytes, 0);

  MumpsFactorisation below(Limited(estimate.outOfCorePeakMegabytes - 1));
  try {
    below.Factorise(a);
    FAIL() << "not refused";
  } catch (const InsufficientMemoryError& e) {
    EXPECT_EQ(e.Figures().inCoreMegabytes, estimate.peakMegabytes);
    EXPECT_EQ(e.Figures().outOfCoreMegabytes, estimate.outOfCorePeakMegabytes);
  }
  double x = 0.0;
  EXPECT_THROW(below.Solve(&x, 1), std::logic_error);  // nothing was factorised
}

TEST(FactorStorageTest, RefusalNamesTheFiguresAndTheWayOut) {
  try {
    ChooseOutOfCore(22000, 2100, FactorStorage::InCore, 20100, false);
    FAIL() << "not refused";
  } catch (const InsufficientMemoryError& e) {
    EXPECT_STREQ(e.what(),
                 "the factorisation needs about 22,000 MB in memory (2,100 MB out of core) and 20,100 MB are "
                 "available: solve out of core or on more processes");
  }
}

TEST(FactorStorageTest, AFolderThatCannotTakeFactorsIsRefused) {
  EXPECT_THROW(FactorFolder("/nonexistent/folder"), LinearSolverError);
  EXPECT_THROW(FactorFolder("/etc/hostname"), LinearSolverError);  // a file
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
