// Tests of the deck export's compact tables: each against a plain standard
// container doing the same job, across the sizes where they grow.
#include "solver/ccx/export_tables.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <unordered_map>

#include "solver/ccx/ccx_export_internal.hpp"
#include "solver/ccx/nodal_sums.hpp"
#include "solver/ccx/solver_model.hpp"

namespace Kestrum::Quilm::Solver::detail {
namespace {

TEST(EdgeTable, KeepsEveryEdgeAcrossGrowthAsAMapWould) {
  // Unreserved (hashed), reserved for far fewer edges than come (grows),
  // and spread over fewer node ids than are used (the rest hashed).
  struct Case {
    std::size_t edges;
    long nodeRange;
  };
  for (const Case& c : {Case{0, 0}, Case{100, 3001}, Case{30000, 1000}}) {
    SCOPED_TRACE(c.nodeRange);
    std::mt19937 random(7);
    std::uniform_int_distribution<long> node(1, 3000);
    EdgeTable table;
    if (c.edges > 0) table.Reserve(c.edges, c.nodeRange);
    std::unordered_map<std::uint64_t, EdgeNodes> oracle;
    for (int i = 0; i < 20000; ++i) {
      const long a = node(random);
      // Mostly near neighbours, as a mesh's edges are.
      const long b = i % 4 ? std::min(a + 1 + i % 7, 3000L) : node(random);
      const std::uint64_t key = EdgeKey(a, b);
      table.Prefetch(key);
      EdgeNodes& edge = table.At(key);
      EdgeNodes& expected = oracle[key];
      if (i % 3 == 0) edge.mid = expected.mid = i + 1;
      edge.AddShellUse();
      ++expected.shellUses;
    }
    ASSERT_EQ(table.size(), oracle.size());
    std::size_t seen = 0;
    table.ForEach([&](std::uint64_t key, const EdgeNodes& edge) {
      ++seen;
      const auto found = oracle.find(key);
      ASSERT_NE(found, oracle.end());
      EXPECT_EQ(edge.mid, found->second.mid);
      EXPECT_EQ(edge.shellUses, found->second.shellUses);
    });
    EXPECT_EQ(seen, oracle.size());
  }
  EXPECT_EQ(EdgeEnds(EdgeKey(9, 4)), std::make_pair(4L, 9L));
}

TEST(EdgeTable, ShellUsesStopAtTheirLimit) {
  EdgeNodes edge;
  for (int i = 0; i < 70000; ++i) edge.AddShellUse();
  EXPECT_EQ(edge.shellUses, UINT16_MAX);  // still "several", never back to none
}

// Sums as one map entry per node, added to in order, would give them.
std::map<long, Dofs> MapSums(const std::vector<std::pair<long, Dofs>>& added) {
  std::map<long, Dofs> sums;
  for (const auto& [node, dofs] : added) {
    for (int k = 0; k < 6; ++k) sums[node][k] += dofs[k];
  }
  return sums;
}

TEST(NodalSums, SumBitForBitAsAMapInTheOrderAdded) {
  std::mt19937 random(3);
  std::uniform_int_distribution<long> node(1, 50);
  std::uniform_real_distribution<double> value(-1e3, 1e3);
  for (double factor : {1.0, -0.35}) {
    SCOPED_TRACE(factor);
    std::vector<std::pair<long, Dofs>> first, second;
    NodalSums a, b;
    for (int i = 0; i < 400; ++i) {
      // Every third addition without a moment, some with one of -0.
      const Dofs d{value(random), value(random), -0.0, i % 3 ? value(random) * 1e-9 : -0.0, 0.0,
                   i % 3 ? value(random) : 0.0};
      auto& list = i % 2 ? first : second;
      auto& sums = i % 2 ? a : b;
      list.emplace_back(node(random), d);
      sums.Add(list.back().first, vec3d(d[0], d[1], d[2]), vec3d(d[3], d[4], d[5]));
    }
    // Two load cases with a factor each, as a combination adds them.
    std::map<long, Dofs> expected;
    for (const auto* list : {&first, &second}) {
      for (const auto& [n, dofs] : MapSums(*list)) {
        for (int k = 0; k < 6; ++k) expected[n][k] += factor * dofs[k];
      }
    }
    NodalSums combined;
    combined.AddScaled(std::move(a), factor);
    combined.AddScaled(std::move(b), factor);
    combined.Settle();
    ASSERT_EQ(combined.Forces().size(), expected.size());
    auto want = expected.begin();
    combined.ForEachSum([&](long node, const Dofs& dofs) {
      EXPECT_EQ(node, want->first);
      for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(dofs[k], want->second[k]) << "node " << node;
        if (dofs[k] == 0.0) {
          EXPECT_FALSE(std::signbit(dofs[k])) << "node " << node;
        }
      }
      ++want;
    });
  }
}

TEST(NodalSums, AOneCaseStepTurnsNegativeZeroIntoZero) {
  NodalSums loads, step;
  loads.Add(4, vec3d(-0.0, 1.0, 0.0), vec3d());
  step.AddScaled(std::move(loads), 1.0);
  step.Settle();
  ASSERT_EQ(step.Forces().size(), 1u);
  EXPECT_FALSE(std::signbit(step.Forces()[0].value[0]));
}

TEST(ExtraParts, ListTheElementThenItsPartsAndRefuseDisorder) {
  ExtraParts parts;
  parts.Add(3, 100, 2);
  parts.Add(8, 102, 1);
  auto list = [&](long element) {
    std::vector<long> ids;
    parts.ForEach(element, [&](long id) { ids.push_back(id); });
    return ids;
  };
  EXPECT_EQ(list(3), (std::vector<long>{3, 100, 101}));
  EXPECT_EQ(list(8), (std::vector<long>{8, 102}));
  EXPECT_EQ(list(5), (std::vector<long>{5}));
  EXPECT_EQ(list(1000), (std::vector<long>{1000}));
  EXPECT_THROW(parts.Add(8, 103, 1), std::logic_error);
}

TEST(NodeTable, GapsAndRemovedNodesAreSkipped) {
  NodeTable nodes;
  nodes.Add(2, pos3d(2, 0, 0));
  nodes.Add(3, pos3d(3, 0, 0));
  nodes.Add(6, pos3d(6, 0, 0));
  EXPECT_THROW(nodes.Add(6, pos3d()), std::logic_error);
  nodes.Remove(3);
  EXPECT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes.count(3), 0u);
  EXPECT_EQ(nodes.count(4), 0u);
  ASSERT_NE(nodes.Find(6), nullptr);
  EXPECT_EQ(nodes.Find(6)->x, 6.0);
  std::vector<long> ids;
  nodes.ForEach([&](long id, const pos3d&) { ids.push_back(id); });
  EXPECT_EQ(ids, (std::vector<long>{2, 6}));
  const NodeBlock block = nodes.Release();
  EXPECT_EQ(block.Count(), 2u);
  EXPECT_TRUE(block.Has(0));
  EXPECT_FALSE(block.Has(1));
}

