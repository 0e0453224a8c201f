// Quadrant swap and power-spectrum pictures.
#include <cstring>

#include "speccore/plane.h"
#include "speccore/render.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;

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

TEST(PowerSpectrum, CentredPictureLeavesTheSpectrumAsItWas) {
  // An odd size, where the swap leaves the last row and column in place.
  const int32_t w = 5, h = 3;
  const std::vector<Complex> s = {{9, 0}, {1, 2}, {3, 0}, {0, 0}, {4, 4}, {1, 0},   {2, 2}, {8, 1},
                                  {0, 5}, {7, 0}, {6, 6}, {2, 0}, {5, 1}, {0.5, 0}, {3, 3}};
  TempDir dir;
  PlaneHolder src = planeOf(s, w, h), swapped = planeOf(s, w, h);
  PlaneHolder dst(planeAlloc(4, w, h)), scratch(planeAlloc(4, w, h));
  swapQuadrants(swapped.get(), w, h);
  const std::string centred = dir.file("centred.bmp"), expected = dir.file("expected.bmp");
  ASSERT_EQ(0, writeCentredPowerSpectrum(centred.c_str(), src.get(), dst.get(), w, h));
  ASSERT_EQ(0, writePowerSpectrum(expected.c_str(), swapped.get(), scratch.get(), w, h));
  EXPECT_EQ(readBytes(expected), readBytes(centred));
  EXPECT_EQ(0, std::memcmp(s.data(), complexRow(src.get(), 0), s.size() * sizeof(Complex)));
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
      EXPECT_EQ(0, std::memcmp(pixelRow(one.get(), 0), pixelRow(many.get(), 0), size_t(w) * h * 4))
          << threads << " linear " << linear;
    }
  }
}
