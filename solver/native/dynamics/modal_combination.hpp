// Combination of peak modal responses into a design response: modes by the
// square root of the sum of squares (SRSS) or the complete quadratic
// combination (CQC), then excitation directions by SRSS or the 100/30 rule.
// Responses are vectors of any quantity (displacements, forces, stresses),
// one entry per quantity; every entry is combined independently.
#pragma once

#include <Eigen/Dense>
#include <functional>
#include <vector>

namespace Kestrum::Quilm::Solver::Native {

enum class ModalCombinationRule { kSrss, kCqc };
enum class DirectionCombinationRule { kSrss, kHundredThirty };

// CQC correlation of two modes with circular frequencies wi, wj > 0 and the
// same viscous damping ratio xi in [0, 1), r = wj / wi:
//   rho = 8 xi² (1 + r) r^1.5 / ((1 - r²)² + 4 xi² r (1 + r)²),
// symmetric in i, j, 1 for wi == wj and 0 for distinct modes without damping.
// Der Kiureghian, A. (1981), Earthquake Eng. Struct. Dyn. 9(5), 419-435, eq. for rho_ij.
// Throws std::invalid_argument for frequencies not positive and finite or a
// damping ratio outside [0, 1).
double CqcCorrelation(double omegaI, double omegaJ, double damping);

// A combined response: magnitudes (>= 0) per entry and, when asked for, the
// governing sign per entry (+1 or -1): the sign of the contribution of the
// dominant mode (largest |r_i|), in the governing direction once directions
// are combined. Signed() is magnitude times sign (the magnitude if no sign).
struct CombinedResponse {
  Eigen::VectorXd magnitude;
  Eigen::VectorXd sign;  // empty unless requested
  bool HasSign() const { return sign.size() == magnitude.size() && magnitude.size() > 0; }
  Eigen::VectorXd Signed() const;
};

struct ModalCombinationOptions {
  ModalCombinationRule rule = ModalCombinationRule::kCqc;
  double damping = 0.05;    // the CQC damping ratio, the same for every mode
  bool keepSign = false;    // fill CombinedResponse::sign
  unsigned maxThreads = 4;  // entries are combined in independent blocks
};

// Combines the peak modal responses of one excitation direction: column i of
// `modalResponses` (entries x modes) is mode i's response, with circular
// frequency `circularFrequencies(i)` (needed only for CQC: may be empty for
// SRSS). Per entry: sqrt(max(0, sum_ij rho_ij r_i r_j)), rho the identity for
// SRSS. Cost: modes²/2 multiply-adds per entry, done in cache-sized blocks.
// Throws std::invalid_argument on mismatched sizes or bad CQC data.
CombinedResponse CombineModes(const Eigen::Ref<const Eigen::MatrixXd>& modalResponses,
                              const Eigen::VectorXd& circularFrequencies,
                              const ModalCombinationOptions& options);

// The same, one vector per mode (all of the same size), without copying them.
CombinedResponse CombineModes(const std::vector<Eigen::VectorXd>& modalResponses,
                              const Eigen::VectorXd& circularFrequencies,
                              const ModalCombinationOptions& options);

// Combines the responses to excitation along one to three directions (X, Y
// and optionally Z), all of the same size:
//   kSrss:          sqrt(E_x² + E_y² + E_z²), governing: the largest E_d;
//   kHundredThirty: max over d of E_d + f * (sum of the others), f the
//                   companion factor (0.3), governing: the maximising d.
// The result carries a sign only if every direction does: the governing
// direction's. Throws std::invalid_argument on a count outside 1..3,
// mismatched sizes or a companion factor outside [0, 1].
CombinedResponse CombineDirections(
    const std::vector<std::reference_wrapper<const CombinedResponse>>& directions,
    DirectionCombinationRule rule, double companionFactor = 0.3);

}  // namespace Kestrum::Quilm::Solver::Native
