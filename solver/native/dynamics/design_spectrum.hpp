// Design response spectra for modal response spectrum analysis: the
// pseudo-acceleration Sa(T) a structure of natural period T attracts, given
// either as a table of points or by the elastic spectrum shape of the
// European seismic code family.
#pragma once

#include <string>
#include <vector>

namespace Kestrum::Quilm::Solver::Native {

// One point of a tabulated spectrum: period in s, pseudo-acceleration in m/s².
struct SpectrumPoint {
  double period = 0.0;
  double acceleration = 0.0;
};

// The elastic spectrum shape: ground acceleration ag (m/s²), soil factor S,
// corner periods TB < TC < TD (s) and viscous damping ratio (0.05 = 5 %).
struct ElasticSpectrumParameters {
  double groundAcceleration = 0.0;  // ag
  double soilFactor = 1.0;          // S
  double periodB = 0.0;             // TB: start of the constant-acceleration plateau
  double periodC = 0.0;             // TC: start of the constant-velocity branch
  double periodD = 0.0;             // TD: start of the constant-displacement branch
  double damping = 0.05;            // viscous damping ratio xi
};

// What is wrong with `point` as the successor of `previous` (nullptr for the
// first point) in a table, or an empty string if nothing is: periods finite,
// >= 0 and strictly increasing, accelerations finite and >= 0.
std::string SpectrumPointProblem(const SpectrumPoint* previous, const SpectrumPoint& point);

// Damping correction eta = sqrt(10 / (5 + 100 xi)), not below 0.55; 1 at 5 %.
// Throws std::invalid_argument unless 0 <= xi < 1.
double DampingCorrection(double damping);

// Throws std::invalid_argument unless ag >= 0, S > 0, 0 < TB < TC < TD, all
// finite, and 0 <= damping < 1.
void ValidateSpectrumParameters(const ElasticSpectrumParameters& parameters);

// Sa(T) for T >= 0. Immutable once built; cheap to copy.
class DesignSpectrum {
 public:
  // Linear interpolation between at least two points with finite periods
  // >= 0 in strictly increasing order and finite accelerations >= 0. Below
  // the first period Sa is the first acceleration, beyond the last period it
  // is the last acceleration (held constant, not extrapolated). Throws
  // std::invalid_argument naming the offending point (0-based index).
  static DesignSpectrum FromTable(std::vector<SpectrumPoint> points);

  // The elastic spectrum shape, validated by ValidateSpectrumParameters.
  // The last branch (ag S eta 2.5 TC TD / T²) is continued beyond 4 s.
  static DesignSpectrum FromParameters(const ElasticSpectrumParameters& parameters);

  // Sa(T) in m/s². Throws std::invalid_argument unless T is finite and >= 0.
  double Acceleration(double period) const;

  bool IsTabulated() const { return !points_.empty(); }
  const std::vector<SpectrumPoint>& Points() const { return points_; }         // empty unless tabulated
  const ElasticSpectrumParameters& Parameters() const { return parameters_; }  // meaningful unless tabulated

 private:
  DesignSpectrum() = default;
  double TableAcceleration(double period) const;
  double ShapeAcceleration(double period) const;

  std::vector<SpectrumPoint> points_;
  ElasticSpectrumParameters parameters_;
};

}  // namespace Kestrum::Quilm::Solver::Native
