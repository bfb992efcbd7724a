// Property tables: previous-id replacement and reuse, look-ups, node
// properties, eccentricities, transformations and hinges.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

using PropertyTablesTest = XafModelTest;

// One table that takes a previous id: how to add a row named `name`, how to
// delete one (if the table can), and how to read a row's name back.
struct PreviousIdTable {
  const char* table;
  std::function<long(XafModel&, const std::string& name, long previous)> add;
  std::function<void(XafModel&, long)> remove;
  std::function<std::string(XafModel&, long)> name;  // throws or "" when absent
};

std::vector<PreviousIdTable> PreviousIdTables() {
  return {
      {"material",
       [](XafModel& m, const std::string& n, long p) {
         return m.Materials().AddMaterial(qlMaterial(2e11, 0.3, 7850), n, p);
       },
       [](XafModel& m, long id) { m.Materials().DeleteMaterial(id); },
       [](XafModel& m, long id) {
         auto r = m.Materials().GetMaterial(id);
         return r ? r->GetName() : std::string();
       }},
      {"section",
       [](XafModel& m, const std::string& n, long p) {
         return m.Sections().AddSection(qlSection::Pipe(0.3, 0.01), n, p);
       },
       [](XafModel& m, long id) { m.Sections().DeleteSection(id); },
       [](XafModel& m, long id) {
         auto r = m.Sections().GetSection(id);
         return r ? r->GetName() : std::string();
       }},
      {"thickness",
       [](XafModel& m, const std::string& n, long p) { return m.Sections().AddThickness(0.25, n, p); },
       [](XafModel& m, long id) { m.Sections().DeleteSection(id); },
       [](XafModel& m, long id) {
         auto r = m.Sections().GetSection(id);
         return r ? r->GetName() : std::string();
       }},
      {"set",
       [](XafModel& m, const std::string& n, long p) {
         EntitySet s;
         s.AddNode(1);
         return m.Sets().AddSet(s, n, p);
       },
       [](XafModel& m, long id) { m.Sets().DeleteSet(id); },
       [](XafModel& m, long id) {
         auto r = m.Sets().GetSet(id);
         return r ? r->GetName() : std::string();
       }},
      {"concept",
       [](XafModel& m, const std::string& n, long p) {
         return m.StructureConcepts().AddConcept(5, 2, -1, n, p);
       },
       nullptr,
       [](XafModel& m, long id) {
         try {
           return m.StructureConcepts().GetConcept(id).name;
         } catch (const ModelError&) {
           return std::string();
         }
       }},
  };
}

TEST_F(PropertyTablesTest, PreviousIdReplacesInPlaceAndReusesDeletedIds) {
  AddNode(0, 0, 0);
  for (const PreviousIdTable& t : PreviousIdTables()) {
    SCOPED_TRACE(t.table);
    const long a = t.add(*model, "a", -1);
    const long b = t.add(*model, "b", -1);
    EXPECT_GE(a, 1);
    EXPECT_EQ(b, a + 1);
    // An id in use is replaced and returned again.
    EXPECT_EQ(t.add(*model, "a2", a), a);
    EXPECT_EQ(t.name(*model, a), "a2");
    EXPECT_EQ(t.name(*model, b), "b");
    // 0 asks for a new id, like -1; ids below -1 are refused.
    const long c = t.add(*model, "c", 0);
    EXPECT_EQ(c, b + 1);
    EXPECT_THROW(t.add(*model, "minus five", -5), ModelError);
    if (t.remove) {
      t.remove(*model, a);
      EXPECT_EQ(t.name(*model, a), "");
      EXPECT_THROW(t.remove(*model, a), ModelError);
      // A new row does not take the deleted id; asking for it does.
      EXPECT_EQ(t.add(*model, "d", -1), c + 1);
      EXPECT_EQ(t.add(*model, "a3", a), a);
      EXPECT_EQ(t.name(*model, a), "a3");
    }
    // An id never handed out is taken as given, and new ids continue above it.
    const long far = c + 50;
    EXPECT_EQ(t.add(*model, "far", far), far);
    EXPECT_EQ(t.add(*model, "next", -1), far + 1);
    EXPECT_THROW(t.add(*model, "huge", 3000000000L), ModelError);
    EXPECT_EQ(model->Validate(), "");
  }
}

