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

}  // namespace quilm_tools
