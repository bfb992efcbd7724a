// The meshing order of materials and sections and the equality of sections,
// sets and point masses: table-driven, checking both the answers and which
// host operations are asked, in which order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mirror/properties/tests/property_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

// Which definition a row gives a mirror: none, or one of two distinct ones
// where kLow comes before kHigh by the definitions' own ordering test.
enum Definition { kNone, kLow, kHigh };

struct MaterialKind {
  using Host = HostMaterial;
  static constexpr const char* kDefinitionCall = "GetMaterial";
  static void Give(Host& host, Definition d) {
    if (d == kLow) host.material.reset(new qlMaterial(7.0e10, 0.33, 2700.0));
    if (d == kHigh) host.material.reset(new qlMaterial(2.1e11, 0.3, 7850.0));
  }
};

struct SectionKind {
  using Host = HostSection;
  static constexpr const char* kDefinitionCall = "GetSection";
  static void Give(Host& host, Definition d) {
    if (d == kLow) host.section.reset(new qlSection(qlSection::Pipe(0.2, 0.01)));
    if (d == kHigh) host.section.reset(new qlSection(qlSection::Pipe(0.3, 0.01)));
  }
};

struct SetKind {
  using Host = HostSet;
  static constexpr const char* kDefinitionCall = "GetEntitySet";
  static void Give(Host& host, Definition d) {
    if (d == kNone) return;
    host.content.reset(new EntitySet);
    host.content->AddNode(1);
    host.content->AddNode(d == kLow ? 2 : 3);
  }
};

struct PointMassKind {
  using Host = HostPointMass;
  static constexpr const char* kDefinitionCall = "GetMass";
  static void Give(Host& host, Definition d) {
    if (d == kLow) host.mass.reset(new Mass(10.0));
    if (d == kHigh) host.mass.reset(new Mass(20.0));
  }
};

struct Row {
  const char* aName;
  Definition aDefinition;
  const char* bName;
  Definition bDefinition;
  bool expected;
};

std::string Describe(const Row& row) {
  const char* defs[] = {"none", "low", "high"};
  return "a=(\"" + std::string(row.aName) + "\", " + defs[row.aDefinition] + ") b=(\"" + row.bName + "\", " +
         defs[row.bDefinition] + ")";
}

template <class Kind>
void Prepare(typename Kind::Host& host, const char* tag, const char* name, Definition d, CallLog* log) {
  host.tag = tag;
  host.name = name;
  host.log = log;
  Kind::Give(host, d);
}

// ---- meshing order ----------------------------------------------------------

// "\xC3\xA9" is UTF-8 for e-acute: its first byte (0xC3) is above every ASCII
// letter, so a comparison of signed chars would put it first.
const std::vector<Row> kMeshOrder = {
    {"A", kNone, "B", kNone, true},        {"B", kNone, "A", kNone, false},
    {"B", kNone, "a", kNone, true},  // bytes, not letters: 'B' < 'a'
    {"AB", kNone, "ABC", kNone, true},     {"ABC", kNone, "AB", kNone, false},
    {"z", kNone, "\xC3\xA9", kNone, true}, {"\xC3\xA9", kNone, "z", kNone, false},
    {"S355", kLow, "S355", kHigh, false},  // same name: equivalent, whatever the definitions
    {"S355", kHigh, "S355", kLow, false},  {"", kHigh, "S", kLow, true},  // unnamed before named
    {"S", kLow, "", kHigh, false},         {"", kLow, "", kNone, true},   // only this one has a definition
    {"", kNone, "", kLow, false},          {"", kNone, "", kNone, false},
    {"", kLow, "", kHigh, true},  // the definitions' ordering test
    {"", kHigh, "", kLow, false},          {"", kLow, "", kLow, false},
};

template <class Kind>
class MeshOrderTest : public ::testing::Test {};
using MeshOrderKinds = ::testing::Types<MaterialKind, SectionKind>;
TYPED_TEST_SUITE(MeshOrderTest, MeshOrderKinds);

TYPED_TEST(MeshOrderTest, FollowsTheTable) {
  for (const Row& row : kMeshOrder) {
    SCOPED_TRACE(Describe(row));
    CallLog log;
    typename TypeParam::Host a, b;
    Prepare<TypeParam>(a, "a", row.aName, row.aDefinition, &log);
    Prepare<TypeParam>(b, "b", row.bName, row.bDefinition, &log);
    EXPECT_EQ(a.MeshBefore(&b), row.expected);

    // This name, then the other's; the definitions, this one first, only
    // when both names are empty.
    CallLog expectedCalls = {"a.GetName", "b.GetName"};
    if (std::string(row.aName).empty() && std::string(row.bName).empty()) {
      expectedCalls.push_back(std::string("a.") + TypeParam::kDefinitionCall);
      expectedCalls.push_back(std::string("b.") + TypeParam::kDefinitionCall);
    }
    EXPECT_EQ(log, expectedCalls);
  }
}

