// Two-dimensional DFT: bit-exact agreement with a plain reference, the
// transform's known values on simple inputs, and what it tells of its work.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

#include "dftkernel.h"
#include "dftreference.h"
#include "progress.h"
#include "speccore/dft.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;

namespace {

// ---- Helpers ----------------------------------------------------------------

Grid randomGrid(int32_t w, int32_t h, uint32_t seed) {
  std::mt19937 rng(seed);
  Grid g(size_t(w) * size_t(h));
  for (Complex& c : g) {
    c.re = double(rng()) / 4294967296.0 * 512.0 - 256.0;
    c.im = double(rng() % 4096) / 64.0 - 32.0;
  }
  return g;
}

Grid fromPlane(Plane p, int32_t w, int32_t h) {
  Grid g(size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y) std::memcpy(&g[size_t(y) * w], complexRow(p, y), size_t(w) * 16);
  return g;
}

// Index of the first sample whose bits differ, or -1.
long firstDifference(const Grid& a, const Grid& b) {
  for (size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(Complex)) != 0) return long(i);
  return -1;
}

typedef int (*Transform)(Plane, int32_t, int32_t, int);

Grid run(Transform f, const Grid& in, int32_t w, int32_t h, int direction) {
  PlaneHolder p = planeOf(in, w, h);
  EXPECT_EQ(0, f(p.get(), w, h, direction));
  return fromPlane(p.get(), w, h);
}

// 1031 is longer than the scratch line kept on the stack.
const struct Size {
  int32_t w, h;
} kSizes[] = {{1, 1}, {1, 9},   {9, 1},  {2, 2},   {3, 5},   {5, 3},   {6, 10},
              {7, 7}, {13, 11}, {16, 8}, {23, 17}, {40, 24}, {1031, 2}};

}  // namespace

TEST(Dft, MatchesReferenceBitForBit) {
  for (const Size& z : kSizes) {
    for (int direction : {0, int(kDftInverse)}) {
      const Grid in = randomGrid(z.w, z.h, uint32_t(z.w * 1000 + z.h));
      Grid expected = in;
      reference(expected, z.w, z.h, direction);
      for (Transform f : {dft2d, dft2dDirect})
        EXPECT_EQ(-1, firstDifference(expected, run(f, in, z.w, z.h, direction)))
            << (f == dft2d ? "dft2d " : "direct ") << z.w << "x" << z.h << " direction "
            << direction;
    }
  }
}

TEST(Dft, ImpulseGivesOneEverywhere) {
  for (const Size& z : kSizes) {
    Grid in(size_t(z.w) * z.h, Complex{0, 0});
    in[0] = Complex{1, 0};
    for (const Complex& c : run(dft2d, in, z.w, z.h, 0)) {
      ASSERT_EQ(1.0, c.re) << z.w << "x" << z.h;
      ASSERT_EQ(0.0, c.im) << z.w << "x" << z.h;
    }
  }
}

TEST(Dft, ConstantGivesZeroFrequencyOnly) {
  for (const Size& z : kSizes) {
    const double c = 37, total = c * z.w * z.h;
    const Grid out = run(dft2d, Grid(size_t(z.w) * z.h, Complex{c, 0}), z.w, z.h, 0);
    EXPECT_EQ(total, out[0].re) << z.w << "x" << z.h;
    EXPECT_EQ(0.0, out[0].im) << z.w << "x" << z.h;
    for (size_t i = 1; i < out.size(); ++i) {
      ASSERT_NEAR(0.0, out[i].re, 1e-12 * total) << z.w << "x" << z.h << " at " << i;
      ASSERT_NEAR(0.0, out[i].im, 1e-12 * total) << z.w << "x" << z.h << " at " << i;
    }
  }
}

TEST(Dft, TwoByTwoSumsAndDifferences) {
  const double a = 1, b = 2, c = 4, d = 8;
  const Grid out = run(dft2d, Grid{{a, 0}, {b, 0}, {c, 0}, {d, 0}}, 2, 2, 0);
  EXPECT_EQ(a + b + c + d, out[0].re);
  EXPECT_EQ(0.0, out[0].im);
  EXPECT_EQ((a - b) + (c - d), out[1].re);  // F(1, 0)
  EXPECT_EQ((a + b) - (c + d), out[2].re);  // F(0, 1)
  EXPECT_EQ((a - b) - (c - d), out[3].re);  // F(1, 1)
  for (int i = 1; i < 4; ++i) EXPECT_NEAR(0.0, out[i].im, 1e-14);
}

