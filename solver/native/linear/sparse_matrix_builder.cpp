// Assembly of contributions and their compression in place: the
// contributions are moved into row buckets by cycle-leader permutations
// (an in-place radix sort on the row, in two passes, linear time, no second
// copy), then each row is sorted by column and its duplicates summed,
// written forward over the storage already read.
#include "solver/native/linear/sparse_matrix_builder.hpp"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace Kestrum::Quilm::Solver::Native {
namespace {

using Index = std::int64_t;

// The start of each row's bucket: counts of contributions per row, summed.
std::vector<Index> BucketStarts(const std::vector<Equation>& rows, Equation order) {
  std::vector<Index> start(static_cast<std::size_t>(order) + 1, 0);
  for (Equation row : rows) ++start[row + 1];
  for (Equation row = 0; row < order; ++row) start[row + 1] += start[row];
  return start;
}

// The three arrays of contributions, swapped together.
struct Triplets {
  std::vector<Equation>& rows;
  std::vector<Equation>& columns;
  std::vector<double>& values;
  void Swap(Index i, Index j) {
    std::swap(rows[i], rows[j]);
    std::swap(columns[i], columns[j]);
    std::swap(values[i], values[j]);
  }
};

// Permutes the contributions of [start[0], start[count]) in place so that
// those of bucket b = bucketOf(row) fill [start[b], start[b + 1]). Each swap
// puts one contribution in its bucket for good.
template <typename BucketOf>
void MoveIntoBuckets(Triplets& data, const Index* start, Index count, BucketOf bucketOf) {
  std::vector<Index> next(start, start + count);
  for (Index bucket = 0; bucket < count; ++bucket) {
    while (next[bucket] < start[bucket + 1]) {
      const Index here = next[bucket];
      const Index owner = bucketOf(data.rows[here]);
      if (owner == bucket) {
        ++next[bucket];
        continue;
      }
      data.Swap(here, next[owner]++);
    }
  }
}

// Moves every contribution into its row's bucket, [rowStart[r],
// rowStart[r + 1]), in two passes: first into blocks of rows few enough
// (at most 2^kBlockBits) that the places written to stay in cache, then
// within each block. One pass over all rows at once jumps through memory
// at every swap and is ten times slower on large models.
void MoveIntoRows(Triplets& data, const std::vector<Index>& rowStart) {
  constexpr int kBlockBits = 10;
  const Index order = static_cast<Index>(rowStart.size()) - 1;
  int shift = 0;
  while ((order >> shift) >= (Index{1} << kBlockBits)) ++shift;
  const Index blockRows = Index{1} << shift;
  const Index blocks = (order + blockRows - 1) / blockRows;

  std::vector<Index> blockStart(static_cast<std::size_t>(blocks) + 1);
  for (Index block = 0; block <= blocks; ++block)
    blockStart[block] = rowStart[std::min(block * blockRows, order)];
  MoveIntoBuckets(data, blockStart.data(), blocks, [shift](Equation row) { return Index{row} >> shift; });
  for (Index block = 0; block < blocks; ++block) {
    const Index first = block * blockRows;
    const Index count = std::min(blockRows, order - first);
    MoveIntoBuckets(data, rowStart.data() + first, count, [first](Equation row) { return row - first; });
  }
}

// Sorts one row's bucket by column, sums duplicates and writes the unique
// entries from `out` on (out <= the bucket's start: the row reads ahead of
// where it writes). Returns the new end of the written entries.
Index CompressRow(std::vector<Equation>& columns, std::vector<double>& values, Index begin, Index end,
                  Index out, std::vector<std::pair<Equation, double>>& scratch) {
  scratch.clear();
  for (Index k = begin; k < end; ++k) scratch.emplace_back(columns[k], values[k]);
  std::sort(scratch.begin(), scratch.end(),
            [](const auto& left, const auto& right) { return left.first < right.first; });
  for (std::size_t k = 0; k < scratch.size();) {
    const Equation column = scratch[k].first;
    double sum = 0.0;
    for (; k < scratch.size() && scratch[k].first == column; ++k) sum += scratch[k].second;
    columns[out] = column;
    values[out] = sum;
    ++out;
  }
  return out;
}

// Drops the capacity past the size: a vector's own shrink copies into a
// right-sized buffer, and only one array is copied at a time.
template <typename T>
void Trim(std::vector<T>& array, Index size) {
  array.resize(static_cast<std::size_t>(size));
  array.shrink_to_fit();
}

void CheckEquation(Equation equation, Equation order) {
  if (equation >= order) {
    throw std::out_of_range("matrix assembly: equation " + std::to_string(equation) +
                            " of a matrix of order " + std::to_string(order));
  }
}

}  // namespace

