// The strongest coefficients by name: each pair once, in a total order, at
// the frequency specfilter's notch takes and the pixel PowerSpectrum.bmp
// shows.
#include <cmath>
#include <cstring>

#include "speccore.h"
#include "testutil.h"

namespace {

std::vector<SpectrumPeak> peaksOf(Plane s, int32_t w, int32_t h, int32_t count) {
  std::vector<SpectrumPeak> p(size_t(count) + 1);
  p.resize(size_t(spectrumPeaks(s, w, h, p.data(), count)));
  return p;
}

}  // namespace

TEST(Peaks, StrongestPairsOnceInOrder) {
  // Two gratings of whole cycles on a ground: F(0, 0) is left out, and each
  // grating's pair (u, v), (-u, -v) is one line, by the member with v > 0.
  const int32_t w = 16, h = 12;
  std::vector<double> gray(size_t(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      gray[size_t(y) * w + x] = 100 + 40 * std::cos(2 * kPi * (3.0 * x / w - 2.0 * y / h)) +
                                10 * std::sin(2 * kPi * (5.0 * x / w + 1.0 * y / h));
  PlaneHolder s = planeOf(gray, w, h);
  ASSERT_EQ(0, dft2d(s.get(), w, h, kDftForward));
  const std::vector<SpectrumPeak> p = peaksOf(s.get(), w, h, 2);
  ASSERT_EQ(2u, p.size());
  // 40 cos(a) puts 40 W H / 2 = 3840 into each member, 10 sin(a) 960.
  EXPECT_EQ(-3, p[0].u);
  EXPECT_EQ(2, p[0].v);
  EXPECT_NEAR(3840, p[0].magnitude, 1e-9);
  EXPECT_NEAR(0, p[0].phase, 1e-12);  // the conjugate of the pair's (3, -2)
  EXPECT_EQ(5, p[1].u);
  EXPECT_EQ(1, p[1].v);
  EXPECT_NEAR(960, p[1].magnitude, 1e-9);
  EXPECT_NEAR(-kPi / 2, p[1].phase, 1e-12);
}

TEST(Peaks, TiesCountsAndWhatIsPassedOver) {
  // A 4 x 3 spectrum of equal magnitudes: (0, 0) out, six pairs (one of them
  // (2, 0), its own mirror), each by its member first in the file; more
  // asked than there are gives six.
  std::vector<Complex> s(12, Complex{0, 2});
  s[5] = {kNaN, 0};  // row 1, column 1: its mirror (3, 2) stands for the pair
  s[10] = {0, 3};    // row 2, column 2: stronger than its mirror (2, 1), and first
  PlaneHolder plane = planeOf(s, 4, 3);
  const std::vector<SpectrumPeak> p = peaksOf(plane.get(), 4, 3, 9);
  const int32_t want[][2] = {{2, -1}, {1, 0}, {2, 0}, {0, 1}, {-1, 1}, {-1, -1}};
  ASSERT_EQ(6u, p.size());
  for (size_t i = 0; i < p.size(); ++i) {
    EXPECT_EQ(want[i][0], p[i].u) << i;
    EXPECT_EQ(want[i][1], p[i].v) << i;
    EXPECT_EQ(i == 0 ? 3.0 : 2.0, p[i].magnitude) << i;
    EXPECT_EQ(kPi / 2, p[i].phase) << i;
  }
  EXPECT_EQ(2u, peaksOf(plane.get(), 4, 3, 2).size());
  EXPECT_EQ(0, spectrumPeaks(plane.get(), 4, 3, nullptr, 3));
  SpectrumPeak one;
  EXPECT_EQ(0, spectrumPeaks(plane.get(), 4, 3, &one, 0));
  // Its first two columns of two rows as 2 x 2: three coefficients, each its
  // own mirror, and one of them not a number.
  EXPECT_EQ(2u, peaksOf(plane.get(), 2, 2, 5).size());
}

TEST(Peaks, PixelIsWherePowerSpectrumShowsItAndNotchTakesIt) {
  // One strong coefficient in turn at every place of even and odd sizes (the
  // odd ones keep their last row and column in place): the peak's pixel,
  // counted from the top-left, is the white one of the rendered picture, and
  // a notch at its (u, v) takes it out.
  for (const auto& size :
       {std::pair<int32_t, int32_t>{6, 4}, {5, 3}, {4, 5}, {7, 7}, {2, 2}, {1, 4}}) {
    const int32_t w = size.first, h = size.second;
    for (int32_t at = 1; at < w * h; ++at) {
      std::vector<Complex> s(size_t(w) * h, Complex{1, 1});
      s[size_t(at)] = Complex{-300, 400};
      PlaneHolder plane = planeOf(s, w, h);
      const std::vector<SpectrumPeak> p = peaksOf(plane.get(), w, h, 1);
      ASSERT_EQ(1u, p.size());
      EXPECT_EQ(500, p[0].magnitude);
      EXPECT_DOUBLE_EQ(std::atan2(400, -300), p[0].phase);

      PlaneHolder pixels(planeAlloc(4, w, h));
      swapQuadrants(plane.get(), w, h);
      renderPowerSpectrum(plane.get(), pixels.get(), w, h, false);
      swapQuadrants(plane.get(), w, h);
      ASSERT_TRUE(p[0].x >= 0 && p[0].x < w && p[0].y >= 0 && p[0].y < h);
      EXPECT_GE(pixelRow(pixels.get(), h - 1 - p[0].y)[p[0].x].blue, 254)
          << w << "x" << h << " at " << at;

      FilterFactor notch = {};
      notch.kind = kFilterNotch;
      notch.radius = 0.5;
      notch.u = p[0].u;
      notch.v = p[0].v;
      ASSERT_TRUE(filterFactorFits(&notch, w, h));
      const SpectrumFilter f = {kShapeIdeal, 1, &notch, 1, false, false};
      filterSpectrum(plane.get(), w, h, &f, 1);
      const Complex left = complexRow(plane.get(), at / w)[at % w];
      EXPECT_TRUE(left.re == 0 && left.im == 0) << w << "x" << h << " at " << at;
    }
  }
}
