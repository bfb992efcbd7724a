// The tools' progress display: one line on stderr, redrawn in place while a
// long step runs ("flush [#########           ]  45%") and cleared when it
// ends. It shows only on a terminal, so redirected output and logs stay
// clean, and only for steps that last long enough to be worth watching.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

#include "analysis_model/progress.hpp"

namespace quilm_tools {

class TerminalProgress {
 public:
  // Draws on `out` (not owned: must outlive this object); nullptr draws
  // nothing. A step is drawn once it has run for `delay`.
  explicit TerminalProgress(std::ostream* out,
                            std::chrono::milliseconds delay = std::chrono::milliseconds(300));
  // Draws on stderr when it is a terminal and `quiet` is not set.
  static TerminalProgress ForStderr(bool quiet);
  ~TerminalProgress();
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  // The callback to hand to the library; it refers to this object, which
  // must outlive every operation it is given to. Empty when nothing is drawn,
  // so the library skips its reports altogether.
  Kestrum::Quilm::AnalysisModel::ProgressCallback Callback();

  // Draws (or clears) the line for one report.
  void Show(const Kestrum::Quilm::AnalysisModel::ProgressReport& report);

 private:
  void Clear();

  std::ostream* out_;
  std::chrono::milliseconds delay_;
  std::string step_;
  std::chrono::steady_clock::time_point started_;
  int shownPercent_ = -1;
  std::size_t lineWidth_ = 0;
};

}  // namespace quilm_tools
