// Response spectrum analysis on the native modes: each mode's peak in each
// excited direction from the design spectrum, combined over the modes (CQC
// or SRSS) and over the directions (SRSS or 100/30), value by value.
#include <cmath>

#include "solver/native/dynamics/design_spectrum_text.hpp"
#include "solver/native/dynamics/modal_combination.hpp"
#include "solver/native/native_dynamics.hpp"
#include "solver/native/step_values.hpp"
#include "solver/shared/load_combination.hpp"

namespace Kestrum::Quilm::Solver {
namespace {

using namespace Native;
constexpr double kTwoPi = 6.283185307179586;
constexpr const char* kAxes[] = {"X", "Y", "Z"};

Eigen::VectorXd Flatten(const StepResults& step) {
  std::vector<double> values;
  VisitLinearValues(step, [&values](double v, bool) { values.push_back(v); });
  return Eigen::Map<const Eigen::VectorXd>(values.data(), static_cast<Eigen::Index>(values.size()));
}

std::string DefaultName(const SpectrumOptions& options) {
  std::string axes;
  for (int d = 0; d < 3; ++d)
    if (options.directions[static_cast<std::size_t>(d)]) axes += axes.empty() ? kAxes[d] : std::string("+") + kAxes[d];
  return "response spectrum " + axes + " (" + (options.cqc ? "CQC" : "SRSS") + ", " +
         (options.hundredThirty ? "100/30" : "SRSS") + ")";
}

DesignSpectrum ReadSpectrum(const std::string& text) {
  try {
    return ParseSpectrum(text);
  } catch (const std::invalid_argument& e) {
    throw SolverError(std::string("the design spectrum: ") + e.what());
  }
}

}  // namespace

NativeSpectrum SolveResponseSpectrum(AnalysisModel::XafModel& model, const SpectrumOptions& options) {
  if (!options.directions[0] && !options.directions[1] && !options.directions[2])
    throw SolverError("response spectrum: excite at least one direction");
  if (!(options.damping > 0.0 && options.damping < 1.0))
    throw SolverError("response spectrum: the damping ratio must lie between 0 and 1");
  const DesignSpectrum spectrum = ReadSpectrum(options.spectrum);
  ModeOptions modeOptions = options.modes;
  for (int d = 0; d < 3; ++d) modeOptions.massDirections[static_cast<std::size_t>(d)] = options.directions[static_cast<std::size_t>(d)];
  NativeModes modes = SolveModes(model, modeOptions);
  NativeSpectrum out;
  out.solved = modes.solved;
  out.fingerprint = modes.fingerprint;
  out.mass = modes.mass;
  out.notes = modes.notes;

  const auto count = static_cast<Eigen::Index>(modes.results.modes.size());
  Eigen::VectorXd omega(count);
  Eigen::MatrixXd shapes;
  for (Eigen::Index k = 0; k < count; ++k) {
    const StepResults& mode = modes.results.modes[static_cast<std::size_t>(k)];
    omega(k) = kTwoPi * mode.eigenvalue;
    if (!(omega(k) > 0.0)) throw SolverError("response spectrum: mode " + std::to_string(k + 1) + " has no frequency (a free structure)");
    const Eigen::VectorXd values = Flatten(mode);
    if (k == 0) shapes.resize(values.size(), count);
    shapes.col(k) = values;
  }
  ModalCombinationOptions combination;
  combination.rule = options.cqc ? ModalCombinationRule::kCqc : ModalCombinationRule::kSrss;
  combination.damping = options.damping;
  combination.keepSign = true;
  std::vector<CombinedResponse> perDirection;
  for (int d = 0; d < 3; ++d) {
    if (!options.directions[static_cast<std::size_t>(d)]) continue;
    // Peak modal coordinate Gamma Sa / omega^2 of each mode.
    Eigen::VectorXd amplitude(count), shear(count);
    std::size_t dominant = 0;
    for (Eigen::Index k = 0; k < count; ++k) {
      const StepResults& mode = modes.results.modes[static_cast<std::size_t>(k)];
      const double sa = spectrum.Acceleration(kTwoPi / omega(k));
      amplitude(k) = mode.participation[static_cast<std::size_t>(d)] * sa / (omega(k) * omega(k));
      shear(k) = mode.effectiveMass[static_cast<std::size_t>(d)] * sa;
      if (mode.effectiveMass[static_cast<std::size_t>(d)] >
          modes.results.modes[dominant].effectiveMass[static_cast<std::size_t>(d)])
        dominant = static_cast<std::size_t>(k);
    }
    perDirection.push_back(CombineModes(shapes * amplitude.asDiagonal(), omega, combination));
    ModalCombinationOptions scalar = combination;
    scalar.keepSign = false;
    out.baseShear[static_cast<std::size_t>(d)] =
        CombineModes(Eigen::MatrixXd(shear.transpose()), omega, scalar).magnitude(0);
    out.staticBaseShear[static_cast<std::size_t>(d)] =
        out.mass.total[static_cast<std::size_t>(d)] * spectrum.Acceleration(1.0 / modes.results.modes[dominant].eigenvalue);
  }
  std::vector<std::reference_wrapper<const CombinedResponse>> directions(perDirection.begin(), perDirection.end());
  const CombinedResponse total = CombineDirections(
      directions, options.hundredThirty ? DirectionCombinationRule::kHundredThirty : DirectionCombinationRule::kSrss);
  const Eigen::VectorXd signedValues = total.HasSign() ? total.Signed() : total.magnitude;

  // The peaks into the layout of a mode's results.
  StepResults peak = modes.results.modes.front();
  peak.kind = AnalysisKind::Spectrum;
  peak.mode = 0;
  peak.eigenvalue = 0.0;
  peak.participation = {};
  peak.effectiveMass = {};
  peak.beamExtremes.clear();
  peak.name = options.name.empty() ? DefaultName(options) : options.name;
  Eigen::Index at = 0;
  VisitLinearValues(peak, [&](double& v, bool keepsSign) {
    v = keepsSign ? signedValues(at) : total.magnitude(at);
    ++at;
  });
  for (auto& [id, s] : peak.shellStresses) {
    UpdateVonMises(s);
    for (ShellStresses& corner : s.corners) UpdateVonMises(corner);
  }
  out.results.spectra.push_back(std::move(peak));
  out.results.frequencies = std::move(modes.results.frequencies);
  out.results.modes = std::move(modes.results.modes);
  for (int d = 0; d < 3; ++d)
    if (options.directions[static_cast<std::size_t>(d)])
      out.notes.push_back(std::string("base shear ") + kAxes[d] + ": " + std::to_string(out.baseShear[static_cast<std::size_t>(d)] / 1e3) +
                          " kN from the modes, " + std::to_string(out.staticBaseShear[static_cast<std::size_t>(d)] / 1e3) +
                          " kN static equivalent");
  return out;
}

std::pair<StepResults, StepResults> WithSpectrum(const StepResults& statics, const StepResults& spectrum) {
  std::vector<double> peaks;
  VisitLinearValues(spectrum, [&peaks](double v, bool) { peaks.push_back(std::abs(v)); });
  std::pair<StepResults, StepResults> out{statics, statics};
  // Stations only where the spectrum has them (its modes may have none).
  if (spectrum.beamStations.empty()) out.first.beamStations.clear(), out.second.beamStations.clear();
  std::size_t plus = 0, minus = 0;
  std::size_t visited = 0;
  VisitLinearValues(out.first, [&](double& v, bool) { ++visited; if (plus < peaks.size()) v += peaks[plus++]; });
  VisitLinearValues(out.second, [&](double& v, bool) { if (minus < peaks.size()) v -= peaks[minus++]; });
  if (visited != peaks.size())
    throw SolverError("a static analysis and a response spectrum of different models cannot be combined");
  out.first.name = statics.name + " + " + spectrum.name;
  out.second.name = statics.name + " - " + spectrum.name;
  for (StepResults* step : {&out.first, &out.second})
    for (auto& [id, s] : step->shellStresses) {
      UpdateVonMises(s);
      for (ShellStresses& corner : s.corners) UpdateVonMises(corner);
    }
  out.first.beamExtremes.clear();
  out.second.beamExtremes.clear();
  return out;
}

}  // namespace Kestrum::Quilm::Solver
