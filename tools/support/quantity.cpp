// Formatting of physical values.
#include "quantity.hpp"

#include <cmath>
#include <cstdio>

namespace quilm_tools {

std::string Number(double value, int digits) {
  if (value == 0) return "0";  // also -0
  char text[48];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

std::string Si(double value, const std::string& unit) {
  static const struct {
    double scale;
    const char* prefix;
  } prefixes[] = {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""}, {1e-3, "m"}, {1e-6, "µ"}, {1e-9, "n"}};
  const double magnitude = std::fabs(value);
  if (magnitude == 0 || !std::isfinite(value)) return Number(value) + " " + unit;
  for (const auto& p : prefixes) {
    // Round first, so 999.96 becomes "1 k…" rather than "1000".
    if (std::stod(Number(magnitude / p.scale)) >= 1) return Number(value / p.scale) + " " + p.prefix + unit;
  }
  return Number(value) + " " + unit;
}

std::string Plain(double value, const std::string& unit) { return Number(value) + " " + unit; }

std::string Triple(double x, double y, double z, const std::string& unit) {
  return "(" + Number(x) + ", " + Number(y) + ", " + Number(z) + ") " + unit;
}

std::string In(double si, const EngineeringUnit& unit) {
  const std::string number = Number(si * unit.perSi);
  return *unit.name ? number + " " + unit.name : number;
}

std::string InAll(const double* si, int n, const EngineeringUnit& unit) {
  std::string text = "(";
  for (int i = 0; i < n; ++i) text += (i ? ", " : "") + (std::isnan(si[i]) ? std::string("-") : Number(si[i] * unit.perSi));
  return *unit.name ? text + ") " + unit.name : text + ")";
}

}  // namespace quilm_tools
