// qlMaterial: an isotropic linear-elastic material.
#pragma once

#include <string>

// Units are the model's (SI in the examples: Pa, kg/m3, 1/K).
// Throws std::invalid_argument from the constructor for a non-positive or
// non-finite Young's modulus, a Poisson's ratio outside (-1, 0.5], or a
// negative or non-finite density, thermal expansion or damping ratio.
class qlMaterial {
 public:
  qlMaterial(double youngsModulus, double poissonsRatio, double density, double thermalExpansion = 0.0,
             double dampingRatio = 0.0);

  double YoungsModulus() const noexcept { return e_; }
  double PoissonsRatio() const noexcept { return nu_; }
  // G = E / (2 (1 + nu)).
  double ShearModulus() const noexcept;
  double Density() const noexcept { return rho_; }
  double ThermalExpansion() const noexcept { return alpha_; }
  double DampingRatio() const noexcept { return damping_; }

  // Equality test: every property equal.
  bool IsEqual(const qlMaterial& other) const noexcept;
  // Ordering test: lexicographic over (E, nu, density, thermal expansion,
  // damping); a strict weak ordering consistent with IsEqual.
  bool IsBefore(const qlMaterial& other) const noexcept;

  bool operator==(const qlMaterial& o) const noexcept { return IsEqual(o); }
  bool operator!=(const qlMaterial& o) const noexcept { return !IsEqual(o); }
  bool operator<(const qlMaterial& o) const noexcept { return IsBefore(o); }

  // A short text such as "E=2.1e+11 nu=0.3 rho=7850".
  std::string Describe() const;

 private:
  double e_, nu_, rho_, alpha_, damping_;
};