TEST(BlockVector, IndexesAcrossBlocksAndOnlyGrows) {
  BlockVector<long> values;
  const std::size_t count = BlockVector<long>::kBlockSize + 3;
  for (std::size_t i = 0; i < count; ++i) values.push_back(static_cast<long>(i));
  values.resize(2);  // never shrinks
  ASSERT_EQ(values.size(), count);
  EXPECT_EQ(values[BlockVector<long>::kBlockSize - 1], static_cast<long>(BlockVector<long>::kBlockSize - 1));
  EXPECT_EQ(values[count - 1], static_cast<long>(count - 1));
  values.resize(count + 2);
  EXPECT_EQ(values[count + 1], 0);
}

TEST(RowStore, RowsSurviveBlockBoundariesAndRefuseOtherWidthsAndLargeIds) {
  RowStore rows;
  const std::size_t count = 2 * RowStore::kRowsPerBlock + 5;
  for (std::size_t i = 0; i < count; ++i) {
    const long id = static_cast<long>(i);
    rows.Add(ElementRow{id, id + 1, id + 2}, "B1");
  }
  ASSERT_EQ(rows.Count(), count);
  for (std::size_t i : {std::size_t{0}, RowStore::kRowsPerBlock - 1, RowStore::kRowsPerBlock, count - 1}) {
    EXPECT_EQ(rows.Row(i)[0], static_cast<std::int32_t>(i));
    EXPECT_EQ(rows.Row(i)[2], static_cast<std::int32_t>(i + 2));
  }
  EXPECT_THROW(rows.Add(ElementRow{1, 2}, "B1"), std::logic_error);
  EXPECT_THROW(rows.Add(ElementRow{1, 2, 1L << 40}, "B1"), std::out_of_range);
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::detail
