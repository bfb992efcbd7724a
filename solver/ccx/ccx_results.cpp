// Parser of the solver's printed results.
#include "solver/ccx/ccx_results.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <tuple>

namespace Kestrum::Quilm::Solver {
namespace {

std::vector<std::string> Tokens(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string t; in >> t;) out.push_back(t);
  return out;
}

bool StartsWith(const std::string& line, const std::string& prefix) {
  const auto first = line.find_first_not_of(' ');
  return first != std::string::npos && line.compare(first, prefix.size(), prefix) == 0;
}

// The time printed at the end of a block header: "... and time  0.1000000E+01".
double HeaderTime(const std::string& line) {
  const auto at = line.rfind("time");
  if (at == std::string::npos) throw SolverError("results header without a time: " + line);
  return ParseSolverNumber(Tokens(line.substr(at + 4)).at(0));
}

}  // namespace

double ParseSolverNumber(const std::string& token) {
  if (token.empty()) throw SolverError("empty number in the solver results");
  std::string text = token;
  // Fortran drops the E of a three-digit exponent: 1.234567-100.
  const auto sign = text.find_last_of("+-");
  if (sign != std::string::npos && sign > 0 && std::isdigit(static_cast<unsigned char>(text[sign - 1]))) {
    text.insert(sign, "E");
  }
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) {
    throw SolverError("cannot read the number '" + token + "' in the solver results");
  }
  return value;
}

namespace {

// The tables and blocks of a .dat file, read line by line.
class DatReader {
 public:
  DatReader(const DatLayout& layout, std::vector<ElementStresses>* stresses)
      : layout_(layout), stresses_(stresses), seen_(layout.staticSteps, false) {
    results_.steps.resize(layout.staticSteps);
    if (stresses_) stresses_->assign(layout.staticSteps, {});
  }

  void Line(const std::string& line) {
    if (Header(line)) return;
    const auto tokens = Tokens(line);
    if (tokens.empty()) return;
    if (vectors_) {
      if (tokens.size() != 4) {
        vectors_ = nullptr;
        return;
      }
      (*vectors_)[Integer(tokens[0], line)] =
          vec3d(ParseSolverNumber(tokens[1]), ParseSolverNumber(tokens[2]), ParseSolverNumber(tokens[3]));
    } else if (stressBlock_) {
      // Rows of expanded shells end in the name of the solver's own set.
      if (tokens.size() < 8 || tokens.size() > 9 || !IsInteger(tokens[1])) {
        stressBlock_ = nullptr;
        return;
      }
      auto& points = (*stressBlock_)[Integer(tokens[0], line)];
      std::array<double, 6> s{};
      for (std::size_t k = 0; k < 6; ++k) s[k] = ParseSolverNumber(tokens[k + 2]);
      points.push_back(s);
    } else if (table_ != Table::None) {
      TableRow(tokens);
    }
  }

  SolveResults Finish() {
    for (std::size_t i = 0; i < layout_.staticSteps; ++i) {
      if (!seen_[i] || results_.steps[i].displacements.empty()) {
        throw SolverError("the solver printed no displacements for step " + std::to_string(i + 1));
      }
    }
    if (layout_.frequencies && (!eigenvaluesSeen_ || results_.frequencies.empty())) {
      throw SolverError("the solver printed no eigenfrequencies");
    }
    if (layout_.buckling && results_.buckling.empty()) {
      throw SolverError("the solver printed no buckling factors");
    }
    // Modes without a printed shape stay out; their frequencies remain.
    std::vector<StepResults> modes;
    for (StepResults& mode : results_.modes) {
      if (!mode.displacements.empty()) modes.push_back(std::move(mode));
    }
    results_.modes = std::move(modes);
    return std::move(results_);
  }

 private:
  enum class Phase { Static, Frequency, Buckling };
  enum class Table { None, Eigenvalues, Participation, EffectiveMass, BucklingFactors };

