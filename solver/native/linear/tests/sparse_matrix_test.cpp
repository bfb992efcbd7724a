// Assembly and compression of symmetric sparse matrices, checked against a
// plainly assembled reference, and the product A x.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "solver/native/linear/sparse_matrix_builder.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

// A symmetric matrix assembled the plain way: every entry of both
// triangles, each (i, j) to its own place.
struct Reference {
  explicit Reference(int order) : n(order) {
    for (int i = 0; i < n; ++i) entries[{i, i}];  // the builder keeps every diagonal
  }
  // One entry of a full matrix: its mirror comes separately.
  void AddOne(int i, int j, double v) { entries[{i, j}] += v; }
  // A(i, j) and A(j, i), as the builder's Add.
  void Add(int i, int j, double v) {
    AddOne(i, j, v);
    if (i != j) AddOne(j, i, v);
  }
  int n;
  std::map<std::pair<int, int>, double> entries;
};

// Random element blocks (some freedoms fixed, some tied to one equation) and
// single entries from either triangle, into both the builder and the
// reference. Over a thousand equations: the compression sorts in two passes
// then.
void AssembleRandomly(SymmetricMatrixBuilder& builder, Reference& reference, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> equation(-60, reference.n - 1);  // about 2 % fixed
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (int element = 0; element < 3000; ++element) {
    const int count = 1 + element % 6;
    std::vector<Equation> equations(count);
    for (Equation& e : equations) e = std::max(equation(random), -1);
    if (count > 2) equations[2] = equations[0];  // tied freedoms
    std::vector<double> block(count * count);
    for (int a = 0; a < count; ++a) {
      for (int b = a; b < count; ++b) block[a * count + b] = block[b * count + a] = value(random);
    }
    builder.AddBlock(equations, block);
    for (int a = 0; a < count; ++a) {
      for (int b = 0; b < count; ++b) {
        if (equations[a] >= 0 && equations[b] >= 0)
          reference.AddOne(equations[a], equations[b], block[a * count + b]);
      }
    }
  }
  for (int k = 0; k < 2000; ++k) {
    const int i = std::max(equation(random), 0), j = std::max(equation(random), 0);
    const double v = value(random);
    builder.Add(i, j, v);
    reference.Add(i, j, v);
  }
}

TEST(SymmetricMatrixBuilderTest, CompressesToTheReference) {
  const int n = 3000;
  SymmetricMatrixBuilder builder(n);
  Reference reference(n);
  AssembleRandomly(builder, reference, 7);
  const SymmetricSparseMatrix matrix = std::move(builder).Compress();

  // The stored entries are the reference's upper triangle, in order.
  ASSERT_EQ(matrix.Order(), n);
  auto expected = reference.entries.begin();
  for (int i = 0; i < n; ++i) {
    for (auto k = matrix.RowStart()[i]; k < matrix.RowStart()[i + 1]; ++k) {
      while (expected->first.second < expected->first.first) ++expected;  // lower triangle
      ASSERT_EQ(expected->first, std::make_pair(i, static_cast<int>(matrix.Columns()[k])));
      EXPECT_NEAR(matrix.Values()[k], expected->second, 1e-12) << i << ", " << matrix.Columns()[k];
      ++expected;
    }
  }
  while (expected != reference.entries.end() && expected->first.second < expected->first.first) ++expected;
  EXPECT_TRUE(expected == reference.entries.end()) << "entries missing from the matrix";

  std::vector<double> x(n);
  for (int i = 0; i < n; ++i) x[i] = 1.0 + 0.01 * i;
  std::vector<double> product(n, 0.0);
  for (const auto& [at, v] : reference.entries) product[at.first] += v * x[at.second];
  const std::vector<double> y = matrix.Multiply(x);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(y[i], product[i], 1e-11) << i;
}

TEST(SymmetricMatrixBuilderTest, SumsDuplicatesFromEitherTriangleAndKeepsEveryDiagonal) {
  SymmetricMatrixBuilder builder(4);
  builder.Add(2, 0, 1.0);
  builder.Add(0, 2, 2.0);
  builder.Add(1, 1, 5.0);
  builder.Add(1, 3, 4.0);
  builder.Add(3, 1, -4.0);                          // sums to zero: kept, the pattern is the assembly's
  builder.AddBlock({-1, 1}, {9.0, 9.0, 9.0, 1.0});  // a fixed freedom's terms dropped
  const SymmetricSparseMatrix matrix = std::move(builder).Compress();

  EXPECT_EQ(matrix.RowStart(), (std::vector<std::int64_t>{0, 2, 4, 5, 6}));
  EXPECT_EQ(matrix.Columns(), (std::vector<Equation>{0, 2, 1, 3, 2, 3}));
  EXPECT_EQ(matrix.Values(), (std::vector<double>{0.0, 3.0, 6.0, 0.0, 0.0, 0.0}));
}

TEST(SymmetricMatrixBuilderTest, RefusesBadInput) {
  SymmetricMatrixBuilder builder(3);
  EXPECT_THROW(builder.Add(0, 3, 1.0), std::out_of_range);
  EXPECT_THROW(builder.Add(-1, 0, 1.0), std::out_of_range);
  EXPECT_THROW(builder.AddBlock({0, 3}, {1, 1, 1, 1}), std::out_of_range);
  EXPECT_THROW(builder.AddBlock({0, 1}, {1, 1, 1}), std::invalid_argument);
  // Compressed arrays from elsewhere: a column below the diagonal, unsorted.
  EXPECT_THROW(SymmetricSparseMatrix({0, 1, 2}, {0, 0}, {1, 1}), std::invalid_argument);
  EXPECT_THROW(SymmetricSparseMatrix({0, 2, 3}, {1, 0, 1}, {1, 1, 1}), std::invalid_argument);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
