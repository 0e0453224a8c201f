#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "speccore/plane.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;

namespace {

const int32_t kMax = std::numeric_limits<int32_t>::max();

struct Dims {
  int32_t e, w, h;
};

uint8_t* bytesAt(void* p) { return static_cast<uint8_t*>(p); }

TEST(PlaneAlloc, TableThenContiguousZeroedRows) {
  // Rows of 4 MiB or more start on the next 2 MiB boundary after the table.
  const Dims cases[] = {{4, 1, 1},   {16, 5, 3}, {1, 7, 4},      {3, 1, 9},
                        {4, 640, 2}, {16, 1, 1}, {16, 512, 511}, {16, 512, 512}};
  for (const Dims& d : cases) {
    SCOPED_TRACE(testing::Message() << d.e << " x " << d.w << " x " << d.h);
    Plane p = planeAlloc(d.e, d.w, d.h);
    ASSERT_NE(p, nullptr);
    uint8_t* afterTable = bytesAt(p) + d.h * sizeof(void*);
    const size_t huge = size_t(2) << 20;
    if (size_t(d.e) * d.w * d.h < 2 * huge)
      EXPECT_EQ(bytesAt(p[0]), afterTable);
    else
      EXPECT_EQ(bytesAt(p[0]), afterTable + (huge - uintptr_t(afterTable) % huge) % huge);
    for (int32_t r = 1; r < d.h; ++r) EXPECT_EQ(bytesAt(p[r]) - bytesAt(p[r - 1]), d.w * d.e);
    const size_t n = size_t(d.w) * d.e * d.h;
    const uint8_t* rows = bytesAt(p[0]);
    EXPECT_EQ(size_t(std::count(rows, rows + n, 0)), n);
    std::memset(p[0], 0x7F, n);  // the whole row block is ours to write
    std::free(p);
  }
}

TEST(PlaneAlloc, SinglePixelBlockIsPointerThenFourZeroBytes) {
  Plane p = planeAlloc(sizeof(Pixel32), 1, 1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(bytesAt(p[0]) - bytesAt(p), ptrdiff_t(sizeof(void*)));
  const Pixel32 px = pixelRow(p, 0)[0];
  EXPECT_EQ(px.blue | px.green | px.red | px.reserved, 0);
  std::free(p);
}

TEST(PlaneAlloc, RefusesNonPositiveArguments) {
  const Dims cases[] = {{0, 1, 1},    {1, 0, 1},
                        {1, 1, 0},    {-4, 2, 2},
                        {4, -2, 2},   {4, 2, -2},
                        {-1, -1, -1}, {std::numeric_limits<int32_t>::min(), 1, 1}};
  for (const Dims& d : cases) {
    EXPECT_EQ(planeAlloc(d.e, d.w, d.h), nullptr) << d.e << " " << d.w << " " << d.h;
  }
}

// Requests whose byte count does not fit in size_t must be refused, not
// served with a block of the wrapped size.
TEST(PlaneAlloc, RefusesSizesBeyondTheSizeType) {
  const Dims cases[] = {
      {16, kMax, kMax},
      {kMax, kMax, kMax},
      {1 << 30, 1 << 30, 16},   // rows are exactly 2^64 bytes: wraps to the table alone
      {1 << 28, 1 << 28, 256},  // likewise
  };
  for (const Dims& d : cases) {
    void** p = planeAlloc(d.e, d.w, d.h);
    EXPECT_EQ(p, nullptr) << d.e << " " << d.w << " " << d.h;
    std::free(p);
  }
}

// With a 32-bit size type, requests that a 64-bit program could serve must
// be refused rather than wrapped to a smaller block.
TEST(PlaneAlloc, RefusesSizesA32BitSizeTypeCannotHold) {
  if (sizeof(size_t) > 4) GTEST_SKIP() << "the size type holds these sizes here";
  const Dims cases[] = {
      {4, 65536, 16384},  // rows exactly 2^32 bytes: would wrap to the table alone
      {16, 4096, 65536},  // likewise, from a complex plane
      {1, 65535, 65537},  // rows fit, the table pushes the total past 2^32
      {4, 32768, 16385},  // past 2 GiB, more than a pointer difference can span
  };
  uint8_t data[16] = {};
  for (const Dims& d : cases) {
    void** p = planeAlloc(d.e, d.w, d.h);
    EXPECT_EQ(p, nullptr) << d.e << " " << d.w << " " << d.h;
    std::free(p);
    // The wrapped rows could not be addressed either.
    p = planeWrap(data, d.e, d.w, d.h);
    EXPECT_EQ(p, nullptr) << d.e << " " << d.w << " " << d.h;
    std::free(p);
  }
}

TEST(PlaneWrap, PointsIntoDataWithoutCopyingOrClearing) {
  const int32_t e = 4, w = 3, h = 4;
  uint8_t* data = static_cast<uint8_t*>(std::malloc(e * w * h));
  ASSERT_NE(data, nullptr);
  for (int i = 0; i < e * w * h; ++i) data[i] = uint8_t(i + 1);
  Plane p = planeWrap(data, e, w, h);
  ASSERT_NE(p, nullptr);
  for (int32_t r = 0; r < h; ++r) EXPECT_EQ(bytesAt(p[r]), data + r * w * e);
  std::free(p);
  for (int i = 0; i < e * w * h; ++i) ASSERT_EQ(data[i], uint8_t(i + 1)) << i;
  std::free(data);
}

TEST(PlaneWrap, StrideOfComplexRows) {
  Complex samples[2 * 5] = {};
  samples[5].re = 7.5;
  Plane p = planeWrap(samples, sizeof(Complex), 5, 2);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(complexRow(p, 0), samples);
  EXPECT_EQ(complexRow(p, 1)[0].re, 7.5);
  std::free(p);
}

TEST(PlaneWrap, RefusesNullDataAndNonPositiveArguments) {
  uint8_t data[64] = {};
  EXPECT_EQ(planeWrap(nullptr, 4, 2, 2), nullptr);
  const Dims cases[] = {{0, 2, 2}, {4, 0, 2}, {4, 2, 0}, {-4, 2, 2}, {4, -2, 2}, {4, 2, -2}};
  for (const Dims& d : cases) {
    EXPECT_EQ(planeWrap(data, d.e, d.w, d.h), nullptr) << d.e << " " << d.w << " " << d.h;
  }
}

}  // namespace
