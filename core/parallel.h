// Work shared among threads. Every helper cuts its range into contiguous
// parts, one per thread, and each result is computed by exactly the code a
// single thread would run, so results never depend on the thread count.
#ifndef SPECCORE_PARALLEL_H
#define SPECCORE_PARALLEL_H

#include <cstdint>
#include <thread>
#include <vector>

#include "speccore/types.h"

namespace speccore {

// threads <= 0 means every processor this process may run on; never more
// threads than there are items. WebAssembly built without threads has no
// thread to start, and there a failed start would end the program rather
// than leave its part to the caller (exceptions are not caught): the caller
// does all the work.
inline int threadsFor(int threads, int64_t items) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  (void)threads;
  (void)items;
  return 1;
#endif
  int64_t n = threads > 0 ? threads : availableProcessors();
  if (n > items) n = items;
  return n < 1 ? 1 : int(n);
}

// Runs work(part, first, last) over [0, count) in `threads` contiguous parts
// of nearly equal size: part t covers [count * t / threads, count * (t + 1) /
// threads), so a part may keep memory of its own by its number. The caller's
// thread takes part 0; a thread that cannot be started leaves its part to the
// caller, so the work is always done.
template <class Work>
void parallelRanges(int64_t count, int threads, const Work& work) {
  threads = threadsFor(threads, count);
  std::vector<std::thread> started;
  int firstNotStarted = threads;
  try {
    started.reserve(size_t(threads - 1));
    for (int t = 1; t < threads; ++t) {
      const int64_t first = count * t / threads, last = count * (t + 1) / threads;
      started.emplace_back([&work, t, first, last] { work(t, first, last); });
    }
  } catch (...) {  // no thread, or no memory for one: the caller does the rest
    firstNotStarted = int(started.size()) + 1;
  }
  work(0, int64_t(0), count / threads);
  for (int t = firstNotStarted; t < threads; ++t)
    work(t, count * t / threads, count * (t + 1) / threads);
  for (std::thread& thread : started) thread.join();
}

// Runs work(first, last) over the rows [0, height) of a plane in contiguous
// runs of rows, one run per thread.
template <class Work>
void parallelRows(int32_t height, int threads, const Work& work) {
  parallelRanges(height, threads, [&work](int, int64_t first, int64_t last) {
    work(int32_t(first), int32_t(last));
  });
}

// The ends of the values value(row, column) of a W x H plane (W, H >= 1) as
// one pass in row order finds them: it starts with both ends at the first
// value and moves an end only for a value strictly beyond it. So NaNs are
// passed over (all values, when the first is a NaN: both ends stay NaN), and
// of equal values the first one found counts (-0 before +0 stays -0). Each
// thread finds its rows' ends the same way; joined in row order, they are
// the single pass's, for any thread count.
template <class Value>
void planeRange(int32_t width, int32_t height, int threads, const Value& value, double* min,
                double* max) {
  *min = *max = value(0, 0);
  if (*min != *min) return;  // a NaN first: nothing moves the ends
  threads = threadsFor(threads, height);
  std::vector<double> ends(size_t(threads) * 2, *min);
  parallelRanges(height, threads, [&](int part, int64_t first, int64_t last) {
    double lo = *min, hi = *min;
    for (int64_t y = first; y < last; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        const double v = value(int32_t(y), x);
        if (v < lo)
          lo = v;
        else if (v > hi)
          hi = v;
      }
    }
    ends[2 * size_t(part)] = lo;
    ends[2 * size_t(part) + 1] = hi;
  });
  for (int part = 0; part < threads; ++part) {
    if (ends[2 * size_t(part)] < *min) *min = ends[2 * size_t(part)];
    if (ends[2 * size_t(part) + 1] > *max) *max = ends[2 * size_t(part) + 1];
  }
}

// Draws the W x H gray picture whose pixel (x, y) has the level
// level(sample) of sample (x, y) of `source`, in runs of rows, one per thread.
template <class Level>
void grayPicture(Plane source, Plane destination, int32_t width, int32_t height, int threads,
                 const Level& level) {
  parallelRows(height, threads, [&](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      const Complex* in = complexRow(source, y);
      Pixel32* out = pixelRow(destination, y);
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t g = level(in[x]);
        out[x] = Pixel32{g, g, g, 0};
      }
    }
  });
}

}  // namespace speccore

#endif