TEST_F(PropertyTablesTest, ReadBackGivesDefinitionsAndEmptyForNone) {
  const long m = model->Materials().AddMaterial(qlMaterial(2.1e11, 0.3, 7850, 1.2e-5, 0.02), "S355", -1);
  auto mat = model->Materials().GetMaterial(m);
  ASSERT_TRUE(mat);
  EXPECT_EQ(*mat->GetMaterial(), qlMaterial(2.1e11, 0.3, 7850, 1.2e-5, 0.02));
  EXPECT_EQ(mat->GetName(), "S355");
  EXPECT_FALSE(model->Materials().GetMaterial(m + 1));
  EXPECT_FALSE(model->Materials().GetMaterial(-1));

  const long s = model->Sections().AddSection(qlSection::IProfile(0.2, 0.2, 0.0065, 0.01), "HE200A", -1);
  const long t = model->Sections().AddThickness(0.12, "plate", -1);
  EXPECT_EQ(*model->Sections().GetSection(s)->GetSection(), qlSection::IProfile(0.2, 0.2, 0.0065, 0.01));
  EXPECT_FALSE(model->Sections().GetSection(s)->GetThickness());
  EXPECT_FALSE(model->Sections().GetSection(t)->GetSection());
  EXPECT_EQ(*model->Sections().GetSection(t)->GetThickness(), 0.12);
  EXPECT_FALSE(model->Sections().GetSection(99));
  EXPECT_EQ(model->Sections().GetSectionIds(), (std::vector<long>{s, t}));

  // A NaN thickness is a value like any other; it must not turn a thickness into a section.
  const long nan = model->Sections().AddThickness(std::nan(""), "", -1);
  EXPECT_TRUE(std::isnan(*model->Sections().GetSection(nan)->GetThickness()));
}

TEST_F(PropertyTablesTest, SetsOnlyNameExistingEntities) {
  AddBeamChain(1);
  EntitySet bad;
  bad.AddNode(3);
  EXPECT_THROW(model->Sets().AddSet(bad, "x", -1), ModelError);
  EntitySet badElement;
  badElement.AddElement(2);
  EXPECT_THROW(model->Sets().AddSet(badElement, "x", -1), ModelError);
  EXPECT_TRUE(model->Sets().GetSetIds().empty());
  EntitySet good;
  good.AddNode(2);
  good.AddElement(1);
  const long id = model->Sets().AddSet(good, "good", -1);
  EXPECT_EQ(id, 1);  // the failed adds handed out no id
  EXPECT_EQ(model->Sets().GetSet(id)->GetEntitySet(), good);
}

TEST_F(PropertyTablesTest, ConceptsKeepTypeRoleParentAndRefuseCycles) {
  auto& c = model->StructureConcepts();
  const long root = c.AddConcept(10, 1, -1, "beam", -1);
  const long child = c.AddConcept(11, 2, root, "segment", -1);
  const StructureConcept got = c.GetConcept(child);
  EXPECT_EQ(got.type, 11);
  EXPECT_EQ(got.role, 2);
  EXPECT_EQ(got.parent, root);
  EXPECT_EQ(got.name, "segment");
  EXPECT_THROW(c.AddConcept(11, 2, 77, "orphan", -1), ModelError);
  EXPECT_THROW(c.AddConcept(10, 1, child, "beam", root), ModelError);  // root below its own child
  EXPECT_THROW(c.AddConcept(10, 1, root, "self", root), ModelError);
  EXPECT_EQ(c.GetConcept(root).parent, -1);
  EXPECT_THROW(c.GetConcept(42), ModelError);
  EXPECT_EQ(c.GetConceptIds(), (std::vector<long>{root, child}));
}

TEST_F(PropertyTablesTest, NodePropertiesNamesMassesTransnodAndSupports) {
  AddNode(0, 0, 0);
  AddNode(1, 0, 0);
  auto& p = model->NodeProperties();
  p.SetName(1, "J1");
  EXPECT_EQ(p.GetName(1), "J1");
  EXPECT_EQ(p.GetName(2), "");
  p.AddMass(2, Mass(10.0));
  p.AddMass(2, Mass(1, 2, 3, 4, 5, 6));
  EXPECT_EQ(p.GetMasses(2), (std::vector<Mass>{Mass(10.0), Mass(1, 2, 3, 4, 5, 6)}));
  p.RemoveMasses(2);
  EXPECT_TRUE(p.GetMasses(2).empty());

  EXPECT_FALSE(p.GetTransnod(1));
  const long t = model->Transformations().AddTransformation(vec3d(0, 0, 1), -1);
  p.SetTransnod(1, t);
  ASSERT_TRUE(p.GetTransnod(1));
  EXPECT_EQ(*p.GetTransnod(1), t);
  EXPECT_THROW(p.SetTransnod(1, t + 1), ModelError);
  EXPECT_EQ(*p.GetTransnod(1), t);
  p.SetTransnod(1, 0);
  EXPECT_FALSE(p.GetTransnod(1));

  const Hinge fixed({1, 1, 1, 1, 1, 1});
  p.SetBoundaryCondition(2, fixed);
  EXPECT_EQ(*p.GetBoundaryCondition(2), fixed);
  p.RemoveBoundaryCondition(2);
  EXPECT_FALSE(p.GetBoundaryCondition(2));

  for (long bad : {0L, 3L, -1L}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(p.SetName(bad, "x"), ModelError);
    EXPECT_THROW(p.AddMass(bad, Mass(1.0)), ModelError);
    EXPECT_THROW(p.GetMasses(bad), ModelError);
    EXPECT_THROW(p.GetTransnod(bad), ModelError);
  }
  // The bulk read: only nodes with a mass or a support (node 1 has a name
  // only), ascending, as the getters give them.
  AddNode(2, 0, 0);
  p.SetBoundaryCondition(2, fixed);
  p.AddMass(3, Mass(7.0));
  std::vector<long> visited;
  p.ForEachMassOrSupport([&](long node, const std::vector<Mass>& masses, const boost::optional<Hinge>& support) {
    visited.push_back(node);
    EXPECT_EQ(masses, p.GetMasses(node));
    EXPECT_TRUE(support == p.GetBoundaryCondition(node));
  });
  EXPECT_EQ(visited, (std::vector<long>{2, 3}));
}

