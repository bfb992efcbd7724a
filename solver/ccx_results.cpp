// Parser of the solver's printed results.
#include "solver/ccx_results.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

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

SolveResults ParseCcxDat(const std::string& text, std::size_t staticSteps, bool expectFrequencies) {
  SolveResults results;
  results.steps.resize(staticSteps);
  std::vector<bool> seen(staticSteps, false);
  std::istringstream in(text);
  std::string line;
  std::map<long, vec3d>* block = nullptr;
  bool inEigenvalues = false, eigenvaluesSeen = false;
  while (std::getline(in, line)) {
    if (StartsWith(line, "displacements") || StartsWith(line, "forces")) {
      inEigenvalues = false;
      block = nullptr;
      const double time = HeaderTime(line);
      const double step = std::round(time);
      // Static steps end at whole times 1, 2, ...; other prints are skipped.
      if (std::abs(time - step) < 1e-6 && step >= 1 && step <= static_cast<double>(staticSteps)) {
        auto& target = results.steps[static_cast<std::size_t>(step) - 1];
        block = StartsWith(line, "displacements") ? &target.displacements : &target.reactions;
        block->clear();  // a later print of the same step replaces an earlier one
        seen[static_cast<std::size_t>(step) - 1] = true;
      }
      continue;
    }
    if (line.find("E I G E N V A L U E   O U T P U T") != std::string::npos) {
      inEigenvalues = eigenvaluesSeen = true;
      block = nullptr;
      results.frequencies.clear();
      continue;
    }
    const auto tokens = Tokens(line);
    if (tokens.empty()) continue;
    if (block) {
      if (tokens.size() != 4) {
        block = nullptr;
        continue;
      }
      char* end = nullptr;
      const long node = std::strtol(tokens[0].c_str(), &end, 10);
      if (*end != '\0') throw SolverError("cannot read the node in the solver results: " + line);
      (*block)[node] =
          vec3d(ParseSolverNumber(tokens[1]), ParseSolverNumber(tokens[2]), ParseSolverNumber(tokens[3]));
    } else if (inEigenvalues) {
      // Rows: mode, eigenvalue, rad/time, cycles/time, imaginary part.
      char* end = nullptr;
      std::strtol(tokens[0].c_str(), &end, 10);
      if (*end == '\0' && tokens.size() == 5) {
        results.frequencies.push_back(ParseSolverNumber(tokens[3]));
      } else if (!results.frequencies.empty()) {
        inEigenvalues = false;  // the table has ended
      }
    }
  }
  for (std::size_t i = 0; i < staticSteps; ++i) {
    if (!seen[i] || results.steps[i].displacements.empty()) {
      throw SolverError("the solver printed no displacements for step " + std::to_string(i + 1));
    }
  }
  if (expectFrequencies && (!eigenvaluesSeen || results.frequencies.empty())) {
    throw SolverError("the solver printed no eigenfrequencies");
  }
  return results;
}

}  // namespace Kestrum::Quilm::Solver
