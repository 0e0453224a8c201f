// The transform by FFT: the direct transform's results within its own error
// bound, for any size and both directions; the same bits for every thread
// count and wherever the plane lies; and a clean refusal in a build without
// FFTW. Every test covers both builds.
#include <cmath>
#include <cstring>
#include <random>

#include "fasttransform.h"
#include "speccore_fft.h"
#include "testutil.h"

using namespace speccore;

namespace {

// Gray levels, or for the inverse direction complex samples, from a seed.
std::vector<Complex> samplesOf(int32_t w, int32_t h, bool gray, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Complex> s(size_t(w) * size_t(h));
  for (Complex& c : s)
    c = gray ? Complex{double(rng() % 256), 0.0}
             : Complex{double(rng() % 65536) - 32768.0, double(rng() % 65536) - 32768.0};
  return s;
}

std::vector<Complex> samplesIn(Plane p, int32_t w, int32_t h) {
  std::vector<Complex> s(size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y) std::memcpy(&s[size_t(y) * w], complexRow(p, y), size_t(w) * 16);
  return s;
}

// Odd, prime, thin and tall sizes; 4099 is longer than any buffer of a
// group would be on the stack. 256 x 192 is the demo picture's size.
const struct Size {
  int32_t w, h;
} kSizes[] = {{2, 2},   {1, 9},     {9, 1},    {37, 23}, {97, 89},
              {101, 7}, {256, 192}, {4099, 3}, {3, 4099}};

bool sameBits(const std::vector<Complex>& a, const std::vector<Complex>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)) == 0;
}

}  // namespace

TEST(Fft, WithinTheDirectTransformsBound) {
  // The bound the direct transform keeps from the exact one (the numpy
  // test's): 8 (W + H) units of 2^-52 of the largest magnitude. The FFT is
  // nearer the exact transform, so it lies within the same bound of the
  // direct one.
  for (const Size& z : kSizes) {
    for (int direction : {int(kDftForward), int(kDftInverse)}) {
      SCOPED_TRACE(testing::Message() << z.w << "x" << z.h << " direction " << direction);
      const std::vector<Complex> in = samplesOf(z.w, z.h, direction == kDftForward, 7);
      PlaneHolder fast = planeOf(in, z.w, z.h);
      const int status = fft2dThreads(fast.get(), z.w, z.h, direction, 1, nullptr);
      if (!fftAvailable()) {
        // Refused, and the plane left as it was.
        EXPECT_EQ(kStatusNoFft, status);
        EXPECT_EQ(0, std::memcmp(in.data(), complexRow(fast.get(), 0), in.size() * 16));
        continue;
      }
      ASSERT_EQ(0, status);
      PlaneHolder direct = planeOf(in, z.w, z.h);
      ASSERT_EQ(0, dft2d(direct.get(), z.w, z.h, direction));
      const std::vector<Complex> d = samplesIn(direct.get(), z.w, z.h);
      const std::vector<Complex> f = samplesIn(fast.get(), z.w, z.h);
      double largest = 0, worst = 0;
      for (size_t i = 0; i < d.size(); ++i) {
        largest = std::fmax(largest, std::hypot(d[i].re, d[i].im));
        worst = std::fmax(worst, std::hypot(d[i].re - f[i].re, d[i].im - f[i].im));
      }
      EXPECT_LE(worst, 8.0 * (z.w + z.h) * 0x1p-52 * largest);
    }
  }
}

TEST(Fft, SameBitsForEveryThreadCountAndPlacement) {
  if (!fftAvailable()) GTEST_SKIP() << "built without FFTW: nothing to compare";
  for (const Size& z : {Size{97, 89}, Size{4099, 3}, Size{3, 4099}, Size{256, 192}}) {
    for (int direction : {int(kDftForward), int(kDftInverse)}) {
      SCOPED_TRACE(testing::Message() << z.w << "x" << z.h << " direction " << direction);
      const std::vector<Complex> in = samplesOf(z.w, z.h, false, 11);
      PlaneHolder one = planeOf(in, z.w, z.h);
      DftProgress progress;
      ASSERT_EQ(0, fft2dThreads(one.get(), z.w, z.h, direction, 1, &progress));
      EXPECT_EQ(2 * in.size(), progress.total.load());
      EXPECT_EQ(progress.total.load(), progress.done.load());
      const std::vector<Complex> expected = samplesIn(one.get(), z.w, z.h);
      for (int threads : {2, 3, 8}) {
        PlaneHolder p = planeOf(in, z.w, z.h);
        ASSERT_EQ(0, fft2dThreads(p.get(), z.w, z.h, direction, threads, nullptr));
        EXPECT_TRUE(sameBits(expected, samplesIn(p.get(), z.w, z.h))) << threads << " threads";
      }
      // Rows 8 bytes off FFTW's alignment, as a spectrum file's samples
      // after a text may lie: they go through an aligned buffer instead.
      std::vector<uint8_t> bytes(in.size() * sizeof(Complex) + 16);
      uint8_t* shifted = bytes.data() + (16 - uintptr_t(bytes.data()) % 16) % 16 + 8;
      std::memcpy(shifted, in.data(), in.size() * sizeof(Complex));
      PlaneHolder view(planeWrap(shifted, sizeof(Complex), z.w, z.h));
      ASSERT_EQ(0, fft2dThreads(view.get(), z.w, z.h, direction, 2, nullptr));
      EXPECT_TRUE(sameBits(expected, samplesIn(view.get(), z.w, z.h))) << "shifted rows";
    }
  }
}

TEST(Fft, RefusedBeforeAnyWorkWithoutFftw) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(kExitOk, fastTransformCheck(false));
  EXPECT_EQ(fftAvailable() ? kExitOk : kExitNoFft, fastTransformCheck(true));
  EXPECT_EQ(fftAvailable() ? ""
                           : "Option '-f': this build has no FFT (configure it with "
                             "-DSPEC_FFTW=ON).\n",
            testing::internal::GetCapturedStderr());
}
