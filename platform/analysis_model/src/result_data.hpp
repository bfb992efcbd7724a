// The stored results in memory, with their change marks, and the model
// fingerprint that tells when they went stale. Internal to the library.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "analysis_model/results.hpp"

namespace Kestrum::Quilm::AnalysisModel {

struct ModelData;

inline constexpr unsigned kMaxResultPoints = 8;
inline constexpr std::size_t kQuantityCount = sizeof(kResultQuantities) / sizeof(kResultQuantities[0]);

// Index of a quantity in AnalysisRecord::tables.
inline std::size_t QuantityIndex(ResultQuantity q) noexcept { return static_cast<std::size_t>(q) - 1; }

struct AnalysisRecord {
  AnalysisKind kind = AnalysisKind::LoadCase;
  long number = 0;
  std::string name;
  double value = 0.0;
  std::uint64_t fingerprint = 0;
  bool stale = false;
  std::string solver;  // "" when none was recorded
  std::array<ResultArray, kQuantityCount> tables;
};

struct ResultData {
  std::map<long, AnalysisRecord> analyses;
  // Analyses whose rows are rewritten at the next flush (deleted when no
  // longer held), and those whose header row alone changed.
  std::set<long> dirtyAnalyses, dirtyHeaders;

  bool Empty() const noexcept { return analyses.empty() && dirtyAnalyses.empty() && dirtyHeaders.empty(); }
  void ClearChanges() {
    dirtyAnalyses.clear();
    dirtyHeaders.clear();
  }
  // Marks every analysis for writing (the first flush into a new file).
  void MarkEverythingChanged() {
    for (const auto& entry : analyses) dirtyAnalyses.insert(entry.first);
  }
};

// The results of a model, created on first use.
ResultData& ResultsOf(ModelData& d);

// The fingerprint of what the solver reads from the model (see results.hpp).
std::uint64_t ModelFingerprint(const ModelData& d);

// Marks stale, in memory and for the next flush, every analysis whose
// fingerprint no longer matches the model. Costs one fingerprint when any
// analysis is not stale yet, nothing otherwise.
void SettleStaleResults(ModelData& d);

// "" when the result tables hold together (ascending ids, offsets that
// match the values, whole points), otherwise the first problem.
std::string ValidateResults(const ResultData& r);

}  // namespace Kestrum::Quilm::AnalysisModel
