// Line-by-line reading of spectrum tables and elastic spectrum parameters.
#include "solver/native/dynamics/design_spectrum_text.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace Kestrum::Quilm::Solver::Native {

namespace {

[[noreturn]] void FailAt(int line, const std::string& message) {
  throw std::invalid_argument("spectrum text line " + std::to_string(line) + ": " + message);
}

std::string WithoutComment(const std::string& line) { return line.substr(0, line.find('#')); }

// Calls visit(lineNumber, content) for every line, comments removed.
void ForEachLine(const std::string& text, const std::function<void(int, const std::string&)>& visit) {
  std::istringstream stream(text);
  std::string line;
  for (int number = 1; std::getline(stream, line); ++number) visit(number, WithoutComment(line));
}

std::vector<std::string> Tokens(std::string content) {
  std::replace(content.begin(), content.end(), ',', ' ');
  std::istringstream stream(content);
  std::vector<std::string> tokens;
  for (std::string token; stream >> token;) tokens.push_back(token);
  return tokens;
}

double ParseNumber(const std::string& token, int line) {
  char* end = nullptr;
  const double value = std::strtod(token.c_str(), &end);
  if (token.empty() || *end != '\0' || !std::isfinite(value))
    FailAt(line, "'" + token + "' is not a finite number");
  return value;
}

// "ag = 3" and "ag= 3" become "ag=3".
std::string JoinedAssignments(const std::string& content) {
  std::string joined;
  for (char c : content) {
    if (c == '=')
      while (!joined.empty() && std::isspace(static_cast<unsigned char>(joined.back()))) joined.pop_back();
    else if (std::isspace(static_cast<unsigned char>(c)) && !joined.empty() && joined.back() == '=')
      continue;
    joined += c;
  }
  return joined;
}

std::string Lowercase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

double* ParameterField(ElasticSpectrumParameters& p, const std::string& key) {
  static const std::map<std::string, double ElasticSpectrumParameters::*> kFields = {
      {"ag", &ElasticSpectrumParameters::groundAcceleration},
      {"s", &ElasticSpectrumParameters::soilFactor},
      {"tb", &ElasticSpectrumParameters::periodB},
      {"tc", &ElasticSpectrumParameters::periodC},
      {"td", &ElasticSpectrumParameters::periodD},
      {"damping", &ElasticSpectrumParameters::damping}};
  const auto found = kFields.find(key);
  return found == kFields.end() ? nullptr : &(p.*(found->second));
}

bool HasAssignment(const std::string& text) {
  bool found = false;
  ForEachLine(text, [&](int, const std::string& content) {
    found = found || content.find('=') != std::string::npos;
  });
  return found;
}

}  // namespace

DesignSpectrum ParseSpectrumTable(const std::string& text) {
  std::vector<SpectrumPoint> points;
  ForEachLine(text, [&](int line, const std::string& content) {
    const std::vector<std::string> tokens = Tokens(content);
    if (tokens.empty()) return;
    if (tokens.size() != 2)
      FailAt(line, "expected 'period acceleration', found " + std::to_string(tokens.size()) + " values");
    const SpectrumPoint point{ParseNumber(tokens[0], line), ParseNumber(tokens[1], line)};
    const std::string problem = SpectrumPointProblem(points.empty() ? nullptr : &points.back(), point);
    if (!problem.empty()) FailAt(line, problem);
    points.push_back(point);
  });
  if (points.size() < 2)
    throw std::invalid_argument("spectrum text: a table needs at least two 'period acceleration' lines");
  return DesignSpectrum::FromTable(std::move(points));
}

ElasticSpectrumParameters ParseSpectrumParameters(const std::string& text) {
  ElasticSpectrumParameters parameters;
  std::map<std::string, int> seenAt;
  ForEachLine(text, [&](int line, const std::string& content) {
    for (const std::string& token : Tokens(JoinedAssignments(content))) {
      const std::size_t equals = token.find('=');
      if (equals == std::string::npos || equals == 0 || equals + 1 == token.size())
        FailAt(line, "expected key=value, found '" + token + "'");
      const std::string key = Lowercase(token.substr(0, equals));
      double* field = ParameterField(parameters, key);
      if (!field)
        FailAt(line, "unknown parameter '" + token.substr(0, equals) + "' (ag, S, TB, TC, TD, damping)");
      if (seenAt.count(key))
        FailAt(line, "parameter '" + key + "' repeated (first on line " + std::to_string(seenAt[key]) + ")");
      seenAt[key] = line;
      *field = ParseNumber(token.substr(equals + 1), line);
    }
  });
  for (const char* required : {"ag", "tb", "tc", "td"})
    if (!seenAt.count(required))
      throw std::invalid_argument(std::string("spectrum text: parameter '") + required + "' is missing");
  try {
    ValidateSpectrumParameters(parameters);
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(std::string("spectrum text: ") + e.what());
  }
  return parameters;
}

DesignSpectrum ParseSpectrum(const std::string& text) {
  return HasAssignment(text) ? DesignSpectrum::FromParameters(ParseSpectrumParameters(text))
                             : ParseSpectrumTable(text);
}

}  // namespace Kestrum::Quilm::Solver::Native
