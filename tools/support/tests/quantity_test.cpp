// Physical values: four significant digits without float noise, and the SI
// prefix that puts the number between 1 and 1000.
#include "quantity.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(QuantityTest, PrefixesAndDigits) {
  struct Case {
    double value;
    const char* unit;
    const char* text;
  } cases[] = {
      {3.3e10, "Pa", "33 GPa"},
      {2.1e11, "Pa", "210 GPa"},
      {0.011, "m", "11 mm"},
      {-3000, "N/m²", "-3 kN/m²"},
      {5.820000000000001, "m", "5.82 m"},
      {999.96, "N", "1 kN"},
      {1.2e-5, "m", "12 µm"},
      {0, "N", "0 N"},
      {-17658.0, "N", "-17.66 kN"},
  };
  for (const Case& c : cases) EXPECT_EQ(quilm_tools::Si(c.value, c.unit), c.text) << c.value;
  EXPECT_EQ(quilm_tools::Triple(1.0200000000000002, -0.0, 9.81, "m/s²"), "(1.02, 0, 9.81) m/s²");
  EXPECT_EQ(quilm_tools::Plain(2500, "kg/m³"), "2500 kg/m³");
}

// Each kind of result in its one unit, whatever its size; shapes bare.
TEST(QuantityTest, EngineeringUnitsPerQuantity) {
  using namespace quilm_tools;
  EXPECT_EQ(In(0.3223, kMoment), "0.0003223 kN·m");
  EXPECT_EQ(In(-6.028e-7, kLength), "-0.0006028 mm");
  EXPECT_EQ(In(-17658.0, kForce), "-17.66 kN");
  EXPECT_EQ(In(2.5e8, kStress), "250 MPa");
  EXPECT_EQ(In(0.3142, kShape), "0.3142");
  const double v[3] = {1e-3, std::nan(""), -2e-3};
  EXPECT_EQ(InAll(v, 3, kRotation), "(1, -, -2) mrad");
  EXPECT_EQ(InAll(v, 3, kShape), "(0.001, -, -0.002)");
}

}  // namespace
