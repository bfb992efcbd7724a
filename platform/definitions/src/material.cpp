// qlMaterial: validation, derived moduli, equality and ordering.
#include "definitions/material.hpp"

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace {

void Require(bool condition, const char* what, double value) {
  if (!condition) {
    std::ostringstream text;
    text << "qlMaterial: " << what << " (got " << value << ")";
    throw std::invalid_argument(text.str());
  }
}

}  // namespace

qlMaterial::qlMaterial(double youngsModulus, double poissonsRatio, double density, double thermalExpansion,
                       double dampingRatio)
    : e_(youngsModulus), nu_(poissonsRatio), rho_(density), alpha_(thermalExpansion), damping_(dampingRatio) {
  // nu in (-1, 0.5] keeps both the shear and the bulk modulus positive.
  Require(std::isfinite(e_) && e_ > 0.0, "Young's modulus must be positive and finite", e_);
  Require(std::isfinite(nu_) && nu_ > -1.0 && nu_ <= 0.5, "Poisson's ratio must lie in (-1, 0.5]", nu_);
  Require(std::isfinite(rho_) && rho_ >= 0.0, "density must be non-negative and finite", rho_);
  Require(std::isfinite(alpha_) && alpha_ >= 0.0, "thermal expansion must be non-negative and finite",
          alpha_);
  Require(std::isfinite(damping_) && damping_ >= 0.0, "damping ratio must be non-negative and finite",
          damping_);
}

double qlMaterial::ShearModulus() const noexcept { return e_ / (2.0 * (1.0 + nu_)); }

bool qlMaterial::IsEqual(const qlMaterial& o) const noexcept {
  return e_ == o.e_ && nu_ == o.nu_ && rho_ == o.rho_ && alpha_ == o.alpha_ && damping_ == o.damping_;
}

bool qlMaterial::IsBefore(const qlMaterial& o) const noexcept {
  // Every value is finite (checked on construction), so tuple comparison is
  // a strict weak ordering whose equivalence is exactly IsEqual.
  return std::tie(e_, nu_, rho_, alpha_, damping_) < std::tie(o.e_, o.nu_, o.rho_, o.alpha_, o.damping_);
}

std::string qlMaterial::Describe() const {
  std::ostringstream text;
  text << "E=" << e_ << " nu=" << nu_ << " rho=" << rho_;
  if (alpha_ != 0.0) text << " alpha=" << alpha_;
  if (damping_ != 0.0) text << " damping=" << damping_;
  return text.str();
}
