// Work shared among threads: every item done once, whatever the count.
#include <atomic>

#include "parallel.h"
#include "testutil.h"

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
