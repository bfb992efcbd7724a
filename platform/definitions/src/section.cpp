// qlSection: section properties of the standard cross-sections.
//
// Formulas (h along local z, b along local y; see section.hpp):
//  * Pipe (D, t), d = D - 2t: exact A, I and the exact torsion constant
//    It = pi (D^4 - d^4) / 32. Shear areas with Cowper's coefficient for a
//    hollow circle, k = 6(1+nu)(1+m^2)^2 / ((7+6nu)(1+m^2)^2 + (20+12nu)m^2),
//    m = d/D, taken at nu = 0.3 because a section carries no material
//    (0.886 for a solid bar, 0.531 for a thin tube).
//  * I-profile: exact A and I of three rectangles (no root fillets);
//    thin-walled open section It = (2 b tf^3 + (h - tf) tw^3) / 3; shear
//    areas Asz = (h - tf) tw (web between flange centre lines) and
//    Asy = 5/6 * 2 b tf (the two flanges).
//  * Box: exact A and I; Bredt's thin-walled closed-section constant
//    It = 4 Am^2 / (sum of s/t) with the centre-line area
//    Am = (b - tw)(h - tf); shear areas Asz = 2 (h - tf) tw and
//    Asy = 2 (b - tw) tf.
//  * Solid rectangle: exact A and I; Saint-Venant torsion by its series,
//    It = a c^3 / 3 [1 - 192 c / (pi^5 a) sum_{n odd} tanh(n pi a / 2c) / n^5]
//    with a the longer and c the shorter side; shear areas 5/6 A.
#include "definitions/section.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace {

constexpr double kPi = 3.14159265358979323846;

void Require(bool condition, const std::string& what) {
  if (!condition) throw std::invalid_argument("qlSection: " + what);
}

bool PositiveFinite(double v) { return std::isfinite(v) && v > 0.0; }
bool NonNegativeFinite(double v) { return std::isfinite(v) && v >= 0.0; }

double RectangleTorsionConstant(double side1, double side2) {
  const double a = std::max(side1, side2);
  const double c = std::min(side1, side2);
  double sum = 0.0;
  // Terms fall off as 1/n^5; by n = 2001 they are below double precision.
  for (int n = 1; n <= 2001; n += 2) {
    const double n5 = std::pow(static_cast<double>(n), 5);
    sum += std::tanh(n * kPi * a / (2.0 * c)) / n5;
  }
  return a * c * c * c / 3.0 * (1.0 - 192.0 * c / (std::pow(kPi, 5) * a) * sum);
}

auto Key(const qlSectionProperties& p) {
  return std::tie(p.area, p.iy, p.iz, p.it, p.shearAreaY, p.shearAreaZ);
}

}  // namespace

qlSection::qlSection(Kind kind, double d0, double d1, double d2, double d3, const qlSectionProperties& props)
    : kind_(kind), dims_{d0, d1, d2, d3}, props_(props) {}

qlSection qlSection::Pipe(double outerDiameter, double wallThickness) {
  const double D = outerDiameter, t = wallThickness;
  Require(PositiveFinite(D) && PositiveFinite(t), "pipe diameter and wall thickness must be positive");
  Require(t <= D / 2.0, "pipe wall thickness exceeds half the diameter");
  const double d = D - 2.0 * t;
  const double D2 = D * D, d2 = d * d;
  qlSectionProperties p;
  p.area = kPi / 4.0 * (D2 - d2);
  p.iy = p.iz = kPi / 64.0 * (D2 * D2 - d2 * d2);
  p.it = kPi / 32.0 * (D2 * D2 - d2 * d2);
  const double nu = 0.3;
  const double m2 = d2 / D2;
  const double s = (1.0 + m2) * (1.0 + m2);
  const double k = 6.0 * (1.0 + nu) * s / ((7.0 + 6.0 * nu) * s + (20.0 + 12.0 * nu) * m2);
  p.shearAreaY = p.shearAreaZ = k * p.area;
  return qlSection(Kind::Pipe, D, t, 0.0, 0.0, p);
}

qlSection qlSection::IProfile(double height, double width, double webThickness, double flangeThickness) {
  const double h = height, b = width, tw = webThickness, tf = flangeThickness;
  Require(PositiveFinite(h) && PositiveFinite(b) && PositiveFinite(tw) && PositiveFinite(tf),
          "I-profile dimensions must be positive");
  Require(2.0 * tf < h, "I-profile flanges (2 tf) must be thinner than the height");
  Require(tw <= b, "I-profile web must not be wider than the flanges");
  const double hw = h - 2.0 * tf;  // clear web height
  qlSectionProperties p;
  p.area = 2.0 * b * tf + hw * tw;
  p.iy = (b * h * h * h - (b - tw) * hw * hw * hw) / 12.0;
  p.iz = (2.0 * tf * b * b * b + hw * tw * tw * tw) / 12.0;
  p.it = (2.0 * b * tf * tf * tf + (h - tf) * tw * tw * tw) / 3.0;
  p.shearAreaZ = (h - tf) * tw;
  p.shearAreaY = 5.0 / 6.0 * 2.0 * b * tf;
  return qlSection(Kind::IProfile, h, b, tw, tf, p);
}