TEST_F(PropertyTablesTest, TransformationMatrixIsARightHandedRotation) {
  struct Case {
    vec3d z;
    vec3d expectedX;
  } cases[] = {
      {{0, 0, 1}, {1, 0, 0}},
      {{0, 0, -2}, {1, 0, 0}},
      {{1, 0, 0}, {0, 1, 0}},  // along global X: x from global Y
      {{0, 1, 1}, {1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.z);
    const long id = model->Transformations().AddTransformation(c.z, -1);
    auto t = model->Transformations().GetTransformation(id);
    EXPECT_EQ(t->GetTransformationVector(), c.z);
    const auto& m = t->GetTransformationMatrix();
    const vec3d x(m[0], m[1], m[2]), y(m[3], m[4], m[5]), z(m[6], m[7], m[8]);
    EXPECT_NEAR(x.dot(c.expectedX), 1.0, 1e-12);
    EXPECT_NEAR(z.dot(c.z) / c.z.length(), 1.0, 1e-12);
    EXPECT_NEAR(x.dot(z), 0.0, 1e-12);
    const vec3d xy = x.cross(y);
    EXPECT_NEAR(xy.dot(z), 1.0, 1e-12);
  }
  EXPECT_THROW(model->Transformations().AddTransformation(vec3d(0, 0, 0), -1), ModelError);
  EXPECT_THROW(model->Transformations().AddTransformation(vec3d(0, 0, 1), 77), ModelError);
  EXPECT_THROW(model->Transformations().GetTransformation(0), ModelError);
  EXPECT_THROW(model->Transformations().GetZAxis(0), ModelError);
  // Replacing keeps the id.
  EXPECT_EQ(model->Transformations().AddTransformation(vec3d(0, 1, 0), 1), 1);
  EXPECT_EQ(model->Transformations().GetTransformation(1)->GetTransformationVector(), vec3d(0, 1, 0));
  EXPECT_EQ(model->Transformations().GetZAxis(1), vec3d(0, 1, 0));
  const long fromSystem =
      model->Transformations().AddTransformation(locsys3d(vec3d(0, 1, 0), vec3d(0, 0, 1)));
  const std::array<double, 9> m =
      model->Transformations().GetTransformation(fromSystem)->GetTransformationMatrix();
  EXPECT_NEAR(m[1], 1.0, 1e-12);
  EXPECT_NEAR(m[8], 1.0, 1e-12);
}

TEST_F(PropertyTablesTest, EccentricitiesAndHinges) {
  auto& e = model->Eccentricities();
  EXPECT_EQ(e.AddEccentricity(vec3d(0, 0, 0.1), -1), 1);
  EXPECT_EQ(e.AddEccentricity(vec3d(0, 0.2, 0), -1), 2);
  EXPECT_EQ(e.AddEccentricity(vec3d(1, 2, 3), 1), 1);
  EXPECT_EQ(e.GetEccentricity(1)->GetEccentricity(), vec3d(1, 2, 3));
  EXPECT_EQ(e.Count(), 2u);
  EXPECT_THROW(e.AddEccentricity(vec3d(1, 2, 3), 3), ModelError);
  EXPECT_THROW(e.GetEccentricity(3), ModelError);
  EXPECT_THROW(e.AddEccentricity(vec3d(INFINITY, 0, 0), -1), ModelError);
  EXPECT_EQ(e.Count(), 2u);

  const Hinge pinned({1, 1, 1, 1, 0, 0});
  const long h = model->Hinges().AddHinge(pinned);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(model->Hinges().GetHinge(h)->GetHinge(), pinned);
  EXPECT_THROW(model->Hinges().GetHinge(2), ModelError);
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel
