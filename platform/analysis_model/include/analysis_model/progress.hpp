// Progress of long operations. The model's Flush and the solver bridge's
// export, solver run and results reading report through the one callback
// type declared here, so that a host drives a single progress display for
// all of them. It lives with the analysis model, the lowest layer that has
// long operations; the solver bridge and the tools build on it.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <utility>

namespace Kestrum::Quilm::AnalysisModel {

// One report: `done` of `total` units of the operation `step` are complete.
// `step` is a static string naming the operation ("flush", "export", "solve",
// "read results"); the units are the operation's own (tables, elements,
// solver steps) and `total` stays the same through a step. Each step begins
// with a report of 0 done and ends with one of done == total (one report
// when the step has nothing to do).
struct ProgressReport {
  const char* step;
  std::uint64_t done;
  std::uint64_t total;
};

// Called on the caller's thread between units of work, at most about a
// hundred times per step. An exception thrown from it fails the operation as
// any other failure there would (a flush then leaves the file as the last
// completed flush wrote it).
using ProgressCallback = std::function<void(const ProgressReport&)>;

// Counts the units of one step and passes a report on only when another
// hundredth of `total` is done, so a loop may count every item at the cost of
// an addition and a comparison. The meter keeps a copy of the callback; an
// empty callback makes every call a no-op.
class ProgressMeter {
 public:
  ProgressMeter(ProgressCallback callback, const char* step, std::uint64_t total)
      : callback_(std::move(callback)), step_(step), total_(total) {
    if (!callback_) return;
    callback_(ProgressReport{step_, 0, total_});
    SetNext();
  }

  // Counts `n` more units done.
  void Advance(std::uint64_t n = 1) {
    done_ += n;
    if (done_ >= next_) Report();
  }

  // Reports the step complete (done == total), once.
  void Finish() {
    if (!callback_ || finished_) return;
    finished_ = true;
    next_ = kNever;
    if (total_ > 0) callback_(ProgressReport{step_, total_, total_});
  }

 private:
  static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

  void SetNext() {
    const std::uint64_t stride = total_ / 100 > 0 ? total_ / 100 : 1;
    next_ = done_ < total_ ? done_ + stride - (done_ % stride) : kNever;
  }
  void Report() {
    const std::uint64_t shown = done_ < total_ ? done_ : total_;
    SetNext();
    if (shown < total_) callback_(ProgressReport{step_, shown, total_});
  }

  ProgressCallback callback_;
  const char* step_;
  std::uint64_t total_, done_ = 0, next_ = kNever;
  bool finished_ = false;
};

}  // namespace Kestrum::Quilm::AnalysisModel