SymmetricMatrixBuilder::SymmetricMatrixBuilder(Equation order) : order_(order) {
  if (order < 0) throw std::invalid_argument("matrix assembly: negative order " + std::to_string(order));
  Reserve(static_cast<std::size_t>(order));
  for (Equation row = 0; row < order; ++row) Push(row, row, 0.0);
}

void SymmetricMatrixBuilder::Reserve(std::size_t count) {
  rows_.reserve(rows_.size() + count);
  columns_.reserve(columns_.size() + count);
  values_.reserve(values_.size() + count);
}

void SymmetricMatrixBuilder::Push(Equation row, Equation column, double value) {
  if (row > column) std::swap(row, column);
  rows_.push_back(row);
  columns_.push_back(column);
  values_.push_back(value);
}

void SymmetricMatrixBuilder::Add(Equation row, Equation column, double value) {
  if (row < 0 || column < 0) {
    throw std::out_of_range("matrix assembly: negative equation number " +
                            std::to_string(std::min(row, column)));
  }
  CheckEquation(std::max(row, column), order_);
  Push(row, column, value);
}

void SymmetricMatrixBuilder::AddBlock(const Equation* equations, std::size_t count, const double* block) {
  for (std::size_t a = 0; a < count; ++a) CheckEquation(equations[a], order_);
  for (std::size_t a = 0; a < count; ++a) {
    const Equation row = equations[a];
    if (row < 0) continue;
    // Of the pairs (a, b) and (b, a) only the one with the lower equation
    // first is taken: it stands for both. Pairs on one equation (a == b, or
    // two freedoms tied to it) are each taken, as each adds to the diagonal.
    for (std::size_t b = 0; b < count; ++b) {
      const Equation column = equations[b];
      if (column < row) continue;
      Push(row, column, block[a * count + b]);
    }
  }
}

void SymmetricMatrixBuilder::AddBlock(const std::vector<Equation>& equations,
                                      const std::vector<double>& block) {
  if (block.size() != equations.size() * equations.size()) {
    throw std::invalid_argument("matrix assembly: a block of " + std::to_string(block.size()) +
                                " values for " + std::to_string(equations.size()) + " equations");
  }
  AddBlock(equations.data(), equations.size(), block.data());
}

SymmetricSparseMatrix SymmetricMatrixBuilder::Compress() && {
  const std::vector<Index> start = BucketStarts(rows_, order_);
  Triplets data{rows_, columns_, values_};
  MoveIntoRows(data, start);
  std::vector<Equation>().swap(rows_);  // the buckets now say the row

  std::vector<Index> rowStart(start.size(), 0);
  std::vector<std::pair<Equation, double>> scratch;
  Index out = 0;
  for (Equation row = 0; row < order_; ++row) {
    out = CompressRow(columns_, values_, start[row], start[row + 1], out, scratch);
    rowStart[row + 1] = out;
  }
  Trim(columns_, out);
  Trim(values_, out);
  return SymmetricSparseMatrix(std::move(rowStart), std::move(columns_), std::move(values_));
}

}  // namespace Kestrum::Quilm::Solver::Native
