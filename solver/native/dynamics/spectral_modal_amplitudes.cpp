// Peak modal coordinates from the spectral pseudo-acceleration of each mode.
#include "solver/native/dynamics/spectral_modal_amplitudes.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

namespace Kestrum::Quilm::Solver::Native {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}  // namespace

Eigen::VectorXd SpectralModalAmplitudes(const Eigen::VectorXd& circularFrequencies,
                                        const Eigen::VectorXd& participationFactors,
                                        const DesignSpectrum& spectrum) {
  if (circularFrequencies.size() != participationFactors.size())
    throw std::invalid_argument("spectral amplitudes: one participation factor per frequency is needed");
  Eigen::VectorXd amplitudes(circularFrequencies.size());
  for (Eigen::Index k = 0; k < amplitudes.size(); ++k) {
    const double omega = circularFrequencies(k);
    if (!(omega > 0.0) || !std::isfinite(omega))
      throw std::invalid_argument("spectral amplitudes: mode " + std::to_string(k) +
                                  " needs a positive finite circular frequency");
    amplitudes(k) = participationFactors(k) * spectrum.Acceleration(kTwoPi / omega) / (omega * omega);
  }
  return amplitudes;
}

}  // namespace Kestrum::Quilm::Solver::Native
