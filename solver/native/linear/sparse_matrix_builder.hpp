// Assembly of a symmetric sparse matrix from contributions: single entries
// or dense element blocks, summed where they meet, compressed once into the
// upper triangle (SymmetricSparseMatrix).
//
// Memory drives the design: a large model brings a few hundred million
// contributions. They are kept as three flat arrays (row, column, value;
// 16 bytes each) and compressed in place, row by row, so that the
// contributions are never held twice: the peak is the contributions
// themselves, and the compressed matrix ends in the same storage.
#pragma once

#include <cstddef>
#include <vector>

#include "solver/native/linear/sparse_matrix.hpp"

namespace Kestrum::Quilm::Solver::Native {

class SymmetricMatrixBuilder {
 public:
  // A builder for a matrix of `order` equations (0 <= order < 2^31). Every
  // row gets its diagonal entry, zero if nothing is added to it, so that an
  // equation no element touches still reaches the factorisation (which
  // reports it as a null pivot) instead of vanishing from the matrix.
  explicit SymmetricMatrixBuilder(Equation order);

  Equation Order() const { return order_; }
  // Contributions held so far, the diagonal placeholders included.
  std::size_t Contributions() const { return rows_.size(); }

  // Makes room for `count` more contributions; an element block of m active
  // equations brings m (m + 1) / 2. Reserving the total up front avoids the
  // growth of the arrays, which briefly holds them twice.
  void Reserve(std::size_t count);

  // Adds `value` to A(row, column), and so to A(column, row): an off-diagonal
  // pair is given once, from either triangle. Throws std::out_of_range for an
  // equation outside [0, order).
  void Add(Equation row, Equation column, double value);

  // Adds a dense symmetric block: block[a * count + b] goes to
  // A(equations[a], equations[b]) (row- or column-major alike, the block
  // being symmetric). A negative equation number marks a fixed or removed
  // freedom: its row and column of the block are skipped. An equation may
  // appear more than once (freedoms tied together); their terms are summed.
  // Throws std::out_of_range for an equation >= order.
  void AddBlock(const Equation* equations, std::size_t count, const double* block);
  void AddBlock(const std::vector<Equation>& equations, const std::vector<double>& block);

  // Sums the contributions into the compressed upper triangle (sorted,
  // unique), in the builder's own storage, which it takes: the builder is
  // spent (call as std::move(builder).Compress()). Entries that sum to zero
  // are kept: the pattern is that of the assembly, whatever the values.
  SymmetricSparseMatrix Compress() &&;

 private:
  void Push(Equation row, Equation column, double value);

  Equation order_;
  // One contribution per index, its row <= its column (upper triangle).
  std::vector<Equation> rows_;
  std::vector<Equation> columns_;
  std::vector<double> values_;
};

}  // namespace Kestrum::Quilm::Solver::Native
