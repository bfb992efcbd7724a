// Thickness mirrors: which values are written, the flag cleared only on a
// normal return, deletion from the section table, and the meshing order and
// equality of plain numbers.
#include "mirror/properties/mirror_thickness.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mirror/properties/tests/property_test_support.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

using namespace Testing;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

class ThicknessTest : public PropertyTest {
 protected:
  ThicknessTest() {
    slab_.name = "T250";
    slab_.thickness = 0.25;
  }
  HostThickness slab_;
};

TEST_F(ThicknessTest, WhichValuesAreWritten) {
  struct Case {
    double value;
    bool written;
  };
  const Case cases[] = {{0.0, false},
                        {-0.0, false},
                        {0.25, true},
                        {-0.1, true},
                        {kNaN, true},
                        {1e-300, true},
                        {std::numeric_limits<double>::infinity(), true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    HostThickness t;
    t.name = "t";
    t.thickness = c.value;
    t.SetId(c.written ? -1 : 4);
    t.Write(model_);
    EXPECT_FALSE(t.IsModified());  // cleared also when nothing was written
    EXPECT_EQ(t.definitionCalls, 1);
    const std::vector<std::string> ops = TakeOperations();
    if (c.written) {
      EXPECT_EQ(ops, std::vector<std::string>{"Sections.AddThickness"});
      EXPECT_EQ(t.nameCalls, 1);
      ASSERT_NE(t.GetId(), -1);
      const auto row = Table()->Sections().GetSection(t.GetId());
      ASSERT_TRUE(row);
      ASSERT_TRUE(row->GetThickness());
      if (std::isnan(c.value)) {
        EXPECT_TRUE(std::isnan(*row->GetThickness()));
      } else {
        EXPECT_EQ(*row->GetThickness(), c.value);  // passed on unchanged
      }
    } else {
      EXPECT_TRUE(ops.empty());
      EXPECT_EQ(t.nameCalls, 0);  // not even the name is asked
      EXPECT_EQ(t.GetId(), 4);
    }
  }
}

TEST_F(ThicknessTest, AClearFlagMeansNoCallAtAll) {
  slab_.SetModified(false);
  slab_.Write(model_);
  EXPECT_EQ(slab_.definitionCalls, 0);
  EXPECT_EQ(slab_.nameCalls, 0);
  EXPECT_EQ(model_.calls, 0);
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(slab_.GetId(), -1);
}

TEST_F(ThicknessTest, WriteThenDeleteUsesTheSectionTable) {
  slab_.Write(model_);
  const TraceEvent add = OnlyEvent("Sections.AddThickness");
  ASSERT_EQ(add.arguments.size(), 3u);
  EXPECT_EQ(add.arguments[0], "0.25");
  EXPECT_EQ(add.arguments[1], "\"T250\"");
  EXPECT_EQ(add.arguments[2], "-1");
  const long id = slab_.GetId();

  slab_.Delete(model_);
  EXPECT_EQ(OnlyEvent("Sections.DeleteSection").arguments.at(0), std::to_string(id));
  EXPECT_EQ(slab_.GetId(), id);
  EXPECT_FALSE(slab_.IsModified());
  EXPECT_FALSE(Table()->Sections().GetSection(id));

  slab_.SetModified(true);
  slab_.Write(model_);
  EXPECT_EQ(OnlyEvent("Sections.AddThickness").arguments.back(), std::to_string(id));
  EXPECT_EQ(slab_.GetId(), id);
}

TEST_F(ThicknessTest, DeleteOfANeverWrittenThicknessMakesNoCall) {
  slab_.Delete(model_);
  EXPECT_TRUE(TakeOperations().empty());
  EXPECT_EQ(model_.calls, 0);
}

TEST_F(ThicknessTest, FailuresLeaveIdAndFlag) {
  slab_.Write(model_);
  const long id = slab_.GetId();
  slab_.thickness = 0.3;
  slab_.SetModified(true);

  trace_.FailOn("Sections.AddThickness");
  EXPECT_THROW(slab_.Write(model_), InjectedFault);
  EXPECT_EQ(slab_.GetId(), id);
  EXPECT_TRUE(slab_.IsModified());
  EXPECT_EQ(*Table()->Sections().GetSection(id)->GetThickness(), 0.25);
  trace_.FailOn("");

  slab_.failName = true;
  EXPECT_THROW(slab_.Write(model_), HostError);
  slab_.failName = false;
  slab_.failDefinition = true;
  EXPECT_THROW(slab_.Write(model_), HostError);
  slab_.failDefinition = false;
  EXPECT_EQ(slab_.GetId(), id);
  EXPECT_TRUE(slab_.IsModified());

  slab_.Write(model_);
  EXPECT_FALSE(slab_.IsModified());
  EXPECT_EQ(*Table()->Sections().GetSection(id)->GetThickness(), 0.3);
}

struct Pair {
  const char* aName;
  double a;
  const char* bName;
  double b;
  bool expected;
};

std::string Describe(const Pair& p) {
  return "a=(\"" + std::string(p.aName) + "\", " + std::to_string(p.a) + ") b=(\"" + p.bName + "\", " +
         std::to_string(p.b) + ")";
}

TEST(ThicknessOrderTest, MeshBeforeFollowsTheTable) {
  const Pair rows[] = {
      {"", 10.0, "", 20.0, true},    {"", 20.0, "", 10.0, false},       {"", 10.0, "", 10.0, false},
      {"", kNaN, "", 10.0, false},   {"", 10.0, "", kNaN, false},       {"", -0.0, "", 0.0, false},
      {"A", 20.0, "B", 10.0, true},  {"B", 10.0, "A", 20.0, false},     {"T", 10.0, "T", 20.0, false},
      {"T", 20.0, "T", 10.0, false}, {"", 20.0, "T", 10.0, true},       {"T", 10.0, "", 20.0, false},
      {"T1", 0.0, "T10", 0.0, true}, {"z", 0.0, "\xC3\xA9", 0.0, true},
  };
  for (const Pair& row : rows) {
    SCOPED_TRACE(Describe(row));
    CallLog log;
    HostThickness a, b;
    a.tag = "a", a.name = row.aName, a.thickness = row.a, a.log = &log;
    b.tag = "b", b.name = row.bName, b.thickness = row.b, b.log = &log;
    EXPECT_EQ(a.MeshBefore(&b), row.expected);
    CallLog expectedCalls = {"a.GetName", "b.GetName"};
    if (std::string(row.aName).empty() && std::string(row.bName).empty()) {
      expectedCalls.insert(expectedCalls.end(), {"a.GetThickness", "b.GetThickness"});
    }
    EXPECT_EQ(log, expectedCalls);
  }
  HostThickness a;
  EXPECT_THROW(a.MeshBefore(nullptr), std::invalid_argument);
}

TEST(ThicknessOrderTest, EqualityFollowsTheTable) {
  const Pair rows[] = {
      {"", 0.25, "", 0.25, true},    {"", 0.25, "", 0.3, false},   {"T", 0.25, "T", 0.3, false},
      {"T", 0.25, "T", 0.25, true},  {"", kNaN, "", kNaN, false},  {"", 0.0, "", -0.0, true},
      {"A", 0.25, "B", 0.25, false}, {"", 0.25, "T", 0.25, false},
  };
  for (const Pair& row : rows) {
    SCOPED_TRACE(Describe(row));
    CallLog log;
    HostThickness a, b;
    a.tag = "a", a.name = row.aName, a.thickness = row.a, a.log = &log;
    b.tag = "b", b.name = row.bName, b.thickness = row.b, b.log = &log;
    a.SetId(1);
    b.SetId(2);  // identifiers play no part
    EXPECT_EQ(a == b, row.expected);
    CallLog expectedCalls = {"b.GetName", "a.GetName"};
    if (std::string(row.aName) == row.bName) {
      expectedCalls.insert(expectedCalls.end(), {"a.GetThickness", "b.GetThickness"});
    }
    EXPECT_EQ(log, expectedCalls);
    EXPECT_EQ(a != b, !row.expected);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
