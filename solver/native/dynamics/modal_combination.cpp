// SRSS/CQC combination of modal responses, blocked over entries so that one
// block of every mode stays in cache while the mode pairs are summed.
#include "solver/native/dynamics/modal_combination.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "solver/native/parallel_for.hpp"

namespace Kestrum::Quilm::Solver::Native {

namespace {

using ConstArrayMap = Eigen::Map<const Eigen::ArrayXd>;
using ArrayMap = Eigen::Map<Eigen::ArrayXd>;

constexpr Eigen::Index kBlockEntries = 256;  // x 100 modes x 8 bytes: about 200 kB

void Require(bool condition, const std::string& message) {
  if (!condition) throw std::invalid_argument("modal combination: " + message);
}

// Mode i's response is columns[i][0 .. entries).
struct ModeColumns {
  std::vector<const double*> columns;
  Eigen::Index entries = 0;
};

// Upper triangle (j > i) of 2 rho_ij: the weight of r_i r_j in the sum.
Eigen::MatrixXd CrossWeights(const Eigen::VectorXd& omega, const ModalCombinationOptions& options,
                             int modes) {
  Eigen::MatrixXd weights = Eigen::MatrixXd::Zero(modes, modes);
  if (options.rule == ModalCombinationRule::kSrss) return weights;
  Require(omega.size() == modes, "CQC needs one circular frequency per mode (" +
                                     std::to_string(omega.size()) + " given for " + std::to_string(modes) +
                                     " modes)");
  Require(omega.allFinite() && (omega.array() > 0.0).all(),
          "circular frequencies must be positive and finite");
  Require(std::isfinite(options.damping) && options.damping >= 0.0 && options.damping < 1.0,
          "damping ratio must lie in [0, 1)");
  for (int i = 0; i < modes; ++i)
    for (int j = i + 1; j < modes; ++j)
      weights(i, j) = 2.0 * CqcCorrelation(omega(i), omega(j), options.damping);
  return weights;
}

Eigen::ArrayXd SignOf(const Eigen::ArrayXd& values) {
  return (values < 0.0).select(-1.0, Eigen::ArrayXd::Ones(values.size()));
}

// Sign of the mode with the largest |r_i| (the first on ties), +1 if all vanish.
Eigen::ArrayXd DominantSign(const ModeColumns& modes, Eigen::Index first, Eigen::Index count) {
  Eigen::ArrayXd largest = Eigen::ArrayXd::Zero(count), sign = Eigen::ArrayXd::Ones(count);
  for (const double* column : modes.columns) {
    const ConstArrayMap r(column + first, count);
    sign = (r.abs() > largest).select(SignOf(r), sign);
    largest = largest.max(r.abs());
  }
  return sign;
}

// sum_i r_i (r_i + sum_{j>i} 2 rho_ij r_j) for the entries [first, first + count).
void CombineBlock(const ModeColumns& modes, const Eigen::MatrixXd& weights, Eigen::Index first,
                  Eigen::Index count, CombinedResponse& result) {
  const int m = static_cast<int>(modes.columns.size());
  Eigen::ArrayXd sum = Eigen::ArrayXd::Zero(count), partner(count);
  for (int i = 0; i < m; ++i) {
    const ConstArrayMap ri(modes.columns[i] + first, count);
    partner = ri;
    for (int j = i + 1; j < m; ++j)
      if (weights(i, j) != 0.0) partner += weights(i, j) * ConstArrayMap(modes.columns[j] + first, count);
    sum += ri * partner;
  }
  ArrayMap(result.magnitude.data() + first, count) = sum.max(0.0).sqrt();
  if (result.sign.size() > 0) ArrayMap(result.sign.data() + first, count) = DominantSign(modes, first, count);
}

CombinedResponse Combine(const ModeColumns& modes, const Eigen::VectorXd& omega,
                         const ModalCombinationOptions& options) {
  const Eigen::MatrixXd weights = CrossWeights(omega, options, static_cast<int>(modes.columns.size()));
  CombinedResponse result;
  result.magnitude.resize(modes.entries);
  if (options.keepSign) result.sign.resize(modes.entries);
  const Eigen::Index blocks = (modes.entries + kBlockEntries - 1) / kBlockEntries;
  ParallelFor(
      static_cast<std::size_t>(blocks),
      [&](std::size_t block) {
        const Eigen::Index first = static_cast<Eigen::Index>(block) * kBlockEntries;
        CombineBlock(modes, weights, first, std::min(kBlockEntries, modes.entries - first), result);
      },
      options.maxThreads);
  return result;
}

// Per entry: the combined magnitude and the index of the governing direction.
void CombineDirectionMagnitudes(const std::vector<std::reference_wrapper<const CombinedResponse>>& directions,
                                DirectionCombinationRule rule, double companion, Eigen::ArrayXd& magnitude,
                                Eigen::ArrayXi& governing) {
  const bool srss = rule == DirectionCombinationRule::kSrss;
  const Eigen::Index n = directions.front().get().magnitude.size();
  Eigen::ArrayXd sumOfSquares = Eigen::ArrayXd::Zero(n), sum = Eigen::ArrayXd::Zero(n);
  for (const auto& d : directions) {
    sumOfSquares += d.get().magnitude.array().square();
    sum += d.get().magnitude.array().abs();
  }
  Eigen::ArrayXd lead = Eigen::ArrayXd::Constant(n, -1.0), score(n);
  governing = Eigen::ArrayXi::Zero(n);
  for (int d = 0; d < static_cast<int>(directions.size()); ++d) {
    const Eigen::ArrayXd own = directions[d].get().magnitude.array().abs();
    // SRSS governs by the largest response; 100/30 by the largest E_d + f (sum - E_d).
    score = srss ? own : Eigen::ArrayXd(own + companion * (sum - own));
    governing = (score > lead).select(d, governing);
    lead = lead.max(score);
  }
  magnitude = srss ? Eigen::ArrayXd(sumOfSquares.sqrt()) : lead;
}

}  // namespace

double CqcCorrelation(double omegaI, double omegaJ, double damping) {
  Require(std::isfinite(omegaI) && std::isfinite(omegaJ) && omegaI > 0.0 && omegaJ > 0.0,
          "circular frequencies must be positive and finite");
  Require(std::isfinite(damping) && damping >= 0.0 && damping < 1.0, "damping ratio must lie in [0, 1)");
  if (omegaI == omegaJ) return 1.0;
  const double r = omegaJ / omegaI, xi2 = damping * damping;
  const double numerator = 8.0 * xi2 * (1.0 + r) * r * std::sqrt(r);
  return numerator / ((1.0 - r * r) * (1.0 - r * r) + 4.0 * xi2 * r * (1.0 + r) * (1.0 + r));
}

Eigen::VectorXd CombinedResponse::Signed() const {
  return HasSign() ? Eigen::VectorXd(magnitude.cwiseProduct(sign)) : magnitude;
}

CombinedResponse CombineModes(const Eigen::Ref<const Eigen::MatrixXd>& modalResponses,
                              const Eigen::VectorXd& circularFrequencies,
                              const ModalCombinationOptions& options) {
  ModeColumns modes;
  modes.entries = modalResponses.rows();
  for (Eigen::Index i = 0; i < modalResponses.cols(); ++i)
    modes.columns.push_back(modalResponses.data() + i * modalResponses.outerStride());
  return Combine(modes, circularFrequencies, options);
}

CombinedResponse CombineModes(const std::vector<Eigen::VectorXd>& modalResponses,
                              const Eigen::VectorXd& circularFrequencies,
                              const ModalCombinationOptions& options) {
  ModeColumns modes;
  modes.entries = modalResponses.empty() ? 0 : modalResponses.front().size();
  for (const Eigen::VectorXd& response : modalResponses) {
    Require(response.size() == modes.entries, "every mode needs a response of the same size");
    modes.columns.push_back(response.data());
  }
  return Combine(modes, circularFrequencies, options);
}

CombinedResponse CombineDirections(
    const std::vector<std::reference_wrapper<const CombinedResponse>>& directions,
    DirectionCombinationRule rule, double companionFactor) {
  Require(!directions.empty() && directions.size() <= 3, "one to three directions can be combined");
  Require(std::isfinite(companionFactor) && companionFactor >= 0.0 && companionFactor <= 1.0,
          "the companion factor must lie in [0, 1]");
  const Eigen::Index n = directions.front().get().magnitude.size();
  bool signed_ = true;
  for (const auto& d : directions) {
    Require(d.get().magnitude.size() == n, "every direction needs a response of the same size");
    signed_ = signed_ && d.get().HasSign();
  }
  Eigen::ArrayXd magnitude;
  Eigen::ArrayXi governing;
  CombineDirectionMagnitudes(directions, rule, companionFactor, magnitude, governing);
  CombinedResponse result;
  result.magnitude = magnitude.matrix();
  if (signed_ && n > 0) {
    result.sign.resize(n);
    for (Eigen::Index e = 0; e < n; ++e) result.sign(e) = directions[governing(e)].get().sign(e);
  }
  return result;
}

}  // namespace Kestrum::Quilm::Solver::Native
