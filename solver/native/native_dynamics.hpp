// Modes and linear buckling on the native solver: the same elements, numbering
// and factorisation as the static solve, with the mass (or the geometric
// stiffness of a load case's pre-stress) assembled beside the stiffness and
// the lowest eigenpairs found by shift-invert Lanczos iterations.
//
// Every run proves that it missed no eigenvalue: the factorisation of
// K - s B at a shift s just above the highest eigenvalue found has as many
// negative pivots as there are eigenvalues below s (Sylvester's law of
// inertia; the Sturm sequence check); a run whose count does not match is
// repeated with more modes, and refused if it still does not.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "solver/native/native_solver.hpp"

namespace Kestrum::Quilm::Solver {

enum class NativeMassForm { Consistent, Lumped };

struct ModeOptions {
  // How many modes: the lowest `count`; with `upToHertz` > 0 every mode up
  // to that frequency (at least `count`); with `massShare` > 0 as many as
  // make the effective mass reach that share of the total in every
  // direction of `massDirections` (x, y, z, rx, ry, rz), at least `count`.
  int count = 10;
  double upToHertz = 0.0;
  double massShare = 0.0;
  std::array<bool, 6> massDirections{true, true, false, false, false, false};
  // The most modes any of those asks for before the run is refused.
  int maxModes = 500;
  NativeMassForm mass = NativeMassForm::Consistent;
  // Load cases whose loads become mass, with factors (e.g. a finishes load
  // case at 1.0, an imposed load case at 0.3): each load's component along
  // gravity (-Z), divided by g = 9.80665 m/s², lumped on the three
  // translations of its nodes. The elements' and point masses' own weight
  // is left out (their mass is already there).
  std::vector<std::pair<long, double>> loadsAsMass;
  // Section forces of each mode at stations along each beam (see
  // NativeOptions::beamStations); ends and middles always.
  int beamStations = 0;
  NativeMemoryOptions memory;  // as NativeOptions::memory
  AnalysisModel::ProgressCallback progress;
};

// Totals of a modal run, in the directions of the participation factors.
struct ModalMass {
  // r' M r for the rigid motion r in each direction: the mass the modes
  // can mobilise (the mass at held directions of supports is not in it).
  std::array<double, 6> total{};
  // The sum of the effective masses of the modes found, per direction.
  std::array<double, 6> captured{};
};

struct NativeModes {
  // frequencies and modes: shapes normalised to unit modal mass,
  // participation factors and effective masses (global directions, then
  // about the global axes through the origin), section forces and stresses
  // of each shape, reactions as the supports' forces on the shape.
  SolveResults results;
  SolvedModel solved;
  std::uint64_t fingerprint = 0;
  ModalMass mass;
  // The eigenvalue count below the highest mode's frequency from the
  // factorisation's inertia, and the frequency it was taken at.
  int sturmCount = 0;
  double sturmHertz = 0.0;
  std::vector<std::string> notes;
};

// The lowest modes of `model` (only read). Throws SolverError when the model
// has no mass, a free part with no mass, or the count asked for cannot be
// reached (more than maxModes, or more than the structure has).
NativeModes SolveModes(AnalysisModel::XafModel& model, const ModeOptions& options = {});

struct BucklingOptions {
  // The pre-stress: one load case, or a combination of load cases (factors).
  std::vector<std::pair<long, double>> loads;
  std::string name;  // the load case's or combination's name in results
  int count = 5;     // the lowest positive load factors
  NativeMemoryOptions memory;  // as NativeOptions::memory
  AnalysisModel::ProgressCallback progress;
};

struct NativeBuckling {
  // buckling: shapes with a largest component of 1, eigenvalue the load
  // factor; section forces and stresses of each shape.
  SolveResults results;
  SolvedModel solved;
  std::uint64_t fingerprint = 0;
  int sturmCount = 0;
  std::vector<std::string> notes;
};

// The lowest positive load factors of `options.loads` on `model` and their
// shapes: K + lambda Kg singular, Kg the geometric stiffness of the static
// solution's axial forces, bending moments and torque (beams) and membrane
// forces (shells). Throws SolverError when no load compresses anything.
NativeBuckling SolveBuckling(AnalysisModel::XafModel& model, const BucklingOptions& options);

struct SpectrumOptions {
  // The modes combined: enough of them that the effective mass reaches the
  // share usual in design (90 %) in the directions excited, unless set.
  ModeOptions modes = [] {
    ModeOptions m;
    m.count = 10;
    m.massShare = 0.9;
    return m;
  }();
  // The design spectrum: a table of "period acceleration" lines (s, m/s²)
  // or the elastic shape's parameters, "ag=3.0 S=1.2 TB=0.15 TC=0.5
  // TD=2.0 damping=0.05" (see solver/native/dynamics/design_spectrum.hpp).
  std::string spectrum;
  // Excitation along global X, Y, Z.
  std::array<bool, 3> directions{true, true, false};
  bool cqc = true;             // modes by CQC; else SRSS
  bool hundredThirty = false;  // directions by the 100/30 rule; else SRSS
  double damping = 0.05;       // CQC's damping ratio
  std::string name;            // "" for one made from the options
};

struct NativeSpectrum {
  // spectra[0]: the peak responses (displacements, rotations and reactions
  // as magnitudes; beam section forces, stations and shell resultants with
  // the sign of the governing mode; von Mises from those resultants);
  // modes: what was combined.
  SolveResults results;
  SolvedModel solved;
  std::uint64_t fingerprint = 0;
  ModalMass mass;
  // Per excited direction X, Y, Z: the base shear combined over the modes
  // (each mode's effective mass times its spectral acceleration), and the
  // static equivalent: the total mass times the spectral acceleration at
  // the period of the mode with the most effective mass in that direction.
  std::array<double, 3> baseShear{}, staticBaseShear{};
  std::vector<std::string> notes;
};

// Modes, then the response spectrum analysis on them. Throws SolverError
// for a spectrum that cannot be read (its line named) and as SolveModes.
NativeSpectrum SolveResponseSpectrum(AnalysisModel::XafModel& model, const SpectrumOptions& options);

// The envelope of a static analysis with a spectrum's peaks added and
// taken away, as the two analyses "S + E" and "S - E" (every value of E
// taken as its magnitude): design combinations such as G + 0.3 Q +- E.
std::pair<StepResults, StepResults> WithSpectrum(const StepResults& statics, const StepResults& spectrum);

}  // namespace Kestrum::Quilm::Solver
