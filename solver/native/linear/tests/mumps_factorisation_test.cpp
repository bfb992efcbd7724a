// The factorisation on MUMPS: solutions of regular systems, mechanisms
// reported by their equations and never solved, inertia of indefinite
// matrices, and misuse refused.
#include "solver/native/linear/mumps_factorisation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "solver/native/linear/mumps_errors.hpp"
#include "solver/native/linear/sparse_matrix_builder.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

FactorisationOptions Kind(MatrixKind kind) {
  FactorisationOptions options;
  options.kind = kind;
  return options;
}

// A chain of springs over equations [first, first + count), of random
// stiffness; each equation in its own unit, up to 10^spread larger or
// smaller (as translations and rotations differ), which scales its row and
// column.
void AddChain(SymmetricMatrixBuilder& builder, Equation first, int count, double spread, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> stiffness(0.5, 2.0), exponent(-spread, spread);
  std::vector<double> unit(count);
  for (double& u : unit) u = std::pow(10.0, exponent(random));
  for (int i = 0; i + 1 < count; ++i) {
    const double k = stiffness(random), a = unit[i], b = unit[i + 1];
    builder.AddBlock({first + i, first + i + 1}, {k * a * a, -k * a * b, -k * a * b, k * b * b});
  }
}

// A 2D grid of springs, held at one corner: symmetric positive definite.
SymmetricSparseMatrix HeldGrid(int m) {
  SymmetricMatrixBuilder builder(m * m);
  std::mt19937 random(3);
  std::uniform_real_distribution<double> stiffness(0.5, 2.0);
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < m; ++j) {
      const Equation p = i * m + j;
      const double k = stiffness(random), l = stiffness(random);
      if (i + 1 < m) builder.AddBlock({p, p + m}, {k, -k, -k, k});
      if (j + 1 < m) builder.AddBlock({p, p + 1}, {l, -l, -l, l});
    }
  }
  builder.Add(0, 0, 1.0);
  return std::move(builder).Compress();
}

// The largest |A x - b| over |b| of each right-hand side of a block.
double RelativeResidual(const SymmetricSparseMatrix& a, const std::vector<double>& x,
                        const std::vector<double>& b) {
  const std::size_t n = static_cast<std::size_t>(a.Order());
  std::vector<double> product(n);
  double worst = 0.0;
  for (std::size_t c = 0; c * n < b.size(); ++c) {
    a.Multiply(x.data() + c * n, product.data());
    double residual = 0.0, load = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      residual = std::max(residual, std::abs(product[i] - b[c * n + i]));
      load = std::max(load, std::abs(b[c * n + i]));
    }
    worst = std::max(worst, residual / load);
  }
  return worst;
}

std::vector<double> Loads(std::size_t n, int columns) {
  std::vector<double> block(n * columns);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = std::cos(0.37 * static_cast<double>(i));
  return block;
}

TEST(MumpsFactorisationTest, SolvesBlocksOfRightHandSides) {
  const SymmetricSparseMatrix a = HeldGrid(30);
  for (MatrixKind kind : {MatrixKind::Stiffness, MatrixKind::PositiveDefinite}) {
    MumpsFactorisation first(Kind(kind));
    first.Analyse(a);
    EXPECT_GT(first.Estimate().peakMegabytes, 0);
    EXPECT_GE(first.Estimate().factorEntries, a.StoredEntries());
    first.Factorise(a);
    MumpsFactorisation factorisation = std::move(first);  // the instance moves with it
    EXPECT_EQ(factorisation.NegativePivots(), 0);
    EXPECT_TRUE(factorisation.NullPivots().empty());

    const std::vector<double> b = Loads(a.Order(), 3);
    std::vector<double> x = b;
    factorisation.Solve(x.data(), 3);
    EXPECT_LT(RelativeResidual(a, x, b), 1e-12);

    x = b;
    const SolveReport report = factorisation.Solve(x.data(), 3, SolveOptions{true});
    EXPECT_LT(RelativeResidual(a, x, b), 1e-12);
    // Measured, not left at 0 (the solver skips it for a block of several).
    EXPECT_GT(report.backwardError, 0.0);
    EXPECT_LT(report.backwardError, 1e-14);
  }
}

TEST(MumpsFactorisationTest, RefactorisesNewValuesOnTheAnalysedPattern) {
  const SymmetricSparseMatrix a = HeldGrid(10);
  std::vector<double> doubled = a.Values();
  for (double& v : doubled) v *= 2.0;
  const SymmetricSparseMatrix twice(a.RowStart(), a.Columns(), doubled);
  MumpsFactorisation factorisation;
  factorisation.Factorise(a);
  factorisation.Factorise(twice);
  const std::vector<double> b = Loads(a.Order(), 1);
  std::vector<double> x = b;
  factorisation.Solve(x.data(), 1);
  EXPECT_LT(RelativeResidual(twice, x, b), 1e-12);

  EXPECT_THROW(factorisation.Factorise(HeldGrid(11)), std::invalid_argument);
  MumpsFactorisation fresh;
  EXPECT_THROW(fresh.Solve(x.data(), 1), std::logic_error);
}