  static long Integer(const std::string& token, const std::string& line) {
    char* end = nullptr;
    const long value = std::strtol(token.c_str(), &end, 10);
    if (*end != '\0') throw SolverError("cannot read the id in the solver results: " + line);
    return value;
  }
  static bool IsInteger(const std::string& token) {
    char* end = nullptr;
    std::strtol(token.c_str(), &end, 10);
    return !token.empty() && *end == '\0';
  }
  // The set named in a block header: "... for set NAME and time ...".
  static std::string SetName(const std::string& line) {
    const auto at = line.find(" set ");
    return at == std::string::npos ? std::string() : Tokens(line.substr(at + 5)).at(0);
  }

  // Starts a table or a block at its header; true when `line` was one.
  bool Header(const std::string& line) {
    const bool displacements = StartsWith(line, "displacements"), forces = StartsWith(line, "forces");
    const bool stresses = StartsWith(line, "stresses");
    if (displacements || forces || stresses) {
      table_ = Table::None;
      vectors_ = nullptr;
      stressBlock_ = nullptr;
      Block(line, displacements, forces);
      return true;
    }
    const auto table = [&](Table t) {
      table_ = t;
      rows_ = 0;
      vectors_ = nullptr;
      stressBlock_ = nullptr;
      return true;
    };
    if (line.find("E I G E N V A L U E   O U T P U T") != std::string::npos) {
      phase_ = Phase::Frequency;
      eigenvaluesSeen_ = true;
      results_.frequencies.clear();
      results_.modes.clear();
      mode_ = 0;
      return table(Table::Eigenvalues);
    }
    if (line.find("P A R T I C I P A T I O N   F A C T O R S") != std::string::npos)
      return table(Table::Participation);
    if (line.find("E F F E C T I V E   M O D A L   M A S S") != std::string::npos)
      return table(Table::EffectiveMass);
    if (line.find("T O T A L   E F F E C T I V E   M A S S") != std::string::npos) return table(Table::None);
    if (line.find("B U C K L I N G   F A C T O R   O U T P U T") != std::string::npos) {
      phase_ = Phase::Buckling;
      results_.buckling.clear();
      mode_ = 0;
      return table(Table::BucklingFactors);
    }
    if (line.find("E I G E N V A L U E") != std::string::npos &&
        line.find("N U M B E R") != std::string::npos) {
      mode_ = static_cast<int>(Integer(Tokens(line).back(), line));
      return table(Table::None);
    }
    return false;
  }

  // Points the block's rows at their target, or nowhere for prints that
  // are not kept.
  void Block(const std::string& line, bool displacements, bool forces) {
    const bool buckling = SetName(line) == "NBUCKLE";
    if (phase_ == Phase::Static && !buckling) {
      const double time = HeaderTime(line);
      const double step = std::round(time);
      // Static steps end at whole times 1, 2, ...; other prints are skipped.
      if (!(std::abs(time - step) < 1e-6 && step >= 1 && step <= static_cast<double>(layout_.staticSteps)))
        return;
      const auto index = static_cast<std::size_t>(step) - 1;
      StepResults& target = results_.steps[index];
      seen_[index] = true;
      Place(static_cast<int>(index) + 1, displacements, forces, line);
      if (displacements) {
        vectors_ = &target.displacements;
      } else if (forces) {
        vectors_ = &target.reactions;
      } else if (stresses_) {
        stressBlock_ = &(*stresses_)[index];
      }
      if (vectors_) vectors_->clear();
      if (stressBlock_) stressBlock_->clear();
      return;
    }
    // Mode shapes: displacements after a mode's header; in the frequency
    // phase the buckling step's preloading (set NBUCKLE) is not a mode.
    if (mode_ < 1 || phase_ == Phase::Static) return;
    if ((phase_ == Phase::Frequency) == buckling) return;
    Place(mode_, displacements, forces, line);
    if (!displacements && !forces && stresses_ && phase_ == Phase::Frequency) {
      // A mode's stresses follow the static steps' in `stresses`.
      const std::size_t index = layout_.staticSteps + static_cast<std::size_t>(mode_) - 1;
      if (stresses_->size() <= index) stresses_->resize(index + 1);
      stressBlock_ = &(*stresses_)[index];
      stressBlock_->clear();
      return;
    }
    if (!displacements) return;
    auto& modes = phase_ == Phase::Frequency ? results_.modes : results_.buckling;
    if (static_cast<std::size_t>(mode_) > modes.size()) return;
    vectors_ = &modes[static_cast<std::size_t>(mode_) - 1].displacements;
    vectors_->clear();
  }

