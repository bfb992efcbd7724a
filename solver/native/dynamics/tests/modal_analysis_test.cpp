// CQC correlation against the white-noise response it stands for, the
// blocked modal combination against a plain double sum, direction rules,
// rigid-body influence vectors and a two-storey shear building solved in
// closed form.
#include <gtest/gtest.h>

#include <Eigen/SparseCore>
#include <cmath>
#include <complex>
#include <string>

#include "solver/native/dynamics/modal_combination.hpp"
#include "solver/native/dynamics/modal_participation.hpp"
#include "solver/native/dynamics/rigid_body_influence.hpp"
#include "solver/native/dynamics/spectral_modal_amplitudes.hpp"

namespace Kestrum::Quilm::Solver::Native {
namespace {

// Correlation of the stationary displacements of two oscillators under the
// same white noise: Re int Hi conj(Hj) / sqrt(int |Hi|² int |Hj|²), by
// Simpson's rule on [0, 60 max(w)] (the integrands are even in w).
double WhiteNoiseCorrelation(double wi, double wj, double xi) {
  const int n = 600000;
  const double h = 60.0 * std::max(wi, wj) / n;
  double cross = 0, ii = 0, jj = 0;
  for (int k = 0; k <= n; ++k) {
    const double w = k * h, weight = (k == 0 || k == n) ? 1 : (k % 2 ? 4 : 2);
    const std::complex<double> hi = 1.0 / std::complex<double>(wi * wi - w * w, 2 * xi * wi * w);
    const std::complex<double> hj = 1.0 / std::complex<double>(wj * wj - w * w, 2 * xi * wj * w);
    cross += weight * (hi * std::conj(hj)).real();
    ii += weight * std::norm(hi);
    jj += weight * std::norm(hj);
  }
  return cross / std::sqrt(ii * jj);
}

TEST(CqcCorrelationTest, MatchesTheWhiteNoiseResponse) {
  const struct {
    double r, xi, rho;
  } cases[] = {{0.9, 0.05, 0.47302768}, {0.5, 0.05, 0.01848645}, {0.9, 0.02, 0.12569966}};
  for (const auto& c : cases) {
    SCOPED_TRACE("r = " + std::to_string(c.r) + " xi = " + std::to_string(c.xi));
    EXPECT_NEAR(CqcCorrelation(10.0, 10.0 * c.r, c.xi), c.rho, 1e-8);
    EXPECT_NEAR(CqcCorrelation(10.0 * c.r, 10.0, c.xi), c.rho, 1e-8);
    EXPECT_NEAR(WhiteNoiseCorrelation(10.0, 10.0 * c.r, c.xi), c.rho, 1e-6);
  }
  EXPECT_EQ(CqcCorrelation(7.0, 7.0, 0.05), 1.0);
  EXPECT_EQ(CqcCorrelation(7.0, 7.0, 0.0), 1.0);
  EXPECT_EQ(CqcCorrelation(7.0, 7.5, 0.0), 0.0);
  EXPECT_LT(CqcCorrelation(1.0, 20.0, 0.05), 1e-3);  // well separated: SRSS
  EXPECT_THROW(CqcCorrelation(0.0, 1.0, 0.05), std::invalid_argument);
}

TEST(ModalCombinationTest, BlockedSumsMatchThePlainDoubleSum) {
  const int entries = 1000, modes = 7;  // several blocks, the last one partial
  const Eigen::MatrixXd r = Eigen::MatrixXd::Random(entries, modes);
  const Eigen::VectorXd omega = Eigen::VectorXd::LinSpaced(modes, 10.0, 13.0);
  std::vector<Eigen::VectorXd> columns;
  for (int i = 0; i < modes; ++i) columns.push_back(r.col(i));
  for (ModalCombinationRule rule : {ModalCombinationRule::kSrss, ModalCombinationRule::kCqc}) {
    SCOPED_TRACE(rule == ModalCombinationRule::kCqc ? "CQC" : "SRSS");
    const ModalCombinationOptions options{rule, 0.05, true, 2};
    const CombinedResponse fromMatrix = CombineModes(r, omega, options);
    const CombinedResponse fromVectors = CombineModes(columns, omega, options);
    for (int e = 0; e < entries; e += 97) {
      double sum = 0;
      for (int i = 0; i < modes; ++i)
        for (int j = 0; j < modes; ++j)
          sum += (rule == ModalCombinationRule::kCqc ? CqcCorrelation(omega(i), omega(j), 0.05)
                                                     : double(i == j)) *
                 r(e, i) * r(e, j);
      Eigen::Index dominant;
      r.row(e).cwiseAbs().maxCoeff(&dominant);
      EXPECT_NEAR(fromMatrix.magnitude(e), std::sqrt(sum), 1e-12);
      EXPECT_EQ(fromMatrix.sign(e), r(e, dominant) < 0 ? -1.0 : 1.0);
    }
    EXPECT_EQ(fromMatrix.magnitude, fromVectors.magnitude);
  }
}

TEST(ModalCombinationTest, CqcOfEqualFrequenciesIsTheAbsoluteSum) {
  Eigen::MatrixXd r(1, 2);
  r << 3.0, -1.0;
  const CombinedResponse result =
      CombineModes(r, Eigen::Vector2d(5.0, 5.0), {ModalCombinationRule::kCqc, 0.05, true});
  EXPECT_NEAR(result.magnitude(0), 2.0, 1e-12);  // the modes act as one: |3 - 1|
  EXPECT_EQ(result.Signed()(0), 2.0);
  EXPECT_THROW(CombineModes(r, Eigen::Vector3d(1, 2, 3), {}), std::invalid_argument);
}

CombinedResponse Response(std::initializer_list<double> magnitudes, std::initializer_list<double> signs) {
  CombinedResponse r;
  r.magnitude = Eigen::Map<const Eigen::VectorXd>(magnitudes.begin(), magnitudes.size());
  r.sign = Eigen::Map<const Eigen::VectorXd>(signs.begin(), signs.size());
  return r;
}

TEST(DirectionCombinationTest, HundredThirtyAgainstSrss) {
  const CombinedResponse x = Response({3, 1, 0}, {1, -1, 1}), y = Response({4, 1, 2}, {-1, 1, 1}),
                         z = Response({12, 0, 0}, {1, 1, -1});
  const struct {
    const char* name;
    std::vector<std::reference_wrapper<const CombinedResponse>> d;
    DirectionCombinationRule rule;
    Eigen::Vector3d expected, sign;
  } cases[] = {
      {"XY SRSS", {x, y}, DirectionCombinationRule::kSrss, {5, std::sqrt(2.0), 2}, {-1, -1, 1}},
      {"XY 100/30", {x, y}, DirectionCombinationRule::kHundredThirty, {4.9, 1.3, 2}, {-1, -1, 1}},
      {"XYZ SRSS", {x, y, z}, DirectionCombinationRule::kSrss, {13, std::sqrt(2.0), 2}, {1, -1, 1}},
      {"XYZ 100/30", {x, y, z}, DirectionCombinationRule::kHundredThirty, {14.1, 1.3, 2}, {1, -1, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CombinedResponse result = CombineDirections(c.d, c.rule);
    EXPECT_TRUE(result.magnitude.isApprox(c.expected, 1e-12)) << result.magnitude.transpose();
    EXPECT_EQ(result.sign, c.sign);
  }
  const CombinedResponse unsigned3 = Response({1, 1, 1}, {}), unsigned1 = Response({1}, {});
  EXPECT_FALSE(CombineDirections({x, unsigned3}, DirectionCombinationRule::kSrss).HasSign());
  EXPECT_THROW(CombineDirections({x, unsigned1}, DirectionCombinationRule::kSrss), std::invalid_argument);
}

TEST(RigidBodyInfluenceTest, RotationsMoveNodesAboutTheReferencePoint) {
  // Node 0 has all six dofs at arm (1, 2, 3); node 1 only uy (equation 6) and rz (equation 7).
  const InfluenceMatrix r =
      RigidBodyInfluence({{0, 1, 2, 3, 4, 5}, {-1, 6, -1, -1, -1, 7}}, {{2, 3, 4}, {5, 1, 1}}, {1, 1, 1}, 9);
  InfluenceMatrix expected = InfluenceMatrix::Zero(9, 6);
  expected.topRows(6) << 1, 0, 0, 0, 3, -2,  //
      0, 1, 0, -3, 0, 1,                     //
      0, 0, 1, 2, -1, 0,                     //
      0, 0, 0, 1, 0, 0,                      //
      0, 0, 0, 0, 1, 0,                      //
      0, 0, 0, 0, 0, 1;
  expected.row(6) << 0, 1, 0, 0, 0, 4;  // uy of rotation about Z = arm x = 4
  expected.row(7) << 0, 0, 0, 0, 0, 1;
  EXPECT_EQ(r, expected);
  EXPECT_THROW(
      RigidBodyInfluence({{0, 1, 2, 3, 4, 5}, {5, -1, -1, -1, -1, -1}}, {{0, 0, 0}, {1, 0, 0}}, {0, 0, 0}, 6),
      std::invalid_argument);
}

// Two storeys of mass m on springs k: omega² = (3 -+ sqrt 5)/2 k/m, storey
// amplitudes (1, a) with a = 2 - omega² m/k, effective mass m (1+a)²/(1+a²).
TEST(ShearBuildingTest, ParticipationAndBaseShearMatchTheClosedForm) {
  const double m = 1e4, k = 4e6, xi = 0.05;
  Eigen::Vector2d omega, meff;
  Eigen::Matrix2d phi;
  for (int i = 0; i < 2; ++i) {
    omega(i) = std::sqrt((3 + (i ? 1 : -1) * std::sqrt(5.0)) / 2 * k / m);
    const double a = 2 - omega(i) * omega(i) * m / k;
    phi.col(i) = Eigen::Vector2d(1, a) / std::sqrt(m * (1 + a * a));
    meff(i) = m * (1 + a) * (1 + a) / (1 + a * a);
  }
  Eigen::SparseMatrix<double> mass(2, 2);
  mass.insert(0, 0) = m;
  mass.insert(1, 1) = m;
  const InfluenceMatrix influence = RigidBodyInfluence({{0, -1, -1, -1, -1, -1}, {1, -1, -1, -1, -1, -1}},
                                                       {{0, 0, 3}, {0, 0, 6}}, {0, 0, 0}, 2);
  const ModalParticipation p = ComputeModalParticipation(phi, mass, influence);
  const ModalParticipation q = ComputeModalParticipation(
      2, [&](int i) { return Eigen::VectorXd(phi.col(i)); },
      [&](const Eigen::VectorXd& x) { return Eigen::VectorXd(mass * x); }, influence);
  EXPECT_TRUE(p.effectiveMasses.col(kTranslationX).isApprox(meff, 1e-12));
  EXPECT_NEAR(p.cumulativeShares(1, kTranslationX), 1.0, 1e-12);
  EXPECT_NEAR(p.totalMasses(kTranslationX), 2 * m, 1e-9);
  EXPECT_NEAR(p.totalMasses(kRotationY), m * (9 + 36), 1e-6);  // storeys swing about Y at heights 3 and 6
  EXPECT_EQ(p.totalMasses(kTranslationY), 0.0);
  EXPECT_EQ(p.effectiveShares(0, kTranslationY), 0.0);
  EXPECT_TRUE(q.factors.isApprox(p.factors, 1e-14));
  Eigen::Matrix<double, 2, 3> repeated;  // a third column checks the running sum
  repeated << phi, phi.col(0);
  EXPECT_NEAR(ComputeModalParticipation(repeated, mass, influence).cumulativeMasses(2, kTranslationX),
              2 * m + meff(0), 1e-6);

  // T1 = 0.51 s on the 1/T branch, T2 = 0.19 s on the plateau.
  const DesignSpectrum spectrum = DesignSpectrum::FromParameters({3.0, 1.2, 0.15, 0.5, 2.0, xi});
  const Eigen::VectorXd amplitude = SpectralModalAmplitudes(omega, p.factors.col(kTranslationX), spectrum);
  Eigen::MatrixXd baseShear(1, 2);  // sum of the storey forces M phi omega² q
  Eigen::Vector2d handShear;
  for (int i = 0; i < 2; ++i) {
    baseShear(0, i) = (mass * phi.col(i)).sum() * omega(i) * omega(i) * amplitude(i);
    handShear(i) = meff(i) * spectrum.Acceleration(2 * M_PI / omega(i));
  }
  EXPECT_TRUE(baseShear.row(0).transpose().isApprox(handShear, 1e-12));
  const double srss = handShear.norm();
  const double cqc =
      std::sqrt(srss * srss + 2 * WhiteNoiseCorrelation(omega(0), omega(1), xi) * handShear.prod());
  EXPECT_NEAR(CombineModes(baseShear, omega, {ModalCombinationRule::kSrss}).magnitude(0), srss, 1e-9 * srss);
  EXPECT_NEAR(CombineModes(baseShear, omega, {ModalCombinationRule::kCqc, xi}).magnitude(0), cqc, 1e-7 * cqc);
  EXPECT_GT(cqc - srss, 1e-4 * srss);  // the modes are correlated a little
}

}  // namespace
}  // namespace Kestrum::Quilm::Solver::Native
