// Evaluation and validation of tabulated and code-shaped design spectra.
#include "solver/native/dynamics/design_spectrum.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace Kestrum::Quilm::Solver::Native {

namespace {

constexpr double kPlateauAmplification = 2.5;

void Require(bool condition, const std::string& message) {
  if (!condition) throw std::invalid_argument("design spectrum: " + message);
}

bool IsFiniteAtLeast(double value, double bound) { return std::isfinite(value) && value >= bound; }

}  // namespace

std::string SpectrumPointProblem(const SpectrumPoint* previous, const SpectrumPoint& point) {
  if (!IsFiniteAtLeast(point.period, 0.0)) return "period must be finite and not negative";
  if (!IsFiniteAtLeast(point.acceleration, 0.0)) return "acceleration must be finite and not negative";
  if (previous && !(point.period > previous->period))
    return "periods must be strictly increasing (" + std::to_string(point.period) + " follows " +
           std::to_string(previous->period) + ")";
  return {};
}

double DampingCorrection(double damping) {
  Require(std::isfinite(damping) && damping >= 0.0 && damping < 1.0, "damping ratio must lie in [0, 1)");
  return std::max(0.55, std::sqrt(10.0 / (5.0 + 100.0 * damping)));
}

void ValidateSpectrumParameters(const ElasticSpectrumParameters& p) {
  Require(IsFiniteAtLeast(p.groundAcceleration, 0.0),
          "ground acceleration ag must be finite and not negative");
  Require(std::isfinite(p.soilFactor) && p.soilFactor > 0.0, "soil factor S must be positive and finite");
  Require(std::isfinite(p.periodB) && p.periodB > 0.0, "corner period TB must be positive and finite");
  Require(std::isfinite(p.periodD) && p.periodB < p.periodC && p.periodC < p.periodD,
          "corner periods must satisfy TB < TC < TD");
  DampingCorrection(p.damping);
}

DesignSpectrum DesignSpectrum::FromTable(std::vector<SpectrumPoint> points) {
  Require(points.size() >= 2, "a table needs at least two points");
  for (std::size_t i = 0; i < points.size(); ++i) {
    const std::string problem = SpectrumPointProblem(i > 0 ? &points[i - 1] : nullptr, points[i]);
    Require(problem.empty(), "point " + std::to_string(i) + ": " + problem);
  }
  DesignSpectrum spectrum;
  spectrum.points_ = std::move(points);
  return spectrum;
}

DesignSpectrum DesignSpectrum::FromParameters(const ElasticSpectrumParameters& parameters) {
  ValidateSpectrumParameters(parameters);
  DesignSpectrum spectrum;
  spectrum.parameters_ = parameters;
  return spectrum;
}

double DesignSpectrum::Acceleration(double period) const {
  Require(IsFiniteAtLeast(period, 0.0), "period must be finite and not negative");
  return IsTabulated() ? TableAcceleration(period) : ShapeAcceleration(period);
}

double DesignSpectrum::TableAcceleration(double period) const {
  if (period <= points_.front().period) return points_.front().acceleration;
  if (period >= points_.back().period) return points_.back().acceleration;
  const auto upper = std::upper_bound(points_.begin(), points_.end(), period,
                                      [](double t, const SpectrumPoint& p) { return t < p.period; });
  const SpectrumPoint& b = *upper;
  const SpectrumPoint& a = *(upper - 1);
  const double s = (period - a.period) / (b.period - a.period);
  return a.acceleration + s * (b.acceleration - a.acceleration);
}

// Horizontal elastic response spectrum, EN 1998-1:2004 clause 3.2.2.2, eqs. (3.2)-(3.6).
double DesignSpectrum::ShapeAcceleration(double T) const {
  const ElasticSpectrumParameters& p = parameters_;
  const double eta = DampingCorrection(p.damping);
  const double plateau = p.groundAcceleration * p.soilFactor * eta * kPlateauAmplification;
  if (T <= p.periodB)
    return p.groundAcceleration * p.soilFactor * (1.0 + T / p.periodB * (eta * kPlateauAmplification - 1.0));
  if (T <= p.periodC) return plateau;
  if (T <= p.periodD) return plateau * p.periodC / T;
  return plateau * p.periodC * p.periodD / (T * T);
}

}  // namespace Kestrum::Quilm::Solver::Native
