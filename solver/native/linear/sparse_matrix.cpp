// The compressed symmetric matrix: its checks and the product A x.
#include "solver/native/linear/sparse_matrix.hpp"

#include <limits>
#include <stdexcept>
#include <string>

namespace Kestrum::Quilm::Solver::Native {
namespace {

void Require(bool condition, const std::string& what) {
  if (!condition) throw std::invalid_argument("compressed symmetric matrix: " + what);
}

// Row `row`'s columns lie in [row, order), strictly rising.
void CheckRow(const std::vector<Equation>& columns, std::int64_t begin, std::int64_t end, Equation row,
              Equation order) {
  Equation previous = row - 1;
  for (std::int64_t k = begin; k < end; ++k) {
    if (columns[k] <= previous || columns[k] >= order) {
      Require(false, "row " + std::to_string(row) + " has column " + std::to_string(columns[k]) +
                         " out of order, below the diagonal or past the last equation");
    }
    previous = columns[k];
  }
}

}  // namespace

SymmetricSparseMatrix::SymmetricSparseMatrix(std::vector<std::int64_t> rowStart,
                                             std::vector<Equation> columns, std::vector<double> values)
    : rowStart_(std::move(rowStart)), columns_(std::move(columns)), values_(std::move(values)) {
  Require(!rowStart_.empty() && rowStart_.front() == 0, "row starts must begin with 0");
  Require(rowStart_.size() - 1 <= static_cast<std::size_t>(std::numeric_limits<Equation>::max()),
          "too many equations for 32-bit equation numbers");
  Require(rowStart_.back() == static_cast<std::int64_t>(columns_.size()),
          "the last row start must be the entry count");
  Require(values_.size() == columns_.size(), "values and columns differ in count");
  const Equation order = Order();
  for (Equation row = 0; row < order; ++row) {
    Require(rowStart_[row] <= rowStart_[row + 1], "row starts must not fall");
    CheckRow(columns_, rowStart_[row], rowStart_[row + 1], row, order);
  }
}

void SymmetricSparseMatrix::Multiply(const double* x, double* y) const {
  const Equation order = Order();
  for (Equation row = 0; row < order; ++row) y[row] = 0.0;
  // Each stored entry (i, j), j > i, stands for both A(i, j) and A(j, i).
  for (Equation row = 0; row < order; ++row) {
    double sum = y[row];
    const double xRow = x[row];
    for (std::int64_t k = rowStart_[row]; k < rowStart_[row + 1]; ++k) {
      const Equation column = columns_[k];
      sum += values_[k] * x[column];
      if (column != row) y[column] += values_[k] * xRow;
    }
    y[row] = sum;
  }
}

void SymmetricSparseMatrix::Multiply(const double* x, double* y, int columns) const {
  if (columns == 1) return Multiply(x, y);
  const auto n = static_cast<std::size_t>(Order());
  const auto k = static_cast<std::size_t>(columns);
  // Row-major copies: each entry then reads and writes k adjacent values.
  std::vector<double> xr(n * k), yr(n * k, 0.0);
  for (std::size_t c = 0; c < k; ++c)
    for (std::size_t i = 0; i < n; ++i) xr[i * k + c] = x[c * n + i];
  for (std::size_t row = 0; row < n; ++row) {
    const double* xRow = &xr[row * k];
    double* yRow = &yr[row * k];
    for (std::int64_t e = rowStart_[row]; e < rowStart_[row + 1]; ++e) {
      const auto column = static_cast<std::size_t>(columns_[static_cast<std::size_t>(e)]);
      const double a = values_[static_cast<std::size_t>(e)];
      const double* xColumn = &xr[column * k];
      for (std::size_t c = 0; c < k; ++c) yRow[c] += a * xColumn[c];
      if (column == row) continue;
      double* yColumn = &yr[column * k];
      for (std::size_t c = 0; c < k; ++c) yColumn[c] += a * xRow[c];
    }
  }
  for (std::size_t c = 0; c < k; ++c)
    for (std::size_t i = 0; i < n; ++i) y[c * n + i] = yr[i * k + c];
}

std::vector<double> SymmetricSparseMatrix::Multiply(const std::vector<double>& x) const {
  if (x.size() != static_cast<std::size_t>(Order())) {
    throw std::invalid_argument("matrix product: the vector has " + std::to_string(x.size()) +
                                " values for " + std::to_string(Order()) + " equations");
  }
  std::vector<double> y(x.size());
  Multiply(x.data(), y.data());
  return y;
}

}  // namespace Kestrum::Quilm::Solver::Native
