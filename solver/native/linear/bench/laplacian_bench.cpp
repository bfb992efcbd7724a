// Times the linear back end on the 7-point Laplacian of an m x m x m grid
// (one face held): assembly and compression, analysis, factorisation and a
// solve of several right-hand sides, with the residual reached. For the
// choice of BLAS (compare a run against the reference BLAS by putting its
// folder first on LD_LIBRARY_PATH) and of the factorisation kind.
//
//   laplacian_bench [m=59] [pivoting=0] [rhs=4]
//
// pivoting=1 factorises as a stiffness matrix (general symmetric, with
// pivoting and null pivot detection), 0 as positive definite.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "solver/native/linear/mumps_factorisation.hpp"
#include "solver/native/linear/sparse_matrix_builder.hpp"

namespace {

using namespace Kestrum::Quilm::Solver::Native;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

SymmetricSparseMatrix Laplacian(int m) {
  const auto at = [m](int i, int j, int k) { return static_cast<Equation>((i * m + j) * m + k); };
  SymmetricMatrixBuilder builder(m * m * m);
  builder.Reserve(3 * 3 * static_cast<std::size_t>(m) * m * m);
  const std::vector<double> link{1.0, -1.0, -1.0, 1.0};
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < m; ++j) {
      for (int k = 0; k < m; ++k) {
        if (i + 1 < m) builder.AddBlock({at(i, j, k), at(i + 1, j, k)}, link);
        if (j + 1 < m) builder.AddBlock({at(i, j, k), at(i, j + 1, k)}, link);
        if (k + 1 < m) builder.AddBlock({at(i, j, k), at(i, j, k + 1)}, link);
        if (i == 0) builder.Add(at(i, j, k), at(i, j, k), 1.0);  // the held face
      }
    }
  }
  return std::move(builder).Compress();
}

}  // namespace

int main(int argc, char** argv) {
  const int m = argc > 1 ? std::atoi(argv[1]) : 59;
  const bool pivoting = argc > 2 && std::atoi(argv[2]) != 0;
  const int rhs = argc > 3 ? std::atoi(argv[3]) : 4;

  auto start = Clock::now();
  const SymmetricSparseMatrix matrix = Laplacian(m);
  std::printf("order %d, %lld stored entries, assembly %.2f s\n", matrix.Order(),
              static_cast<long long>(matrix.StoredEntries()), Seconds(start));

  FactorisationOptions options;
  options.kind = pivoting ? MatrixKind::Stiffness : MatrixKind::PositiveDefinite;
  MumpsFactorisation factorisation(options);
  start = Clock::now();
  factorisation.Analyse(matrix);
  const AnalysisEstimate estimate = factorisation.Estimate();
  std::printf("analysis %.2f s: %lld MB estimated, %lld factor entries, ordering %d\n", Seconds(start),
              static_cast<long long>(estimate.peakMegabytes), static_cast<long long>(estimate.factorEntries),
              static_cast<int>(estimate.ordering));
  start = Clock::now();
  factorisation.Factorise(matrix);
  std::printf("factorisation %.2f s, %lld negative pivots, %zu null pivots\n", Seconds(start),
              static_cast<long long>(factorisation.NegativePivots()), factorisation.NullPivots().size());

  const std::size_t n = static_cast<std::size_t>(matrix.Order());
  std::vector<double> block(n * rhs);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = std::sin(0.001 * static_cast<double>(i));
  const std::vector<double> loads = block;
  start = Clock::now();
  factorisation.Solve(block.data(), rhs);
  std::printf("solve of %d right-hand sides %.2f s\n", rhs, Seconds(start));

  std::vector<double> product(n);
  double worst = 0.0;
  for (int c = 0; c < rhs; ++c) {
    matrix.Multiply(block.data() + c * n, product.data());
    double residual = 0.0, load = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      residual = std::max(residual, std::abs(product[i] - loads[c * n + i]));
      load = std::max(load, std::abs(loads[c * n + i]));
    }
    worst = std::max(worst, residual / load);
  }
  std::printf("largest relative residual %.1e\n", worst);
  return 0;
}