TEST(Dft, InverseTurnsCounterClockwise) {
  const int32_t w = 5, h = 3;
  Grid in(w * h, Complex{0, 0});
  in[1] = Complex{1, 0};  // F(1, 0)
  const Grid out = run(dft2d, in, w, h, kDftInverse);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const double a = 6.283185307179586 * x / w;
      EXPECT_NEAR(std::cos(a) / (w * h), out[y * w + x].re, 1e-16) << x << "," << y;
      EXPECT_NEAR(std::sin(a) / (w * h), out[y * w + x].im, 1e-16) << x << "," << y;
    }
  }
}

TEST(Dft, ForwardThenInverseRestoresInput) {
  for (const Size& z : kSizes) {
    const Grid in = randomGrid(z.w, z.h, 5u);
    PlaneHolder p = planeOf(in, z.w, z.h);
    ASSERT_EQ(0, dft2d(p.get(), z.w, z.h, 0));
    ASSERT_EQ(0, dft2d(p.get(), z.w, z.h, kDftInverse));
    const Grid out = fromPlane(p.get(), z.w, z.h);
    for (size_t i = 0; i < in.size(); ++i) {
      ASSERT_NEAR(in[i].re, out[i].re, 1e-9) << z.w << "x" << z.h << " at " << i;
      ASSERT_NEAR(in[i].im, out[i].im, 1e-9) << z.w << "x" << z.h << " at " << i;
    }
  }
}

TEST(Dft, DirectionsOtherThanInverseAreForward) {
  const Grid in = randomGrid(6, 4, 9u);
  const Grid forward = run(dft2d, in, 6, 4, 0);
  for (int direction : {2, -1, 1000}) {
    EXPECT_EQ(-1, firstDifference(forward, run(dft2d, in, 6, 4, direction))) << direction;
    EXPECT_EQ(-1,
              firstDifference(run(dft2dDirect, in, 6, 4, 0), run(dft2dDirect, in, 6, 4, direction)))
        << direction;
  }
}

TEST(Dft, NonPositiveSizeLeavesPlaneUnchanged) {
  const Grid in = randomGrid(4, 4, 3u);
  const Size sizes[] = {{0, 4}, {4, 0}, {0, 0}, {-1, 4}, {4, -3}, {-2, -2}};
  for (Transform f : {dft2d, dft2dDirect}) {
    for (const Size& z : sizes) {
      for (int direction : {0, int(kDftInverse)}) {
        PlaneHolder p = planeOf(in, 4, 4);
        f(p.get(), z.w, z.h, direction);
        EXPECT_EQ(-1, firstDifference(in, fromPlane(p.get(), 4, 4))) << z.w << "x" << z.h;
      }
    }
  }
}

// ---- Every vector kernel against the reference ------------------------------

namespace {

// The instruction sets this CPU runs, narrowest first.
std::vector<const DftIsa*> availableIsas() {
  std::vector<const DftIsa*> isas;
  for (const DftIsa& isa : dftIsas())
    if (isa.available()) isas.push_back(&isa);
  return isas;
}

// A picture's samples: integer gray levels with zero imaginary parts, which
// the kernels sum without the imaginary products.
Grid grayGrid(int32_t w, int32_t h, uint32_t seed) {
  std::mt19937 rng(seed);
  Grid g(size_t(w) * size_t(h));
  for (Complex& c : g) c = Complex{double(rng() % 256), 0.0};
  return g;
}

// Signed zeros in both parts, whole lines of (x, -0) and infinities.
Grid specialGrid(int32_t w, int32_t h) {
  Grid g = randomGrid(w, h, 77u);
  const double inf = HUGE_VAL;
  const Complex specials[] = {{+0.0, -0.0}, {-0.0, +0.0}, {-0.0, -0.0}, {3.5, -0.0},
                              {inf, 0.0},   {-inf, 1.0},  {2.0, inf},   {+0.0, +0.0}};
  for (size_t i = 0; i < g.size(); i += 3) g[i] = specials[(i / 3) % 8];
  for (int32_t x = 0; x < w; ++x) g[x].im = -0.0;  // row 0 is real
  return g;
}

// Tile widths are 8 outputs and 8 lines, blocks 32 lines: sizes on both sides
// of each, primes, length-1 lines and one large non-square plane, whose table
// spans huge pages. Under emulation that plane is as long but far narrower:
// there the full one takes over a minute.
#ifdef SPEC_EMULATED
const Size kLargePlane = {400, 12};
#else
const Size kLargePlane = {512, 384};
#endif
const Size kKernelSizes[] = {{1, 1},  {1, 7},   {7, 1},   {2, 2},     {7, 9},     {8, 8},
                             {9, 7},  {15, 17}, {16, 16}, {17, 33},   {31, 32},   {33, 31},
                             {64, 3}, {3, 64},  {97, 89}, {127, 129}, kLargePlane};

}  // namespace

