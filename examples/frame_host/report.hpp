// Progress and summary reporting of the example host: a progress line for
// long steps, a stopwatch, and the summary printed at the end of a run
// (counts per table, timings, file size).
#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "analysis_model/xaf_model.hpp"

namespace frame_host {

namespace AnalysisModel = Kestrum::Quilm::AnalysisModel;

// Reports the progress of one long step in tenths ("meshing 30%") on a
// stream. Steps with fewer than `threshold` items, or with no stream, report
// nothing, so small runs stay quiet.
class Progress {
 public:
  Progress(std::ostream* out, std::string step, std::size_t total, std::size_t threshold = 50000);
  // Counts `n` more items done.
  void Advance(std::size_t n = 1);
  // Reports completion (if anything was reported before).
  void Done();

 private:
  std::ostream* out_;
  std::string step_;
  std::size_t total_, done_ = 0;
  int lastTenth_ = 0;
  bool active_;
};

// Wall-clock time since construction or the last Restart, in seconds.
class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  void Restart() { start_ = std::chrono::steady_clock::now(); }
  double Seconds() const;

 private:
  std::chrono::steady_clock::time_point start_;
};

// One timed step of a run: "first write", "flush after first write", ...
struct TimedStep {
  std::string name;
  double seconds;
};

// Row counts of the analysis model's tables.
struct TableCounts {
  std::size_t nodes = 0, elements = 0, materials = 0, sections = 0, sets = 0, concepts = 0;
  std::size_t eccentricities = 0, transformations = 0, namedNodes = 0, nodesWithMass = 0;
  std::size_t supports = 0, loadCases = 0, loads = 0;
  std::vector<std::pair<std::string, std::size_t>> elementsByType;  // type name, count
  std::vector<std::pair<std::string, std::size_t>> loadsByCase;     // "id name", count
};

// Counts the rows of every table of the analysis model.
TableCounts CountTables(AnalysisModel::XafModel& model);

// Prints the summary of a run: the size, the counts, each timed step and the
// size of the model file.
void PrintSummary(std::ostream& out, const std::string& title, const TableCounts& counts,
                  const std::vector<TimedStep>& steps, const std::string& fileName);

// The size of a file in bytes, or -1 when it cannot be read.
long long FileSize(const std::string& fileName);

}  // namespace frame_host
