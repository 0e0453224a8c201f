// Work shared among threads: every item done once, whatever the count.
#include <atomic>
#include <cmath>

#include "parallel.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;

TEST(Parallel, EveryItemOnceInContiguousParts) {
  EXPECT_GE(availableProcessors(), 1);
  for (const int64_t count : {0, 1, 2, 7, 100}) {
    for (const int threads : {-1, 0, 1, 2, 3, 8, 200}) {
      std::vector<std::atomic<int>> done(static_cast<size_t>(count));
      std::atomic<int> parts{0};
      const int expected = speccore::threadsFor(threads, count);
      speccore::parallelRanges(count, threads, [&](int part, int64_t first, int64_t last) {
        EXPECT_EQ(count * part / expected, first);
        EXPECT_EQ(count * (part + 1) / expected, last);
        for (int64_t i = first; i < last; ++i) ++done[size_t(i)];
        ++parts;
      });
      for (int64_t i = 0; i < count; ++i) EXPECT_EQ(1, done[size_t(i)].load()) << count << " " << i;
      // Never more parts than items, and one for an empty range.
      EXPECT_EQ(expected, parts.load()) << count << ", " << threads;
      EXPECT_LE(parts.load(), count > 0 ? count : 1);
    }
  }
}

TEST(Parallel, PlaneRangeIsTheSinglePassOne) {
  // The single pass the ends must equal: both start at the first value and
  // move for values strictly beyond them.
  auto singlePass = [](const std::vector<double>& v, double* min, double* max) {
    *min = *max = v[0];
    for (double x : v) {
      if (x < *min)
        *min = x;
      else if (x > *max)
        *max = x;
    }
  };
  const double nan = std::nan(""), inf = HUGE_VAL;
  const int32_t w = 3, h = 7;
  struct Case {
    const char* what;
    std::vector<double> set;  // values placed at the front, the rest from 1 to 2
  } cases[] = {
      {"plain", {5.0}},
      {"NaN first holds both ends", {nan, -9.0, 9.0}},
      {"NaNs where parts start", {1.5, 1.5, 1.5, nan, 7.0, 1.5, nan, -3.0}},
      {"-0 before +0", {0.0, 1.0, 1.0, -0.0, 1.0, 1.0, +0.0, -0.0}},
      {"+0 before -0", {3.0, 1.0, 1.0, 0.0, 1.0, 1.0, -0.0}},
      {"infinities", {2.0, -inf, 1.0, inf, 1.0, nan}},
  };
  for (const Case& c : cases) {
    std::vector<double> v(size_t(w * h));
    for (size_t i = 0; i < v.size(); ++i) v[i] = i < c.set.size() ? c.set[i] : 1.0 + double(i) / 64;
    double wantMin, wantMax;
    singlePass(v, &wantMin, &wantMax);
    for (int threads : {1, 2, 3, 7, 8}) {
      double min, max;
      speccore::planeRange(
          w, h, threads, [&](int32_t y, int32_t x) { return v[size_t(y * w + x)]; }, &min, &max);
      // Bits, so that -0 and +0 and NaNs count.
      EXPECT_EQ(0, std::memcmp(&wantMin, &min, sizeof min)) << c.what << ", " << threads;
      EXPECT_EQ(0, std::memcmp(&wantMax, &max, sizeof max)) << c.what << ", " << threads;
    }
  }
}