TEST(DftKernels, EveryKernelMatchesReferenceBitForBit) {
  const std::vector<const DftIsa*> isas = availableIsas();
  std::printf("kernels run here:");
  for (const DftIsa* isa : isas) std::printf(" %s", isa->name);
  std::printf("\n");
  for (const Size& z : kKernelSizes) {
    const Grid inputs[] = {randomGrid(z.w, z.h, uint32_t(z.w * 31 + z.h)),
                           grayGrid(z.w, z.h, uint32_t(z.h * 31 + z.w)), specialGrid(z.w, z.h)};
    const char* const kinds[] = {"complex", "gray", "special"};
    const bool large = z.w * z.h > 100000;
    for (int i = 0; i < 3; ++i) {
      for (int direction : {0, int(kDftInverse)}) {
        // The large plane (slow to check under the sanitizers) takes the
        // general kernel both ways and a picture forward.
        if (large && (i == 2 || (i == 1 && direction == kDftInverse))) continue;
        Grid expected = inputs[i];
        reference(expected, z.w, z.h, direction);
        for (const DftIsa* isa : isas) {
          PlaneHolder p = planeOf(inputs[i], z.w, z.h);
          DftOptions options;
          options.isa = isa;
          ASSERT_EQ(kStatusOk, dft2dWith(p.get(), z.w, z.h, direction, options));
          EXPECT_EQ(-1, firstDifference(expected, fromPlane(p.get(), z.w, z.h)))
              << isa->name << " " << kinds[i] << " " << z.w << "x" << z.h << " direction "
              << direction;
        }
      }
    }
  }
}

// All kernels give the same bits, so only this shows dft2d leaving the widest
// one this CPU runs unused.
TEST(DftKernels, BestIsaIsTheWidestAvailable) { EXPECT_EQ(availableIsas().back(), &dftBestIsa()); }

// The real-input kernels leave out every product with x.im. That is exact
// when x.im is +0 or -0: the left-out terms are zeros, and a running sum that
// starts at +0 never becomes -0, so adding a zero never changes its bits.
TEST(DftKernels, RealInputKernelEqualsFullKernelWhenImaginaryPartsAreZero) {
  std::mt19937 rng(11u);
  const double values[] = {+0.0, -0.0, 1.0, -1.0, 0.5, 255.0, 1e-300, -7.25, HUGE_VAL};
  for (int32_t n : {1, 2, 8, 33}) {
    std::vector<double> strip(size_t(n) * kGroupDoubles), tile(size_t(n) * kGroupDoubles);
    for (double& f : strip) f = std::sin(double(rng() % 10000));  // finite factors
    for (size_t i = 0; i < tile.size(); i += 2) {
      tile[i] = values[rng() % 9];
      tile[i + 1] = rng() % 2 ? -0.0 : +0.0;
    }
    for (const DftIsa* isa : availableIsas()) {
      const DftKernels kernels = isa->kernels();
      double full[kTileLines * kGroupDoubles], real[kTileLines * kGroupDoubles];
      kernels.complexInput(strip.data(), tile.data(), n, full);
      kernels.realInput(strip.data(), tile.data(), n, real);
      EXPECT_EQ(0, std::memcmp(full, real, sizeof full)) << isa->name << " n=" << n;
    }
  }
}

// ---- Threads and the ways of keeping factors ---------------------------------

TEST(DftThreads, EveryThreadCountAndFactorPathGivesTheSameBits) {
  // Thin shapes put a long pass on few lines (strips) and a short pass on
  // many; 97 x 89 is prime both ways; the picture has real rows. Emulated
  // arithmetic takes minutes for the long lines: there they are shorter.
#ifdef SPEC_EMULATED
  const int32_t longLine = 1031, picture = 64;
#else
  const int32_t longLine = 4099, picture = 256;
#endif
  const Size sizes[] = {{1, 9},        {9, 1},        {97, 89},
                        {3, longLine}, {longLine, 3}, {picture, picture * 3 / 4}};
  const std::vector<const DftIsa*> isas = availableIsas();
  for (const Size& z : sizes) {
    const Grid in =
        z.w == picture ? grayGrid(z.w, z.h, 3u) : randomGrid(z.w, z.h, uint32_t(z.w + z.h));
    const bool thin = z.w * 100 < z.h || z.h * 100 < z.w;
    for (int direction : {0, int(kDftInverse)}) {
      Grid expected = in;
      reference(expected, z.w, z.h, direction);
      for (const DftIsa* isa : isas) {
        for (DftFactors factors : {kDftTable, kDftStrips, kDftDirect}) {
          for (int threads : {1, 2, 3, 8}) {
            // The term-by-term passes use no kernel and no thread. A thin
            // shape's long pass is slow term by term, its table large and
            // its strips many: there every kernel takes one thread count.
            if (factors == kDftDirect && (isa != isas[0] || thin || threads > 1)) continue;
            if (thin && (factors == kDftTable || isa != isas.back()) && threads != 3) continue;
            PlaneHolder p = planeOf(in, z.w, z.h);
            DftOptions options;
            options.isa = isa;
            options.factors = factors;
            options.threads = threads;
            ASSERT_EQ(kStatusOk, dft2dWith(p.get(), z.w, z.h, direction, options));
            EXPECT_EQ(-1, firstDifference(expected, fromPlane(p.get(), z.w, z.h)))
                << isa->name << " factors " << factors << " threads " << threads << " " << z.w
                << "x" << z.h << " direction " << direction;
          }
        }
      }
    }
  }
}

