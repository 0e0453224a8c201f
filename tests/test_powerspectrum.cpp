// Quadrant swap and power-spectrum pictures.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "speccore.h"
#include "testutil.h"

namespace {

// Sample (row r, column c) is (100 r + c, -(100 r + c) - 0.5).
PlaneHolder numbered(int32_t w, int32_t h) {
  PlaneHolder p(planeAlloc(16, w, h));
  for (int32_t r = 0; p && r < h; ++r)
    for (int32_t c = 0; c < w; ++c)
      complexRow(p.get(), r)[c] = Complex{100.0 * r + c, -100.0 * r - c - 0.5};
  return p;
}

// The number of the sample now at (r, c), checking its imaginary part too.
int at(Plane p, int32_t r, int32_t c) {
  const Complex s = complexRow(p, r)[c];
  EXPECT_EQ(-s.re - 0.5, s.im) << r << "," << c;
  return int(s.re);
}

bool same(Plane a, Plane b, int32_t w, int32_t h) {
  return std::memcmp(complexRow(a, 0), complexRow(b, 0), size_t(w) * h * 16) == 0;
}

// Renders into a destination full of junk; returns the gray levels, checking
// that every pixel is gray with a zero fourth byte.
std::vector<int> render(const std::vector<Complex>& s, int32_t w, int32_t h, bool linear) {
  PlaneHolder src = planeOf(s, w, h);
  PlaneHolder dst(planeAlloc(4, w, h));
  std::memset(pixelRow(dst.get(), 0), 0xab, size_t(w) * h * 4);
  renderPowerSpectrum(src.get(), dst.get(), w, h, linear);
  EXPECT_EQ(0, std::memcmp(complexRow(src.get(), 0), s.data(), s.size() * 16)) << "input changed";
  return grayLevels(dst.get(), w, h);
}

}  // namespace

TEST(SwapQuadrants, FourByTwo) {
  PlaneHolder p = numbered(4, 2), original = numbered(4, 2);
  swapQuadrants(p.get(), 4, 2);
  const int row0[] = {102, 103, 100, 101}, row1[] = {2, 3, 0, 1};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(row0[c], at(p.get(), 0, c));
    EXPECT_EQ(row1[c], at(p.get(), 1, c));
  }
  swapQuadrants(p.get(), 4, 2);
  EXPECT_TRUE(same(p.get(), original.get(), 4, 2));
}

