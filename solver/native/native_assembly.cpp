// Assembly straight into the compressed upper triangle. A node's equations
// are consecutive and every element couples all the equations of its nodes,
// so the matrix's pattern is the node graph's with each node a block: it is
// laid out from the node graph (a few entries per node, not per matrix
// term), and each element matrix is added in place, with no list of
// contributions to sort.
#include <algorithm>

#include "solver/native/native_internal.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

// Each node's equations: the first one and how many (0 for none).
struct NodeEquations {
  std::vector<Equation> first;
  std::vector<int> count;
};

NodeEquations EquationsByNode(const EquationMap& map, std::size_t nodes) {
  NodeEquations out{std::vector<Equation>(nodes, -1), std::vector<int>(nodes, 0)};
  for (std::size_t n = 0; n < nodes; ++n) {
    for (int d = 0; d < kNodeDofs; ++d) {
      const Equation e = map.equationOf[n * kNodeDofs + static_cast<std::size_t>(d)];
      if (e < 0) continue;
      if (out.first[n] < 0) out.first[n] = e;
      ++out.count[n];
    }
  }
  return out;
}

// For each node, the later nodes it shares an element with, ascending, and
// where each one's block starts within the node's rows past its own block.
struct NodeGraph {
  std::vector<std::vector<int>> later;
  std::vector<std::vector<int>> offset;
};

NodeGraph LaterNeighbours(const ElementMatrices& matrices, const NodeEquations& eq, std::size_t nodes) {
  NodeGraph graph{std::vector<std::vector<int>>(nodes), std::vector<std::vector<int>>(nodes)};
  for (std::size_t i = 0; i < matrices.Count(); ++i) {
    for (int a : matrices.Nodes(i))
      for (int b : matrices.Nodes(i))
        if (b > a && eq.count[static_cast<std::size_t>(a)] && eq.count[static_cast<std::size_t>(b)])
          graph.later[static_cast<std::size_t>(a)].push_back(b);
  }
  for (std::size_t n = 0; n < nodes; ++n) {
    auto& list = graph.later[n];
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    int at = 0;
    for (int j : list) {
      graph.offset[n].push_back(at);
      at += eq.count[static_cast<std::size_t>(j)];
    }
  }
  return graph;
}

}  // namespace

SymmetricSparseMatrix AssembleByNodes(const ElementMatrices& matrices, const EquationMap& map, std::size_t nodes) {
  return AssembleByNodes(matrices, map, nodes, map.springs);
}

SymmetricSparseMatrix AssembleByNodes(const ElementMatrices& matrices, const EquationMap& map, std::size_t nodes,
                                      const std::vector<std::pair<std::int64_t, double>>& diagonal) {
  const NodeEquations eq = EquationsByNode(map, nodes);
  const NodeGraph graph = LaterNeighbours(matrices, eq, nodes);
  // Row e of node n: n's own equations from e on, then each later
  // neighbour's block.
  std::vector<std::int64_t> rowStart(static_cast<std::size_t>(map.Count()) + 1, 0);
  std::vector<std::int64_t> beyond(nodes, 0);  // entries of the later neighbours' blocks
  for (std::size_t n = 0; n < nodes; ++n) {
    for (int j : graph.later[n]) beyond[n] += eq.count[static_cast<std::size_t>(j)];
    for (int k = 0; k < eq.count[n]; ++k) {
      const auto e = static_cast<std::size_t>(eq.first[n] + k);
      rowStart[e + 1] = rowStart[e] + (eq.count[n] - k) + beyond[n];
    }
  }
  std::vector<Equation> columns(static_cast<std::size_t>(rowStart.back()));
  for (std::size_t n = 0; n < nodes; ++n) {
    for (int k = 0; k < eq.count[n]; ++k) {
      auto at = static_cast<std::size_t>(rowStart[static_cast<std::size_t>(eq.first[n] + k)]);
      for (int c = k; c < eq.count[n]; ++c) columns[at++] = eq.first[n] + c;
      for (int j : graph.later[n])
        for (int c = 0; c < eq.count[static_cast<std::size_t>(j)]; ++c) columns[at++] = eq.first[static_cast<std::size_t>(j)] + c;
    }
  }
  std::vector<double> values(columns.size(), 0.0);
  for (std::size_t i = 0; i < matrices.Count(); ++i) {
    const std::vector<int>& elementNodes = matrices.Nodes(i);
    const int size = matrices.Size(i);
    const double* k = matrices.Matrix(i);
    for (std::size_t p = 0; p < elementNodes.size(); ++p) {
      const auto a = static_cast<std::size_t>(elementNodes[p]);
      for (std::size_t q = 0; q < elementNodes.size(); ++q) {
        const auto b = static_cast<std::size_t>(elementNodes[q]);
        if (b < a || !eq.count[a] || !eq.count[b]) continue;
        // Where b's block starts in a's rows, past a's own block.
        int block = 0;
        if (b != a) {
          const auto& later = graph.later[a];
          block = graph.offset[a][static_cast<std::size_t>(std::lower_bound(later.begin(), later.end(), static_cast<int>(b)) - later.begin())];
        }
        for (int da = 0; da < kNodeDofs; ++da) {
          const Equation ea = map.equationOf[a * kNodeDofs + static_cast<std::size_t>(da)];
          if (ea < 0) continue;
          const int own = eq.count[a] - (ea - eq.first[a]);  // a's own columns in row ea
          for (int db = 0; db < kNodeDofs; ++db) {
            const Equation eb = map.equationOf[b * kNodeDofs + static_cast<std::size_t>(db)];
            if (eb < 0 || (b == a && eb < ea)) continue;
            const std::int64_t column = b == a ? eb - ea : own + block + (eb - eq.first[b]);
            values[static_cast<std::size_t>(rowStart[static_cast<std::size_t>(ea)] + column)] +=
                k[(static_cast<int>(p) * kNodeDofs + da) * size + static_cast<int>(q) * kNodeDofs + db];
          }
        }
      }
    }
  }
  for (const auto& [raw, value] : diagonal) {
    const Equation e = map.equationOf[static_cast<std::size_t>(raw)];
    if (e >= 0) values[static_cast<std::size_t>(rowStart[static_cast<std::size_t>(e)])] += value;
  }
  return SymmetricSparseMatrix(std::move(rowStart), std::move(columns), std::move(values));
}

}  // namespace Kestrum::Quilm::Solver::Native