TYPED_TEST(MeshOrderTest, IsAStrictWeakOrderOverMixedMirrors) {
  // Irreflexive and asymmetric over every pair of a mixed population.
  const std::vector<std::pair<const char*, Definition>> population = {
      {"", kNone}, {"", kLow}, {"", kHigh}, {"A", kLow}, {"A", kHigh}, {"AB", kNone}, {"b", kLow}};
  for (const auto& x : population) {
    for (const auto& y : population) {
      typename TypeParam::Host a, b;
      Prepare<TypeParam>(a, "a", x.first, x.second, nullptr);
      Prepare<TypeParam>(b, "b", y.first, y.second, nullptr);
      SCOPED_TRACE(Describe({x.first, x.second, y.first, y.second, false}));
      EXPECT_FALSE(a.MeshBefore(&b) && b.MeshBefore(&a));
    }
  }
}

TYPED_TEST(MeshOrderTest, RejectsANullOperand) {
  typename TypeParam::Host a;
  EXPECT_THROW(a.MeshBefore(nullptr), std::invalid_argument);
}

// ---- equality -----------------------------------------------------------------

const std::vector<Row> kEquality = {
    {"A", kLow, "B", kLow, false},  // different names: the definitions are not asked
    {"", kLow, "X", kLow, false},   {"", kNone, "", kNone, true},   {"X", kNone, "X", kNone, true},
    {"X", kLow, "X", kNone, false}, {"X", kNone, "X", kLow, false}, {"X", kLow, "X", kLow, true},
    {"X", kLow, "X", kHigh, false},  // same name, different definitions
    {"", kHigh, "", kLow, false},
};

template <class Kind>
class EqualityTest : public ::testing::Test {};
using EqualityKinds = ::testing::Types<SectionKind, SetKind, PointMassKind>;
TYPED_TEST_SUITE(EqualityTest, EqualityKinds);

TYPED_TEST(EqualityTest, FollowsTheTable) {
  for (const Row& row : kEquality) {
    SCOPED_TRACE(Describe(row));
    CallLog log;
    typename TypeParam::Host a, b;
    Prepare<TypeParam>(a, "a", row.aName, row.aDefinition, &log);
    Prepare<TypeParam>(b, "b", row.bName, row.bDefinition, &log);
    EXPECT_EQ(a == b, row.expected);

    // The other's name first, then this one's; the definitions, this one
    // first, only when the names are equal.
    CallLog expectedCalls = {"b.GetName", "a.GetName"};
    if (std::string(row.aName) == row.bName) {
      expectedCalls.push_back(std::string("a.") + TypeParam::kDefinitionCall);
      expectedCalls.push_back(std::string("b.") + TypeParam::kDefinitionCall);
    }
    EXPECT_EQ(log, expectedCalls);

    log.clear();
    EXPECT_EQ(a != b, !row.expected);
    EXPECT_EQ(log, expectedCalls);
  }
}

TYPED_TEST(EqualityTest, IgnoresTheIdentifierOrNode) {
  typename TypeParam::Host a, b;
  Prepare<TypeParam>(a, "a", "X", kLow, nullptr);
  Prepare<TypeParam>(b, "b", "X", kLow, nullptr);
  if constexpr (std::is_same_v<TypeParam, PointMassKind>) {
    a.SetNode(3);
    b.SetNode(4);
  } else {
    a.SetId(3);
    b.SetId(4);
  }
  EXPECT_TRUE(a == b);
}

TYPED_TEST(EqualityTest, AFailingHostAnswerPropagates) {
  typename TypeParam::Host a, b;
  Prepare<TypeParam>(a, "a", "X", kLow, nullptr);
  Prepare<TypeParam>(b, "b", "X", kLow, nullptr);
  b.failDefinition = true;
  EXPECT_THROW((void)(a == b), HostError);
  b.failDefinition = false;
  a.failName = true;
  EXPECT_THROW((void)(a == b), HostError);
}

// ---- the order of a write's questions ------------------------------------------

// The definition comes first, then the name, and only then the analysis model
// (point masses ask no name).
class WriteOrderTest : public PropertyTest {};

TEST_F(WriteOrderTest, DefinitionThenNameThenModel) {
  CallLog log;
  model_.onRequest = [&log](const boost::shared_ptr<XafModel>&) { log.push_back("model.GetXafModel"); };
  const CallLog full = {"p.GetName", "model.GetXafModel"};
  auto check = [&](IMirrorObject& mirror, HostCalls& host, const char* definitionCall, CallLog tail) {
    SCOPED_TRACE(definitionCall);
    log.clear();
    host.tag = "p";
    host.log = &log;
    mirror.Write(model_);
    tail.insert(tail.begin(), std::string("p.") + definitionCall);
    EXPECT_EQ(log, tail);
    EXPECT_EQ(TakeOperations().size(), 1u);
  };
  HostMaterial material;
  material.material.reset(new qlMaterial(2.1e11, 0.3, 7850.0));
  check(material, material, "GetMaterial", full);
  HostSection section;
  section.section.reset(new qlSection(qlSection::Rectangle(0.4, 0.2)));
  check(section, section, "GetSection", full);
  HostThickness thickness;
  thickness.thickness = 0.2;
  check(thickness, thickness, "GetThickness", full);
  HostSet set;
  set.content.reset(new EntitySet);
  check(set, set, "GetEntitySet", full);
  HostPointMass mass;
  mass.mass.reset(new Mass(1.0));
  mass.SetNode(AddNode(0.0));
  check(mass, mass, "GetMass", {"model.GetXafModel"});
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
