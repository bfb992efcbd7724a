// A symmetric sparse matrix kept as its upper triangle in compressed sparse
// row form: for each row the columns from the diagonal rightwards, sorted and
// unique, with their values. This is what the factorisations read and what
// the residual checks multiply by. Equation numbers are 0-based and 32-bit
// (the largest models have a few million equations); row starts are 64-bit,
// as the entry count of a large model may pass 2^31.
#pragma once

#include <cstdint>
#include <vector>

namespace Kestrum::Quilm::Solver::Native {

// A 0-based equation number; negative numbers mark fixed or removed freedoms
// where the builder accepts them.
using Equation = std::int32_t;

class SymmetricSparseMatrix {
 public:
  // The matrix of order 0.
  SymmetricSparseMatrix() = default;

  // Takes compressed arrays as they are. `rowStart` has order + 1 rising
  // entries from 0 to columns.size(); the columns of row i, at
  // [rowStart[i], rowStart[i + 1]), are sorted, unique, >= i and < order;
  // `values` matches `columns`. Throws std::invalid_argument otherwise.
  SymmetricSparseMatrix(std::vector<std::int64_t> rowStart, std::vector<Equation> columns,
                        std::vector<double> values);

  Equation Order() const { return static_cast<Equation>(rowStart_.size() - 1); }
  // Entries of the upper triangle, diagonal included.
  std::int64_t StoredEntries() const { return static_cast<std::int64_t>(columns_.size()); }

  const std::vector<std::int64_t>& RowStart() const { return rowStart_; }
  const std::vector<Equation>& Columns() const { return columns_; }
  const std::vector<double>& Values() const { return values_; }

  // y = A x with the whole symmetric matrix. `x` and `y` hold Order() values
  // each and must not overlap.
  void Multiply(const double* x, double* y) const;
  // Y = A X for `columns` vectors at once, X and Y column-major with
  // Order() rows, not overlapping: one pass over the matrix for all of them
  // (the product is bound by reading the matrix).
  void Multiply(const double* x, double* y, int columns) const;
  // The same, sized by the matrix; throws std::invalid_argument when x does
  // not hold Order() values.
  std::vector<double> Multiply(const std::vector<double>& x) const;

 private:
  std::vector<std::int64_t> rowStart_{0};
  std::vector<Equation> columns_;
  std::vector<double> values_;
};

}  // namespace Kestrum::Quilm::Solver::Native