  // Each static step and each mode prints each kind of block once; a second
  // one is a later step's print (a request carried over into it, printed at
  // the same time or under the same mode), which it cannot be told from:
  // an error, never the step's or the mode's results.
  void Place(int number, bool displacements, bool forces, const std::string& line) {
    const int kind = displacements ? 0 : forces ? 1 : 2;
    if (!placed_.insert({static_cast<int>(phase_), number, kind}).second) {
      throw SolverError("cannot tell which step this block of the solver's results belongs to: " + line);
    }
  }

  void TableRow(const std::vector<std::string>& tokens) {
    const bool row = IsInteger(tokens[0]);
    std::size_t expected = 0;
    switch (table_) {
      case Table::Eigenvalues:
        expected = 5;
        break;  // mode, eigenvalue, rad/time, cycles/time, imaginary
      case Table::Participation:
      case Table::EffectiveMass:
        expected = 7;
        break;  // mode, x, y, z, rx, ry, rz
      case Table::BucklingFactors:
        expected = 2;
        break;  // mode, factor
      case Table::None:
        return;
    }
    if (!row || tokens.size() != expected) {
      // Column headings come before the rows; anything else after them ends the table.
      if (rows_ > 0) table_ = Table::None, rows_ = 0;
      return;
    }
    ++rows_;
    const auto mode = static_cast<std::size_t>(std::strtol(tokens[0].c_str(), nullptr, 10));
    if (table_ == Table::Eigenvalues) {
      results_.frequencies.push_back(ParseSolverNumber(tokens[3]));
      StepResults shape;
      shape.kind = AnalysisKind::Mode;
      shape.mode = static_cast<int>(results_.frequencies.size());
      shape.eigenvalue = results_.frequencies.back();
      results_.modes.push_back(std::move(shape));
    } else if (table_ == Table::BucklingFactors) {
      StepResults shape;
      shape.kind = AnalysisKind::Buckling;
      shape.mode = static_cast<int>(results_.buckling.size() + 1);
      shape.eigenvalue = ParseSolverNumber(tokens[1]);
      results_.buckling.push_back(std::move(shape));
    } else if (mode >= 1 && mode <= results_.modes.size()) {
      auto& values = table_ == Table::Participation ? results_.modes[mode - 1].participation
                                                    : results_.modes[mode - 1].effectiveMass;
      for (std::size_t k = 0; k < 6; ++k) values[k] = ParseSolverNumber(tokens[k + 1]);
    }
  }

  const DatLayout& layout_;
  std::vector<ElementStresses>* stresses_;
  SolveResults results_;
  std::vector<bool> seen_;
  Phase phase_ = Phase::Static;
  Table table_ = Table::None;
  std::size_t rows_ = 0;
  int mode_ = 0;
  bool eigenvaluesSeen_ = false;
  // The (phase, step or mode number, block kind) of every block read.
  std::set<std::tuple<int, int, int>> placed_;
  std::map<long, vec3d>* vectors_ = nullptr;
  ElementStresses* stressBlock_ = nullptr;
};

}  // namespace

SolveResults ParseCcxDat(const std::string& text, const DatLayout& layout,
                         std::vector<ElementStresses>* stresses) {
  DatReader reader(layout, stresses);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) reader.Line(line);
  return reader.Finish();
}

SolveResults ParseCcxDat(const std::string& text, std::size_t staticSteps, bool expectFrequencies) {
  DatLayout layout;
  layout.staticSteps = staticSteps;
  layout.frequencies = expectFrequencies;
  return ParseCcxDat(text, layout);
}

}  // namespace Kestrum::Quilm::Solver