// A mechanism never comes back solved: the solve throws with the equations.
void ExpectRefused(MumpsFactorisation& factorisation, Equation order) {
  std::vector<double> x(order, 1.0);
  try {
    factorisation.Solve(x.data(), 1);
    ADD_FAILURE() << "a singular matrix was solved";
  } catch (const SingularMatrixError& error) {
    EXPECT_EQ(error.NullPivots(), factorisation.NullPivots());
  }
  EXPECT_EQ(x, std::vector<double>(order, 1.0));
}

TEST(MumpsFactorisationTest, ReportsTheEquationsOfAMechanism) {
  // Equations 0-19: a chain held at 0; 20-39: a free chain (one rigid
  // motion); 40: touched by nothing; 41: given an explicit zero.
  for (double spread : {0.0, 3.0}) {
    SymmetricMatrixBuilder builder(42);
    AddChain(builder, 0, 20, spread, 1);
    builder.Add(0, 0, 1.0);
    AddChain(builder, 20, 20, spread, 2);
    builder.Add(41, 41, 0.0);
    const SymmetricSparseMatrix a = std::move(builder).Compress();

    MumpsFactorisation factorisation;
    factorisation.Factorise(a);
    const std::vector<Equation>& nulls = factorisation.NullPivots();
    ASSERT_EQ(nulls.size(), 3u) << "units " << spread;
    EXPECT_GE(nulls[0], 20);
    EXPECT_LT(nulls[0], 40);
    EXPECT_EQ(nulls[1], 40);
    EXPECT_EQ(nulls[2], 41);
    ExpectRefused(factorisation, a.Order());
  }
}

TEST(MumpsFactorisationTest, RefusesASingularMatrixTakenAsPositiveDefinite) {
  // Without pivoting the solver cannot name null pivots; an exact zero is
  // still a singular matrix, and a negative pivot is refused.
  SymmetricMatrixBuilder zeroRow(3);
  zeroRow.Add(0, 0, 1.0);
  zeroRow.Add(2, 2, 1.0);
  MumpsFactorisation factorisation(Kind(MatrixKind::PositiveDefinite));
  EXPECT_THROW(factorisation.Factorise(std::move(zeroRow).Compress()), SingularMatrixError);

  SymmetricMatrixBuilder indefinite(2);
  indefinite.AddBlock({0, 1}, {1.0, 2.0, 2.0, 1.0});
  MumpsFactorisation again(Kind(MatrixKind::PositiveDefinite));
  again.Factorise(std::move(indefinite).Compress());
  EXPECT_EQ(again.NegativePivots(), 1);
  ExpectRefused(again, 2);
}

// The tridiagonal (-1, 2, -1) of order n has eigenvalues
// 2 - 2 cos(k pi / (n + 1)); shifted by `shift`, the negative ones are those
// below it.
TEST(MumpsFactorisationTest, CountsNegativePivotsOfAnIndefiniteMatrix) {
  const int n = 200;
  const double shift = 1.3;
  SymmetricMatrixBuilder builder(n);
  for (int i = 0; i < n; ++i) {
    builder.Add(i, i, 2.0 - shift);
    if (i + 1 < n) builder.Add(i, i + 1, -1.0);
  }
  const SymmetricSparseMatrix a = std::move(builder).Compress();
  int below = 0;
  for (int k = 1; k <= n; ++k) below += 2.0 - 2.0 * std::cos(k * M_PI / (n + 1)) < shift;

  MumpsFactorisation indefinite(Kind(MatrixKind::Indefinite));
  indefinite.Factorise(a);
  EXPECT_EQ(indefinite.NegativePivots(), below);
  EXPECT_TRUE(indefinite.NullPivots().empty());
  const std::vector<double> b = Loads(n, 2);
  std::vector<double> x = b;
  indefinite.Solve(x.data(), 2);
  EXPECT_LT(RelativeResidual(a, x, b), 1e-10);

  MumpsFactorisation stiffness(Kind(MatrixKind::Stiffness));  // should have had none
  stiffness.Factorise(a);
  ExpectRefused(stiffness, n);
}

TEST(MumpsErrorsTest, ExplainsMemoryErrorsInMegabytes) {
  // A size reported negative is in millions of entries (8 bytes each).
  EXPECT_NE(Mumps::DescribeError(-9, -2000, "factorisation").find("15259 MB"), std::string::npos);
  EXPECT_NE(Mumps::DescribeError(-13, 131072, "factorisation").find("out of memory: an allocation of 1 MB"),
            std::string::npos);
  EXPECT_THROW(Mumps::ThrowError(-10, 5, "factorisation"), SingularMatrixError);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