qlSection qlSection::Box(double height, double width, double webThickness, double flangeThickness) {
  const double h = height, b = width, tw = webThickness, tf = flangeThickness;
  Require(PositiveFinite(h) && PositiveFinite(b) && PositiveFinite(tw) && PositiveFinite(tf),
          "box dimensions must be positive");
  Require(2.0 * tw < b, "box side walls (2 tw) must leave an opening in the width");
  Require(2.0 * tf < h, "box flanges (2 tf) must leave an opening in the height");
  const double hi = h - 2.0 * tf, bi = b - 2.0 * tw;  // the opening
  qlSectionProperties p;
  p.area = b * h - bi * hi;
  p.iy = (b * h * h * h - bi * hi * hi * hi) / 12.0;
  p.iz = (h * b * b * b - hi * bi * bi * bi) / 12.0;
  const double bm = b - tw, hm = h - tf;  // centre-line sides
  const double am = bm * hm;
  p.it = 4.0 * am * am / (2.0 * bm / tf + 2.0 * hm / tw);
  p.shearAreaZ = 2.0 * hm * tw;
  p.shearAreaY = 2.0 * bm * tf;
  return qlSection(Kind::Box, h, b, tw, tf, p);
}

qlSection qlSection::Rectangle(double height, double width) {
  const double h = height, b = width;
  Require(PositiveFinite(h) && PositiveFinite(b), "rectangle height and width must be positive");
  qlSectionProperties p;
  p.area = b * h;
  p.iy = b * h * h * h / 12.0;
  p.iz = h * b * b * b / 12.0;
  p.it = RectangleTorsionConstant(h, b);
  p.shearAreaY = p.shearAreaZ = 5.0 / 6.0 * p.area;
  return qlSection(Kind::Rectangle, h, b, 0.0, 0.0, p);
}

qlSection qlSection::General(const qlSectionProperties& p) {
  Require(PositiveFinite(p.area), "general section area must be positive");
  Require(PositiveFinite(p.iy) && PositiveFinite(p.iz), "general section second moments must be positive");
  Require(NonNegativeFinite(p.it), "general section torsion constant must be non-negative");
  Require(NonNegativeFinite(p.shearAreaY) && NonNegativeFinite(p.shearAreaZ),
          "general section shear areas must be non-negative (0: no shear deformation)");
  return qlSection(Kind::General, 0.0, 0.0, 0.0, 0.0, p);
}

double qlSection::Dimension(int index) const {
  if (index < 0 || index > 3) throw std::out_of_range("qlSection::Dimension: index must be 0 to 3");
  return dims_[index];
}

bool qlSection::IsEqual(const qlSection& o) const noexcept {
  return kind_ == o.kind_ && std::equal(dims_, dims_ + 4, o.dims_) && Key(props_) == Key(o.props_);
}

bool qlSection::IsBefore(const qlSection& o) const noexcept {
  // All values are finite (checked by the factories), so this lexicographic
  // order is a strict weak ordering whose equivalence is IsEqual.
  if (kind_ != o.kind_) return kind_ < o.kind_;
  const auto mine = std::tie(dims_[0], dims_[1], dims_[2], dims_[3]);
  const auto theirs = std::tie(o.dims_[0], o.dims_[1], o.dims_[2], o.dims_[3]);
  if (mine != theirs) return mine < theirs;
  return Key(props_) < Key(o.props_);
}

std::string qlSection::Describe() const {
  std::ostringstream text;
  switch (kind_) {
    case Kind::Pipe:
      text << "Pipe(" << dims_[0] << ", " << dims_[1] << ")";
      break;
    case Kind::IProfile:
      text << "IProfile(" << dims_[0] << ", " << dims_[1] << ", " << dims_[2] << ", " << dims_[3] << ")";
      break;
    case Kind::Box:
      text << "Box(" << dims_[0] << ", " << dims_[1] << ", " << dims_[2] << ", " << dims_[3] << ")";
      break;
    case Kind::Rectangle:
      text << "Rectangle(" << dims_[0] << ", " << dims_[1] << ")";
      break;
    case Kind::General:
      text << "General(A=" << props_.area << ", Iy=" << props_.iy << ", Iz=" << props_.iz
           << ", It=" << props_.it << ")";
      break;
  }
  return text.str();
}
