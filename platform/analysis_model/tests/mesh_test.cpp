// Nodes, elements, node orders, per-node ids and the connectivity manager.
#include <gtest/gtest.h>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

using MeshTest = XafModelTest;

TEST_F(MeshTest, NodesAndElementsCountFromOne) {
  EXPECT_EQ(AddNode(0, 0, 0), 1);
  EXPECT_EQ(AddNode(1, 0, 0), 2);
  EXPECT_EQ(AddNode(2, 0, 0), 3);
  EXPECT_EQ(model->Elements().AddElement(qlElementType::Beam2(), {1, 2}), 1);
  EXPECT_EQ(model->Elements().AddElement(qlElementType::Beam2(), {2, 3}), 2);
  std::vector<long> ids(model->Nodes().begin(), model->Nodes().end());
  EXPECT_EQ(ids, (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(model->Nodes().GetNodeIds().run_count(), 1u);
  EXPECT_EQ(model->Elements().Count(), 2u);
  EXPECT_EQ(model->Elements().GetElementIds(), (std::vector<long>{1, 2}));
}

TEST_F(MeshTest, BadElementsAreRefusedWithoutEffect) {
  AddNode(0, 0, 0);
  AddNode(1, 0, 0);
  struct Case {
    const char* what;
    const qlElementType& type;
    std::vector<long> nodes;
  } cases[] = {
      {"unknown node", qlElementType::Beam2(), {1, 7}},
      {"node 0", qlElementType::Beam2(), {0, 1}},
      {"too few nodes", qlElementType::Beam3(), {1, 2}},
      {"too many nodes", qlElementType::Beam2(), {1, 2, 1}},
      {"node twice", qlElementType::Beam2(), {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_THROW(model->Elements().AddElement(c.type, c.nodes), ModelError);
    EXPECT_EQ(model->Elements().Count(), 0u);
    EXPECT_EQ(model->Validate(), "");
  }
  EXPECT_EQ(model->Elements().AddElement(qlElementType::Beam2(), {1, 2}), 1);
  EXPECT_THROW(model->Nodes().AddNode(pos3d(std::nan(""), 0, 0)), ModelError);
  EXPECT_EQ(model->Nodes().Count(), 2u);
}

TEST_F(MeshTest, UnknownIdsNameTableAndId) {
  AddBeamChain(1);
  try {
    model->Elements().GetElement(42);
    FAIL() << "no exception";
  } catch (const ModelError& e) {
    EXPECT_NE(std::string(e.what()).find("element 42"), std::string::npos) << e.what();
  }
  try {
    model->GetConnectivityManager().GetNodeById(9);
    FAIL() << "no exception";
  } catch (const ModelError& e) {
    EXPECT_NE(std::string(e.what()).find("node 9"), std::string::npos) << e.what();
  }
  EXPECT_THROW(model->GetConnectivityManager().GetElementPoint(0), ModelError);
  EXPECT_THROW(model->Elements().ReverseNodeNumbers(2), ModelError);
  EXPECT_THROW(model->Elements().RemoveElement(-1, true), ModelError);
}

// The three-node beam stores (end, end, middle): sort order 0 follows the
// stored order, sort order 2 walks along the beam.
TEST_F(MeshTest, NodeOrdersOfAThreeNodeBeam) {
  const long a = AddNode(0, 0, 0), b = AddNode(2, 0, 0), mid = AddNode(1, 0, 0);
  const long e = model->Elements().AddElement(qlElementType::Beam3(), {a, b, mid});
  const Element el = model->GetConnectivityManager().GetElementById(e);
  EXPECT_EQ(el.GetNode(0, Element::Stored), a);
  EXPECT_EQ(el.GetNode(1, Element::Stored), b);
  EXPECT_EQ(el.GetNode(2, Element::Stored), mid);
  EXPECT_EQ(el.GetNode(0, Element::Geometric), a);
  EXPECT_EQ(el.GetNode(1, Element::Geometric), mid);
  EXPECT_EQ(el.GetNode(2, Element::Geometric), b);
  EXPECT_EQ(el.GetNodeIndex(1, Element::Geometric), 2u);
  EXPECT_THROW(el.GetNodeIndex(3, Element::Stored), std::out_of_range);

  std::vector<pos3d> positions{pos3d(9, 9, 9)};
  model->GetConnectivityManager().GetElementNodes(e, positions, Element::Geometric);
  ASSERT_EQ(positions.size(), 3u);
  EXPECT_EQ(positions[1], pos3d(1, 0, 0));
  model->GetConnectivityManager().GetElementNodes(e, positions, Element::Stored);
  EXPECT_EQ(positions[1], pos3d(2, 0, 0));
  EXPECT_EQ(model->GetConnectivityManager().GetElementPoint(e), pos3d(1, 0, 0));
}

TEST_F(MeshTest, ElementPointIsTheMeanOfItsNodes) {
  AddNode(0, 0, 0);
  AddNode(2, 0, 0);
  AddNode(2, 4, 0);
  AddNode(0, 4, 3);
  const long e = model->Elements().AddElement(qlElementType::Shell4(), {1, 2, 3, 4});
  const pos3d p = model->GetConnectivityManager().GetElementPoint(e);
  EXPECT_DOUBLE_EQ(p.x, 1.0);
  EXPECT_DOUBLE_EQ(p.y, 2.0);
  EXPECT_DOUBLE_EQ(p.z, 0.75);
}

TEST_F(MeshTest, ReverseMovesPerNodeIdsWithTheirNodes) {
  const long a = AddNode(0, 0, 0), b = AddNode(2, 0, 0), mid = AddNode(1, 0, 0);
  const long e = model->Elements().AddElement(qlElementType::Beam3(), {a, b, mid});
  const long ea = model->Eccentricities().AddEccentricity(vec3d(0, 0, 1), -1);
  const long eb = model->Eccentricities().AddEccentricity(vec3d(0, 0, 2), -1);
  auto x = model->Elements().GetElement(e);
  x->SetNodeEccentricity(0, ea);
  x->SetNodeEccentricity(1, eb);
  EXPECT_TRUE(model->Elements().ReverseNodeNumbers(e));
  const Element el = x->GetElementWithInternalNodeIds();
  EXPECT_EQ(el.GetNode(0, Element::Geometric), b);
  EXPECT_EQ(el.GetNode(1, Element::Geometric), mid);
  EXPECT_EQ(el.GetNode(2, Element::Geometric), a);
  // The eccentricity of node a now sits where a is stored.
  for (unsigned i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const long node = el.GetNode(i, Element::Stored);
    EXPECT_EQ(x->GetNodeEccentricity(i), node == a ? ea : node == b ? eb : 0);
  }
  EXPECT_TRUE(model->Elements().ReverseNodeNumbers(e));
  EXPECT_EQ(x->GetElementWithInternalNodeIds().GetNodeIds(), (std::vector<long>{a, b, mid}));
}

TEST_F(MeshTest, SectionAndMaterialAcceptMinusOneZeroAndExistingIds) {
  const long e = AddBeamChain(1);
  const long s = model->Sections().AddSection(qlSection::Rectangle(0.2, 0.1), "R", -1);
  const long m = model->Materials().AddMaterial(qlMaterial(2.1e11, 0.3, 7850), "S235", -1);
  auto x = model->Elements().GetElement(e);
  EXPECT_EQ(x->GetSection(), 0);
  for (long id : {-1L, 0L, s}) {
    x->SetSection(id);
    EXPECT_EQ(x->GetSection(), id);
  }
  for (long id : {-1L, 0L, m}) {
    x->SetMaterial(id);
    EXPECT_EQ(x->GetMaterial(), id);
  }
  EXPECT_THROW(x->SetSection(s + 1), ModelError);
  EXPECT_THROW(x->SetSection(-2), ModelError);
  EXPECT_THROW(x->SetMaterial(m + 5), ModelError);
  EXPECT_EQ(x->GetSection(), s);
  EXPECT_EQ(x->GetMaterial(), m);
}

// Per-node ids: one set per node makes the element-wide id -1 and keeps the
// other nodes' id; an element-wide id clears them again.
TEST_F(MeshTest, PerNodeIdsAndElementWideIds) {
  const long e = AddBeamChain(1);
  const long t1 = model->Transformations().AddTransformation(vec3d(0, 0, 1), -1);
  const long t2 = model->Transformations().AddTransformation(vec3d(0, 1, 0), -1);
  const long h = model->Hinges().AddHinge(Hinge({1, 1, 1, 0, 0, 0}));
  auto x = model->Elements().GetElement(e);
  x->SetTransformation(t1);
  EXPECT_EQ(x->GetNodeTransformation(0), t1);
  EXPECT_TRUE(x->SetNodeTransformation(1, t2));
  EXPECT_FALSE(x->SetNodeTransformation(1, t2));
  EXPECT_EQ(x->GetTransformation(), -1);
  EXPECT_EQ(x->GetNodeTransformation(0), t1);
  EXPECT_EQ(x->GetNodeTransformation(1), t2);
  EXPECT_TRUE(x->SetNodeFixation(0, h));
  EXPECT_EQ(x->GetFixation(), -1);
  EXPECT_EQ(x->GetNodeFixation(1), 0);
  EXPECT_EQ(model->Validate(), "");

  x->SetTransformation(t2);
  EXPECT_EQ(x->GetTransformation(), t2);
  EXPECT_EQ(x->GetNodeTransformation(0), t2);
  EXPECT_EQ(x->GetNodeFixation(0), h);  // other kinds stay per node
  x->SetFixation(0);
  EXPECT_EQ(x->GetNodeFixation(0), 0);
  EXPECT_EQ(model->Validate(), "");

  // Going per node explicitly keeps each node's id.
  x->SetTransformation(-1);
  EXPECT_EQ(x->GetNodeTransformation(1), t2);
  EXPECT_THROW(x->SetNodeTransformation(2, t1), ModelError);
  EXPECT_THROW(x->SetNodeTransformation(0, 99), ModelError);
  EXPECT_THROW(x->SetEccentricity(1), ModelError);
  EXPECT_THROW(x->GetNodeEccentricity(5), ModelError);
  EXPECT_EQ(x->GetNodeTransformation(0), t2);
}

// The bulk reads give what the per-element getters and GetLoads give,
// removed elements left out.
TEST_F(MeshTest, BulkReadsAgreeWithTheGetters) {
  const long first = AddBeamChain(3);
  const long ecc = model->Eccentricities().AddEccentricity(vec3d(0, 0, 1), -1);
  model->Elements().GetElement(first)->SetEccentricity(ecc);
  model->Elements().GetElement(first + 1)->SetNodeEccentricity(1, ecc);
  model->Elements().GetElement(first + 1)->SetSection(0);
  model->Elements().RemoveElement(first + 2, true);
  std::vector<long> visited;
  model->Elements().ForEachElement([&](const ElementView& view) {
    visited.push_back(view.id);
    const Element element = model->GetConnectivityManager().GetElementById(view.id);
    auto record = model->Elements().GetElement(view.id);
    EXPECT_EQ(view.type, &element.GetElementType());
    EXPECT_EQ(std::vector<long>(view.nodes, view.nodes + view.nodeCount), element.GetNodeIds());
    EXPECT_EQ(view.section, record->GetSection());
    EXPECT_EQ(view.material, record->GetMaterial());
    EXPECT_EQ(view.eccentricity, record->GetEccentricity());
    EXPECT_EQ(view.transformation, record->GetTransformation());
    EXPECT_EQ(view.fixation, record->GetFixation());
    for (unsigned k = 0; k < view.nodeCount; ++k)
      EXPECT_EQ(view.NodeEccentricity(k), record->GetNodeEccentricity(k));
  });
  EXPECT_EQ(visited, model->Elements().GetElementIds());

  model->Loads().AddLineLoad(4, first, LineLoad(vec3d(0, 0, -1)));
  model->Loads().AddPointLoad(4, 2, PointLoad(pos3d(0, 0, 0), vec3d(1, 0, 0), vec3d()));
  std::vector<std::pair<long, const Load*>> loads;
  model->Loads().ForEachLoad(4, [&](const LoadEntry& e) { loads.emplace_back(e.target, e.record.get()); });
  const auto copies = model->Loads().GetLoads(4);
  ASSERT_EQ(loads.size(), copies.size());
  for (std::size_t i = 0; i < loads.size(); ++i) {
    EXPECT_EQ(loads[i].first, copies[i].target);
    EXPECT_EQ(loads[i].second, copies[i].record.get());
  }
  model->Loads().ForEachLoad(99, [](const LoadEntry&) { ADD_FAILURE() << "no load case 99"; });
}

TEST_F(MeshTest, RemoveElementTakesItsLoadsAndSetMembership) {
  const long e1 = AddBeamChain(2);
  const long e2 = e1 + 1;
  model->Loads().AddLineLoad(1, e1, LineLoad(vec3d(0, 0, -1)));
  model->Loads().AddLineLoad(1, e2, LineLoad(vec3d(0, 0, -2)));
  model->Loads().AddLineLoad(2, e1, LineLoad(vec3d(0, 0, -3)));
  model->Loads().AddPointLoad(1, 1, PointLoad(pos3d(0, 0, 0), vec3d(1, 0, 0), vec3d()));
  EntitySet set;
  set.AddElement(e1);
  set.AddElement(e2);
  set.AddNode(1);
  const long s = model->Sets().AddSet(set, "all", -1);

  EXPECT_TRUE(model->Elements().RemoveElement(e1, true));
  EXPECT_FALSE(model->Elements().Contains(e1));
  EXPECT_EQ(model->Elements().Count(), 1u);
  ASSERT_EQ(model->Loads().GetLoads(1).size(), 2u);
  EXPECT_EQ(model->Loads().GetLoads(1)[0].target, e2);
  EXPECT_EQ(model->Loads().GetLoads(1)[1].kind, LoadKind::Point);
  EXPECT_TRUE(model->Loads().GetLoads(2).empty());
  EXPECT_EQ(model->Sets().GetSet(s)->GetEntitySet().Elements(), (std::set<long>{e2}));
  EXPECT_THROW(model->Elements().GetElement(e1), ModelError);
  EXPECT_THROW(model->Elements().RemoveElement(e1, true), ModelError);
  // Ids are never reused.
  EXPECT_EQ(model->Elements().AddElement(qlElementType::Beam2(), {1, 2}), e2 + 1);

  model->Elements().RemoveElement(e2, false);
  EXPECT_EQ(model->Loads().GetLoads(1).size(), 2u);
  model->Loads().DeleteElementLoad(1, e2);
  EXPECT_EQ(model->Loads().GetLoads(1).size(), 1u);
}

TEST_F(MeshTest, ElementHandleOfARemovedElementThrows) {
  const long e = AddBeamChain(1);
  auto x = model->Elements().GetElement(e);
  model->Elements().RemoveElement(e, true);
  EXPECT_THROW(x->GetSection(), ModelError);
  EXPECT_THROW(x->SetSection(0), ModelError);
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