TEST(SwapQuadrants, OddSizesKeepLastRowAndColumn) {
  PlaneHolder p = numbered(3, 3);
  swapQuadrants(p.get(), 3, 3);
  const int want[3][3] = {{101, 100, 2}, {1, 0, 102}, {200, 201, 202}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(want[r][c], at(p.get(), r, c)) << r << "," << c;
}

TEST(SwapQuadrants, CentresEvenPlaneAndTwiceRestores) {
  const struct {
    int32_t w, h;
  } sizes[] = {{4, 2}, {6, 4}, {2, 8}, {3, 3}, {5, 4}, {4, 5}, {7, 5}, {1, 1}, {1, 6}, {6, 1}};
  for (const auto& z : sizes) {
    PlaneHolder p = numbered(z.w, z.h), original = numbered(z.w, z.h);
    swapQuadrants(p.get(), z.w, z.h);
    if (z.w == 1 || z.h == 1) {
      EXPECT_TRUE(same(p.get(), original.get(), z.w, z.h)) << z.w << "x" << z.h;
    }
    if (z.w % 2 == 0 && z.h % 2 == 0) {
      EXPECT_EQ(0, at(p.get(), z.h / 2, z.w / 2)) << z.w << "x" << z.h;
    }
    swapQuadrants(p.get(), z.w, z.h);
    EXPECT_TRUE(same(p.get(), original.get(), z.w, z.h)) << z.w << "x" << z.h;
  }
}

TEST(PowerSpectrum, RendersMagnitudes) {
  struct Case {
    const char* what;
    std::vector<Complex> s;  // 2 x 2
    bool linear;
    std::vector<int> expected;
  } const cases[] = {
      {"log", {{0, 0}, {1, 0}, {10, 0}, {100, 0}}, false, {0, 0, 127, 255}},
      {"linear", {{0, 0}, {1, 0}, {10, 0}, {100, 0}}, true, {0, 2, 25, 254}},
      {"negative zero is zero",
       {{-0.0, -0.0}, {-1, 0}, {0, -10}, {100, 0}},
       false,
       {0, 0, 127, 255}},
      {"complex magnitudes", {{0, 0}, {6, 8}, {60, -80}, {0, -100}}, false, {0, 127, 255, 255}},
      // log10(0.5) * 127.5 is about -38.4, truncated to -38, whose low byte is 218.
      {"below one wraps", {{2, 0}, {2.5, 0}, {102, 0}, {102, 0}}, false, {0, 218, 255, 255}},
      // M - m = 1: the factor is infinite and v at the maximum is 0 * inf.
      {"range of one, log", {{1, 0}, {2, 0}, {1, 0}, {2, 0}}, false, {0, 0, 0, 0}},
      {"range of one, linear", {{1, 0}, {2, 0}, {1, 0}, {2, 0}}, true, {0, 255, 0, 255}},
      {"equal magnitudes, log", {{3, 4}, {-5, 0}, {0, 5}, {0, -5}}, false, {0, 0, 0, 0}},
      {"equal magnitudes, linear", {{3, 4}, {-5, 0}, {0, 5}, {0, -5}}, true, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, render(c.s, 2, 2, c.linear)) << c.what;
}

TEST(PowerSpectrum, NonFiniteSamplesRenderSafely) {
  const std::vector<Complex> planes[] = {
      {{kNaN, 0}, {1, 0}, {10, 0}, {100, 0}, {0, 0}, {3, 3}},
      {{1, 0}, {kNaN, 1}, {10, 0}, {100, 0}, {0, 0}, {3, 3}},
      {{kInf, 0}, {1, 0}, {10, 0}, {100, 0}, {0, 0}, {3, 3}},
      {{1, 0}, {0, -kInf}, {10, 0}, {kInf, kNaN}, {0, 0}, {3, 3}},
      {{1e200, 1e200}, {1e-200, 0}, {5, 0}, {0, 0}, {1, 1}, {2, 2}},
  };
  for (const auto& s : planes)
    for (bool linear : {false, true}) render(s, 3, 2, linear);
}

TEST(PowerSpectrum, WritesLogScaleBmp) {
  TempDir dir;
  const std::vector<Complex> s = {{0, 0}, {1, 0}, {10, 0}, {100, 0}, {3, 4}, {50, 0}};
  PlaneHolder src = planeOf(s, 3, 2), dst(planeAlloc(4, 3, 2)), want(planeAlloc(4, 3, 2));
  renderPowerSpectrum(src.get(), want.get(), 3, 2, false);
  const std::string path = dir.file("power.bmp");
  ASSERT_EQ(0, writePowerSpectrum(path.c_str(), src.get(), dst.get(), 3, 2));
  const Bytes f = readBytes(path);
  ASSERT_EQ(54u + 24u, f.size());
  EXPECT_EQ('B', f[0]);
  EXPECT_EQ('M', f[1]);
  EXPECT_EQ(78u, le32(f, 2));
  EXPECT_EQ(3u, le32(f, 18));
  EXPECT_EQ(2u, le32(f, 22));
  EXPECT_EQ(32, f[28]);
  EXPECT_EQ(0, std::memcmp(f.data() + 54, pixelRow(want.get(), 0), 24));
  EXPECT_EQ(0, std::memcmp(pixelRow(dst.get(), 0), pixelRow(want.get(), 0), 24));

  const std::string bad = dir.file("missing/power.bmp");
  testing::internal::CaptureStderr();
  EXPECT_EQ(-1, writePowerSpectrum(bad.c_str(), src.get(), dst.get(), 3, 2));
  EXPECT_EQ("File '" + bad + "' cannot create.\n", testing::internal::GetCapturedStderr());
}

// An empty size has no sample (0, 0) to start the range from: nothing is read
// or written, whichever rendering is asked for.
TEST(Rendering, EmptySizesTouchNothing) {
  PlaneHolder src = planeOf({{1, 2}, {3, 4}}, 2, 1), dst(planeAlloc(4, 2, 1));
  std::memset(pixelRow(dst.get(), 0), 0xab, 8);
  for (int32_t w : {0, -3, 2}) {
    const int32_t h = w == 2 ? 0 : 1;
    complexToImage(src.get(), dst.get(), w, h);
    renderPowerSpectrum(src.get(), dst.get(), w, h, false);
    renderPowerSpectrum(src.get(), dst.get(), w, h, true);
    renderLogMagnitude(src.get(), dst.get(), w, h);
    renderPhase(src.get(), dst.get(), w, h);
    complexToImageRounded(src.get(), dst.get(), w, h);
  }
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(0xab, reinterpret_cast<uint8_t*>(pixelRow(dst.get(), 0))[i]);
}

TEST(PowerSpectrum, SamePixelsAndSwapOnEveryThreadCount) {
  const int32_t w = 31, h = 26;
  PlaneHolder src = numbered(w, h);
  complexRow(src.get(), 5)[3] = Complex{kNaN, 1.0};
  PlaneHolder swapped = numbered(w, h);
  complexRow(swapped.get(), 5)[3] = Complex{kNaN, 1.0};
  swapQuadrants(swapped.get(), w, h, 1);
  PlaneHolder one(planeAlloc(4, w, h)), many(planeAlloc(4, w, h));
  for (int threads : {2, 3, 8, 0}) {
    PlaneHolder p = numbered(w, h);
    complexRow(p.get(), 5)[3] = Complex{kNaN, 1.0};
    swapQuadrants(p.get(), w, h, threads);
    EXPECT_EQ(0,
              std::memcmp(complexRow(swapped.get(), 0), complexRow(p.get(), 0), size_t(w) * h * 16))
        << threads;
    for (bool linear : {false, true}) {
      renderPowerSpectrum(src.get(), one.get(), w, h, linear, 1);
      renderPowerSpectrum(src.get(), many.get(), w, h, linear, threads);
      EXPECT_EQ(0, std::memcmp(one.get()[0], many.get()[0], size_t(w) * h * 4))
          << threads << " linear " << linear;
    }
  }
}

namespace {

// The spectrum of the W x H picture with gray levels level(x, y), centred.
PlaneHolder centredSpectrum(int32_t w, int32_t h, double (*level)(int32_t, int32_t)) {
  PlaneHolder p(planeAlloc(sizeof(Complex), w, h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) complexRow(p.get(), y)[x] = Complex{level(x, y), 0.0};
  EXPECT_EQ(0, dft2d(p.get(), w, h, kDftForward));
  swapQuadrants(p.get(), w, h);
  return p;
}

// Whole cycles and no grain: most coefficients are round-off, a hair above
// the smallest, which the classic scale wraps into light gray.
double grating(int32_t x, int32_t y) {
  return std::floor(100.0 + 40.0 * std::cos(2 * kPi * (6.0 * x / 64 + 1.0 * y / 64)));
}
double gradient(int32_t, int32_t y) { return 2.0 * y; }

// Whether gray never falls as the magnitude grows: the pixels sorted by
// magnitude must have non-decreasing levels; also the levels at both ends.
struct Order {
  bool monotonic;
  int atMin, atMax;
};
Order orderOf(Plane spectrum, Plane pixels, int32_t w, int32_t h) {
  std::vector<std::pair<double, int>> v;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const Complex c = complexRow(spectrum, y)[x];
      v.push_back({std::sqrt(c.re * c.re + c.im * c.im), pixelRow(pixels, y)[x].blue});
    }
  std::sort(v.begin(), v.end());
  Order o = {true, v.front().second, v.back().second};
  for (size_t i = 1; i < v.size(); ++i) o.monotonic = o.monotonic && v[i - 1].second <= v[i].second;
  return o;
}

// The level the log scale's formula gives x in [0, X], and how far the exact
// value 256 log(1 + x) / log(1 + X) lies from the nearest edge.
int logLevel(double x, double X, double* margin) {
  const double v = 256.0 * std::log1p(x) / std::log1p(X);
  *margin = std::fabs(v - std::nearbyint(v));
  return std::min(255, int(std::floor(v)));
}

}  // namespace

TEST(LogMagnitude, NeverDarkerForALargerMagnitude) {
  // The spectra that wrap on the classic scale: a grating of whole cycles, the
  // same after a Gaussian low-pass (most gains a hair above 0), a gradient.
  PlaneHolder filtered = centredSpectrum(64, 64, grating);
  swapQuadrants(filtered.get(), 64, 64);
  FilterFactor lowPass = {};
  lowPass.kind = kFilterLowPass;
  lowPass.radius = 8;
  const SpectrumFilter gaussian = {kShapeGaussian, 1, &lowPass, 1, false, false};
  filterSpectrum(filtered.get(), 64, 64, &gaussian, 1);
  swapQuadrants(filtered.get(), 64, 64);
  struct Case {
    const char* what;
    PlaneHolder spectrum;
    int32_t w, h;
  } cases[] = {
      {"grating", centredSpectrum(64, 64, grating), 64, 64},
      {"Gaussian low-pass", std::move(filtered), 64, 64},
      {"gradient", centredSpectrum(128, 96, gradient), 128, 96},
  };
  for (Case& c : cases) {
    PlaneHolder pixels(planeAlloc(4, c.w, c.h));
    renderPowerSpectrum(c.spectrum.get(), pixels.get(), c.w, c.h, false);
    EXPECT_FALSE(orderOf(c.spectrum.get(), pixels.get(), c.w, c.h).monotonic)
        << c.what << ": the classic scale should wrap here";
    renderLogMagnitude(c.spectrum.get(), pixels.get(), c.w, c.h);
    const Order o = orderOf(c.spectrum.get(), pixels.get(), c.w, c.h);
    EXPECT_TRUE(o.monotonic) << c.what;
    EXPECT_EQ(0, o.atMin) << c.what;
    EXPECT_EQ(255, o.atMax) << c.what;
  }
}

TEST(LogMagnitude, LevelsFollowTheFormula) {
  // Magnitudes m = 0, M = X and x between, on ranges from the smallest whose
  // square is a normal double to the largest whose square is finite; the edges come from square
  // roots, not log1p, so they may differ from it only where the exact value is within rounding of
  // an edge.
  std::mt19937_64 random(7);
  for (double X : {1e-150, 1e-20, 1e-5, 1.0, 255.0, 1e6, 3e9, 1e150}) {
    std::vector<Complex> s = {{0, 0}, {X, 0}};
    for (int i = 0; i < 254; ++i) {
      // Spread over the log scale: x = (1 + X)^f - 1 for f uniform in [0, 1].
      const double f = std::uniform_real_distribution<double>(0, 1)(random);
      s.push_back({std::expm1(f * std::log1p(X)), 0});
    }
    PlaneHolder src = planeOf(s, 16, 16), dst(planeAlloc(4, 16, 16));
    renderLogMagnitude(src.get(), dst.get(), 16, 16);
    const std::vector<int> g = grayLevels(dst.get(), 16, 16);
    EXPECT_EQ(0, g[0]) << X;
    EXPECT_EQ(255, g[1]) << X;
    for (size_t i = 2; i < s.size(); ++i) {
      double margin;
      const int want = logLevel(s[i].re, X, &margin);
      if (margin > 1e-9) {
        EXPECT_EQ(want, g[i]) << X << " " << s[i].re;
      }
    }
  }
}

TEST(LogMagnitude, ZerosFlatAndNonFiniteSpectra) {
  struct Case {
    const char* what;
    std::vector<Complex> s;  // 2 x 2
    std::vector<int> expected;
  } const cases[] = {
      // m = 0 from the zero sample: 256 log(1 + x) / log(101) for 1 and 10.
      {"zero sample", {{0, 0}, {1, 0}, {10, 0}, {100, 0}}, {0, 38, 133, 255}},
      {"-0 is zero", {{-0.0, -0.0}, {0, -1}, {-10, 0}, {100, 0}}, {0, 38, 133, 255}},
      // The classic scale draws 2.5 at 218 here: m = 2, x = 0.5.
      {"below one above the minimum", {{2, 0}, {2.5, 0}, {102, 0}, {102, 0}}, {0, 22, 255, 255}},
      {"one magnitude", {{3, 4}, {-5, 0}, {0, 5}, {0, -5}}, {0, 0, 0, 0}},
      {"a NaN", {{0, 0}, {kNaN, 1}, {10, 0}, {100, 0}}, {0, 0, 133, 255}},
      // Only an infinite magnitude is white, also one whose square overflows.
      {"infinities", {{0, 0}, {1e300, 0}, {kInf, 0}, {1e150, 0}}, {0, 255, 255, 0}},
      {"NaN first", {{kNaN, 0}, {1, 0}, {10, 0}, {100, 0}}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    PlaneHolder src = planeOf(c.s, 2, 2), dst(planeAlloc(4, 2, 2));
    std::memset(pixelRow(dst.get(), 0), 0xab, 16);
    renderLogMagnitude(src.get(), dst.get(), 2, 2);
    EXPECT_EQ(c.expected, grayLevels(dst.get(), 2, 2)) << c.what;
  }
}

TEST(Phase, LevelsFollowTheAngle) {
  struct Case {
    Complex c;
    int level;
  } const cases[] = {
      {{1, 0}, 128},       {{0, 1}, 192},         {{-1, 0}, 255},      {{-1, -0.0}, 255},
      {{0, -1}, 64},       {{0, 0}, 128},         {{-0.0, -0.0}, 128}, {{1, 1}, 160},
      {{-1, -1e-300}, 0},  {{-1, 1e-300}, 255},   {{1, -1e-300}, 127}, {{1, 1e-300}, 128},
      {{kNaN, 1}, 0},      {{1, kInf}, 192},      {{-kInf, 0}, 255},   {{4e-324, 4e-324}, 160},
      {{-4e-324, 0}, 255}, {{1e300, -1e300}, 96},
  };
  std::vector<Complex> s;
  for (const Case& c : cases) s.push_back(c.c);
  PlaneHolder src = planeOf(s, int32_t(s.size()), 1), dst(planeAlloc(4, int32_t(s.size()), 1));
  renderPhase(src.get(), dst.get(), int32_t(s.size()), 1);
  const std::vector<int> g = grayLevels(dst.get(), int32_t(s.size()), 1);
  for (size_t i = 0; i < s.size(); ++i)
    EXPECT_EQ(cases[i].level, g[i]) << s[i].re << " " << s[i].im;

  // Random samples against atan2, away from the edges, which the table of
  // tangents puts within rounding of their true angles.
  std::mt19937_64 random(3);
  std::normal_distribution<double> normal;
  std::vector<Complex> r(4096);
  for (Complex& c : r) c = {normal(random) * 1e3, normal(random) * 1e3};
  PlaneHolder rs = planeOf(r, 64, 64), rd(planeAlloc(4, 64, 64));
  renderPhase(rs.get(), rd.get(), 64, 64);
  const std::vector<int> rg = grayLevels(rd.get(), 64, 64);
  for (size_t i = 0; i < r.size(); ++i) {
    const double v = 128.0 + 128.0 * std::atan2(r[i].im, r[i].re) / kPi;
    if (std::fabs(v - std::nearbyint(v)) > 1e-9) {
      EXPECT_EQ(std::min(255, int(std::floor(v))), rg[i]) << r[i].re << " " << r[i].im;
    }
  }
}

TEST(Rendering, NewScalesSamePixelsOnEveryThreadCount) {
  const int32_t w = 31, h = 26;
  PlaneHolder src = numbered(w, h);
  complexRow(src.get(), 5)[3] = Complex{kNaN, 1.0};
  PlaneHolder one(planeAlloc(4, w, h)), many(planeAlloc(4, w, h));
  for (auto render : {renderLogMagnitude, renderPhase}) {
    render(src.get(), one.get(), w, h, 1);
    for (int threads : {2, 3, 8, 0}) {
      render(src.get(), many.get(), w, h, threads);
      EXPECT_EQ(0, std::memcmp(one.get()[0], many.get()[0], size_t(w) * h * 4)) << threads;
    }
  }
}
