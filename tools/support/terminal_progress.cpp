// The progress line on a terminal.
#include "terminal_progress.hpp"

#include <unistd.h>

#include <iostream>

namespace quilm_tools {

TerminalProgress::TerminalProgress(std::ostream* out, std::chrono::milliseconds delay)
    : out_(out), delay_(delay) {}

TerminalProgress TerminalProgress::ForStderr(bool quiet) {
  return TerminalProgress(!quiet && ::isatty(STDERR_FILENO) ? &std::cerr : nullptr);
}

TerminalProgress::~TerminalProgress() { Clear(); }

Kestrum::Quilm::AnalysisModel::ProgressCallback TerminalProgress::Callback() {
  if (!out_) return {};
  return [this](const Kestrum::Quilm::AnalysisModel::ProgressReport& report) { Show(report); };
}

void TerminalProgress::Show(const Kestrum::Quilm::AnalysisModel::ProgressReport& report) {
  if (!out_) return;
  const auto now = std::chrono::steady_clock::now();
  if (report.step != step_ || report.done == 0) {
    Clear();
    step_ = report.step;
    started_ = now;
    shownPercent_ = -1;
  }
  if (report.total == 0 || report.done >= report.total) {
    Clear();
    return;
  }
  const int percent = static_cast<int>(report.done * 100 / report.total);
  if (percent == shownPercent_ || now - started_ < delay_) return;
  shownPercent_ = percent;
  constexpr int kBar = 20;
  const int filled = percent * kBar / 100;
  const std::string line = step_ + " [" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kBar - filled), ' ') + "] " +
                           (percent < 10 ? "  " : " ") + std::to_string(percent) + "%";
  *out_ << '\r' << line << std::flush;
  lineWidth_ = line.size();
}

// Blanks a line that was drawn, so the next output starts on a clean line.
void TerminalProgress::Clear() {
  if (!out_ || lineWidth_ == 0) return;
  *out_ << '\r' << std::string(lineWidth_, ' ') << '\r' << std::flush;
  lineWidth_ = 0;
}

}  // namespace quilm_tools
