// Work shared among threads. Every helper cuts its range into contiguous
// parts, one per thread, and each result is computed by exactly the code a
// single thread would run, so results never depend on the thread count.
#ifndef SPECCORE_PARALLEL_H
#define SPECCORE_PARALLEL_H

#include <cstdint>
#include <thread>
#include <vector>

#include "speccore.h"

namespace speccore {

// threads <= 0 means every processor this process may run on; never more
// threads than there are items.
inline int threadsFor(int threads, int64_t items) {
  int64_t n = threads > 0 ? threads : availableProcessors();
  if (n > items) n = items;
  return n < 1 ? 1 : int(n);
}

// Runs work(first, last) over [0, count) in `threads` contiguous parts of
// nearly equal size: part t covers [count * t / threads, count * (t + 1) /
// threads). The caller's thread takes the first part; a thread that cannot
// be started leaves its part to the caller, so the work is always done.
template <class Work>
void parallelRanges(int64_t count, int threads, const Work& work) {
  threads = threadsFor(threads, count);
  std::vector<std::thread> started;
  int firstNotStarted = threads;
  try {
    started.reserve(size_t(threads - 1));
    for (int t = 1; t < threads; ++t) {
      const int64_t first = count * t / threads, last = count * (t + 1) / threads;
      started.emplace_back([&work, first, last] { work(first, last); });
    }
  } catch (...) {  // no thread, or no memory for one: the caller does the rest
    firstNotStarted = int(started.size()) + 1;
  }
  work(0, count / threads);
  for (int t = firstNotStarted; t < threads; ++t)
    work(count * t / threads, count * (t + 1) / threads);
  for (std::thread& thread : started) thread.join();
}

}  // namespace speccore

#endif
