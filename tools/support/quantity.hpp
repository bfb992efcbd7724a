// Physical values as an engineer reads them: four significant digits, an SI
// prefix where it helps ("33 GPa", "11 mm", "-3 kN/m²") and the unit.
#pragma once

#include <string>

namespace quilm_tools {

// `value` to four significant digits, without float noise or a trailing
// zero ("5.82", "-13.24", "1e-05").
std::string Number(double value, int digits = 4);

// `value` in `unit` with an engineering prefix (µ, m, k, M, G) chosen so the
// number lies between 1 and 1000.
std::string Si(double value, const std::string& unit);

// `value` in `unit` without a prefix ("2500 kg/m³").
std::string Plain(double value, const std::string& unit);

// "(x, y, z) unit", each component to four significant digits.
std::string Triple(double x, double y, double z, const std::string& unit);

// The unit an engineer reads a kind of result in, the same in every summary,
// record and legend of the tools: forces in kN, moments in kN·m, lengths and
// displacements in mm, rotations in mrad, stresses in MPa, shell forces per
// length in kN/m and kN·m/m. A mode or buckling shape is normalised and has
// no unit (kShape).
struct EngineeringUnit {
  const char* name;  // "" for none
  double perSi;      // the value shown is the SI value times this
};
inline constexpr EngineeringUnit kForce{"kN", 1e-3};
inline constexpr EngineeringUnit kMoment{"kN·m", 1e-3};
inline constexpr EngineeringUnit kLength{"mm", 1e3};
inline constexpr EngineeringUnit kRotation{"mrad", 1e3};
inline constexpr EngineeringUnit kStress{"MPa", 1e-6};
inline constexpr EngineeringUnit kForcePerLength{"kN/m", 1e-3};
inline constexpr EngineeringUnit kMomentPerLength{"kN·m/m", 1e-3};
inline constexpr EngineeringUnit kShape{"", 1.0};

// The SI value `si` in `unit` to four significant digits: "12.35 kN",
// "0.0006028 mm", "0.3142" for a shape.
std::string In(double si, const EngineeringUnit& unit);

// "(x, y, z) unit" of `n` SI values in `unit`; "-" for a NaN (a value the
// solver did not give).
std::string InAll(const double* si, int n, const EngineeringUnit& unit);

}  // namespace quilm_tools
