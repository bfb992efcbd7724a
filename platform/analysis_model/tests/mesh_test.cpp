// Nodes, elements, node orders, per-node ids and the connectivity manager.
#include <gtest/gtest.h>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using MeshTest = ModelFixture;

TEST_F(MeshTest, NodesAndElementsCountFromOne) {
  EXPECT_EQ(AddNode(0, 0, 0), 1);
  EXPECT_EQ(AddNode(1, 0, 0), 2);
  EXPECT_EQ(AddNode(2, 0, 0), 3);
  EXPECT_EQ(model->Elements().AddElement(qlElementType::Beam2(), {1, 2}), 1);
  EXPECT_EQ(model->Elements().AddElement(qlElementType::Beam2(), {2, 3}), 2);
  std::vector<long> ids(model->Nodes().begin(), model->Nodes().end());
  EXPECT_EQ(ids, (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(model->Elements().Count(), 2u);
  EXPECT_EQ(model->Validate(), "");
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
