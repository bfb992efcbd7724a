// Runs independent pieces of work on the machine's cores: element matrices,
// load vectors and the recovery of load cases do not depend on each other.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace Kestrum::Quilm::Solver::Native {

// Calls work(i) for every i in [0, count) on at most `maxThreads` threads
// (the caller's among them). Each thread takes the next stretch of indices
// as it becomes free, so pieces of unequal cost (a load case's nodes beside
// its shells) still keep every core busy. The first exception thrown is
// rethrown once every thread has ended; no further stretch starts after it.
template <typename Work>
void ParallelFor(std::size_t count, const Work& work, unsigned maxThreads = 4) {
  const unsigned threads =
      static_cast<unsigned>(std::min<std::size_t>({count, maxThreads, std::max(1u, std::thread::hardware_concurrency())}));
  if (threads <= 1) {
    for (std::size_t i = 0; i < count; ++i) work(i);
    return;
  }
  std::exception_ptr failure;
  std::mutex mutex;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  const std::size_t stretch = std::max<std::size_t>(1, count / (threads * 16));
  auto run = [&]() {
    try {
      for (std::size_t first = next.fetch_add(stretch); first < count && !failed; first = next.fetch_add(stretch))
        for (std::size_t i = first; i < std::min(count, first + stretch); ++i) work(i);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex);
      if (!failure) failure = std::current_exception();
      failed = true;
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run);
  run();
  for (auto& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace Kestrum::Quilm::Solver::Native