TEST(DftThreads, ProgressCountsEveryMultiplyAdd) {
  for (DftFactors factors : {kDftTable, kDftStrips, kDftDirect}) {
    const Grid in = randomGrid(40, 24, 4u);
    PlaneHolder p = planeOf(in, 40, 24);
    DftProgress progress;
    DftOptions options;
    options.factors = factors;
    options.threads = 3;
    options.progress = &progress;
    ASSERT_EQ(0, dft2dWith(p.get(), 40, 24, 0, options));
    EXPECT_EQ(uint64_t(40 * 24 * (40 + 24)), progress.total.load());
    EXPECT_EQ(progress.total.load(), progress.done.load()) << factors;
    // Only the passes without a table or strips are the slow path.
    EXPECT_EQ(factors == kDftDirect, progress.termByTerm.load()) << factors;
  }
}

TEST(ProgressShow, SlowPathIsToldOnceWhereverStandardErrorGoes) {
  // Standard error is a file here, so no progress line is shown, but the
  // line about the slow path is, once.
  for (const bool slow : {false, true}) {
    DftProgress progress;
    progress.termByTerm = slow;
    testing::internal::CaptureStderr();
    ProgressShow show;
    progressShowStart(&show, &progress);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    progressShowEnd(&show);
    EXPECT_EQ(slow ? kTermByTermLine : "", testing::internal::GetCapturedStderr());
  }
}

// ---- One pass in runs of lines ----------------------------------------------------

// A transform shared out as a page's workers share it: the rows in runs of
// uneven length, then the columns copied out into lines, transformed in runs
// and copied back. Every kernel and factor path gives the plain reference's
// bits, whatever the runs.
TEST(DftLinePass, RunsOfLinesGiveTheTransformsBits) {
  const Size sizes[] = {{1, 9}, {9, 1}, {13, 11}, {40, 24}, {97, 89}};
  for (const Size& z : sizes) {
    const Grid in = randomGrid(z.w, z.h, uint32_t(z.w * 7 + z.h));
    for (int direction : {0, int(kDftInverse)}) {
      Grid expected = in;
      reference(expected, z.w, z.h, direction);
      for (const DftIsa* isa : availableIsas()) {
        for (DftFactors factors : {kDftAuto, kDftTable, kDftStrips, kDftDirect}) {
          DftOptions options;
          options.isa = isa;
          options.factors = factors;
          Grid out = in;
          // Runs of 1, 2, 3, ... lines, so every run length meets a tile's edge.
          auto passInRuns = [&](Complex* lines, int32_t n, int32_t count) {
            DftLinePass* pass = dftLinePassNew(n, count, direction, options);
            ASSERT_NE(nullptr, pass);
            DftProgress progress;
            for (int32_t first = 0, run = 1; first < count; first += run, ++run)
              dftLinePassRun(pass, lines + size_t(first) * n, std::min(run, count - first),
                             &progress);
            dftLinePassFree(pass);
            EXPECT_EQ(uint64_t(count) * n * n, progress.done.load());
          };
          passInRuns(out.data(), z.w, z.h);
          Grid columns(out.size());
          for (int32_t y = 0; y < z.h; ++y)
            for (int32_t x = 0; x < z.w; ++x)
              columns[size_t(x) * z.h + y] = out[size_t(y) * z.w + x];
          passInRuns(columns.data(), z.h, z.w);
          for (int32_t y = 0; y < z.h; ++y)
            for (int32_t x = 0; x < z.w; ++x)
              out[size_t(y) * z.w + x] = columns[size_t(x) * z.h + y];
          EXPECT_EQ(-1, firstDifference(expected, out))
              << isa->name << " factors " << factors << " " << z.w << "x" << z.h << " direction "
              << direction;
        }
      }
    }
  }
}

TEST(DftLinePass, RefusesEmptyPasses) {
  for (const Size& z : {Size{0, 4}, Size{4, 0}, Size{-1, 4}})
    EXPECT_EQ(nullptr, dftLinePassNew(z.w, z.h, 0, DftOptions())) << z.w << "x" << z.h;
}
