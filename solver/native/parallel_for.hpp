// Runs independent pieces of work on the machine's cores: element matrices,
// load vectors and the recovery of load cases do not depend on each other.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace Kestrum::Quilm::Solver::Native {

// Calls work(i) for every i in [0, count), split into contiguous stretches
// over at most `maxThreads` threads (the caller's among them). The first
// exception thrown is rethrown once every thread has ended.
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
  auto run = [&](std::size_t first, std::size_t last) {
    try {
      for (std::size_t i = first; i < last; ++i) work(i);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex);
      if (!failure) failure = std::current_exception();
    }
  };
  const std::size_t share = (count + threads - 1) / threads;
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run, t * share, std::min(count, (t + 1) * share));
  run(0, std::min(count, share));
  for (auto& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace Kestrum::Quilm::Solver::Native
