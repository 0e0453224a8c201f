// Rendering the real parts of a complex plane as a gray picture.
#include <cmath>
#include <cstring>
#include <random>

#include "speccore.h"
#include "testutil.h"

namespace {

// Renders real parts `re` (W x H) into a destination full of junk.
std::vector<int> render(const std::vector<double>& re, int32_t w, int32_t h, double im = 0) {
  PlaneHolder src = planeOf(re, w, h, im);
  PlaneHolder dst(planeAlloc(4, w, h));
  std::memset(pixelRow(dst.get(), 0), 0xab, size_t(w) * h * 4);
  complexToImage(src.get(), dst.get(), w, h);
  return grayLevels(dst.get(), w, h);
}

}  // namespace

TEST(ComplexImage, RendersPlaneAsExpected) {
  struct Case {
    const char* what;
    std::vector<double> re;
    std::vector<int> expected;
  } const cases[] = {
      {"byte range truncates", {0.0, 127.999, 255.99, -0.0}, {0, 127, 255, 0}},
      {"256 stretches", {0.0, 100.0, 200.0, 256.0}, {0, 99, 199, 255}},
      {"-0.5 stretches", {-0.5, 0.0, 100.0, 255.0}, {0, 0, 100, 255}},
      {"constant outside the byte range", {-5, -5, -5, -5}, {0, 0, 0, 0}},
      {"constant inside the byte range", {7.5, 7.5, 7.5, 7.5}, {7, 7, 7, 7}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, render(c.re, 2, 2)) << c.what;
    // Imaginary parts take no part in it.
    EXPECT_EQ(c.expected, render(c.re, 2, 2, -1e300)) << c.what;
  }
}

TEST(ComplexImage, SmallPlaneStretchesWithoutClipping) {
  // 100 samples: one per bin step of about 10; only the top one is white and
  // only the bottom one black.
  std::vector<double> re(100);
  for (int i = 0; i < 100; ++i) re[i] = i * 3.0 - 10.0;
  const std::vector<int> g = render(re, 10, 10);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(i == 99, g[i] == 255) << i;
    EXPECT_EQ(i == 0, g[i] == 0) << i;
    if (i > 0) {
      EXPECT_LE(g[i - 1], g[i]) << i;
    }
  }
}

TEST(ComplexImage, HistogramClipsOnePercentAtEachEnd) {
  // Outliers -1000 and 1000 sit in bins 0 and 1023; 0, 50 and 100 fall in
  // bins 511, 537 and 562. From 200 samples on two samples are clipped at
  // each end, which moves the cuts onto bins 511 and 562.
  struct Case {
    int n;
    std::vector<int> expected;  // for -1000, 0, 50, 100, 1000
  } const cases[] = {{199, {0, 127, 133, 140, 255}}, {200, {0, 0, 130, 255, 255}}};
  for (const Case& c : cases) {
    std::vector<double> re = {-1000.0, 50.0, 1000.0};
    re.insert(re.end(), 99, 0.0);
    re.insert(re.end(), size_t(c.n) - re.size(), 100.0);
    const std::vector<int> g = render(re, c.n, 1);
    EXPECT_EQ(c.expected, (std::vector<int>{g[0], g[3], g[1], g[c.n - 1], g[2]})) << c.n;
  }
}

TEST(ComplexImage, DominantBinGivesBlackAndWhite) {
  std::vector<double> re(200, 0.0);
  re[57] = 300.0;  // bin 0 holds 199 of 200: the cuts meet at bin 0
  const std::vector<int> g = render(re, 20, 10);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(i == 57 ? 255 : 0, g[i]) << i;
}

TEST(ComplexImage, NonFiniteRealPartsRenderSafely) {
  const std::vector<double> planes[] = {
      {kNaN, 1, 2, 3, 300, -4},     {1, kNaN, 2, 3, 4, 5},
      {1, 2, kNaN, -3, 4, 500},     {kInf, 0, 1, 2, 3, 4},
      {0, 1, kInf, 2, 3, 4},        {-kInf, 0, 1, 2, 3, 4},
      {1, -kInf, 2, kInf, 3, kNaN}, {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN},
      {1e308, -1e308, 0, 1, 2, 3},
  };
  for (const std::vector<double>& re : planes) render(re, 3, 2);
  // A plane of NaN has no usable range: everything lands in bin 0.
  EXPECT_EQ(std::vector<int>(6, 0), render(planes[7], 3, 2));
}

TEST(ComplexImage, WriteComplexImageWritesBmp) {
  TempDir dir;
  const std::vector<double> re = {0, 10, 20, 30, 40, 50};
  PlaneHolder src = planeOf(re, 3, 2);
  PlaneHolder dst(planeAlloc(4, 3, 2));
  const std::string path = dir.file("gray.bmp");
  writeComplexImage(path.c_str(), src.get(), dst.get(), 3, 2);
  const Bytes f = readBytes(path);
  ASSERT_EQ(54u + 24u, f.size());
  EXPECT_EQ('B', f[0]);
  EXPECT_EQ('M', f[1]);
  EXPECT_EQ(78u, le32(f, 2));
  EXPECT_EQ(0, std::memcmp(f.data() + 54, pixelRow(dst.get(), 0), 24));
  EXPECT_EQ((std::vector<int>{0, 10, 20, 30, 40, 50}), grayLevels(dst.get(), 3, 2));

  const std::string bad = dir.file("missing/gray.bmp");
  testing::internal::CaptureStderr();
  writeComplexImage(bad.c_str(), src.get(), dst.get(), 3, 2);
  EXPECT_EQ("File '" + bad + "' cannot create.\n", testing::internal::GetCapturedStderr());
}

TEST(IdftToImage, ZeroFrequencyOnlyGivesFlatPicture) {
  const int32_t w = 5, h = 3;
  const double c = 77;
  std::vector<double> re(w * h, 0.0);
  re[0] = c * w * h;
  PlaneHolder plane = planeOf(re, w, h);
  PlaneHolder dst(planeAlloc(4, w, h));
  EXPECT_EQ(0, idft2dToImage(plane.get(), dst.get(), w, h));
  EXPECT_EQ(std::vector<int>(w * h, 77), grayLevels(dst.get(), w, h));
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      EXPECT_EQ(c, complexRow(plane.get(), y)[x].re) << x << "," << y;
      EXPECT_EQ(0.0, complexRow(plane.get(), y)[x].im) << x << "," << y;
    }
  }
}

TEST(IdftToImage, NoPictureWhenTheInverseIsNotFinite) {
  // NaN and infinities spread over the whole inverse; two samples of 1e308
  // overflow the first row's sum.
  const std::vector<double> spectra[] = {{kNaN, 0, 0, 0, 0, 0},
                                         {0, 0, 0, kInf, 0, 0},
                                         {0, 0, 0, 0, -kInf, 0},
                                         {1e308, 1e308, 0, 0, 0, 0}};
  for (const std::vector<double>& re : spectra) {
    PlaneHolder plane = planeOf(re, 3, 2);
    PlaneHolder dst(planeAlloc(4, 3, 2));
    std::memset(pixelRow(dst.get(), 0), 0xAB, 3 * 2 * 4);
    EXPECT_EQ(1, idft2dToImage(plane.get(), dst.get(), 3, 2)) << re[0];
    const uint8_t* pixels = reinterpret_cast<const uint8_t*>(pixelRow(dst.get(), 0));
    EXPECT_EQ(Bytes(24, 0xAB), Bytes(pixels, pixels + 24)) << re[0];
  }
}

TEST(ComplexImage, SamePixelsOnEveryThreadCount) {
  // Direct and stretched, with values that need the histogram's clipping.
  for (const double scale : {1.0, 1e4}) {
    std::vector<double> re(size_t(37 * 29));
    for (size_t i = 0; i < re.size(); ++i) re[i] = scale * std::fmod(double(i * i % 251), 255.5);
    re[400] = kNaN;
    PlaneHolder src = planeOf(re, 37, 29);
    PlaneHolder one(planeAlloc(4, 37, 29)), many(planeAlloc(4, 37, 29));
    complexToImage(src.get(), one.get(), 37, 29, 1);
    for (int threads : {2, 3, 8, 0}) {
      complexToImage(src.get(), many.get(), 37, 29, threads);
      EXPECT_EQ(0, std::memcmp(one.get()[0], many.get()[0], 37 * 29 * 4))
          << scale << " " << threads;
    }
  }
}

TEST(ComplexImage, RoundedLevelsAreClampedNotStretched) {
  const std::vector<double> re = {-1e300, -0.4,  0.49999999999999994,
                                  0.5,    1.5,   127.4999,
                                  254.49, 254.5, 255.99,
                                  300,    kNaN,  kInf};
  PlaneHolder src = planeOf(re, 12, 1), dst(planeAlloc(4, 12, 1));
  complexToImageRounded(src.get(), dst.get(), 12, 1);
  EXPECT_EQ((std::vector<int>{0, 0, 0, 1, 2, 127, 254, 255, 255, 255, 0, 255}),
            grayLevels(dst.get(), 12, 1));
}

TEST(IdftToImage, RoundedRoundTripGivesEveryLevelBack) {
  // Pure black and pure white beside every level between: the rounded
  // inverse gives each back exactly, where the plain one truncates or, with a
  // hair below 0, stretches.
  std::mt19937 random(11);
  for (const auto& size : {std::pair<int32_t, int32_t>{64, 48}, {37, 23}, {2, 2}, {1, 9}}) {
    const int32_t w = size.first, h = size.second;
    std::vector<double> gray(size_t(w) * h);
    for (size_t i = 0; i < gray.size(); ++i) gray[i] = i < 2 ? 255.0 * i : random() % 256;
    PlaneHolder plane = planeOf(gray, w, h), dst(planeAlloc(4, w, h));
    ASSERT_EQ(0, dft2d(plane.get(), w, h, kDftForward));
    EXPECT_EQ(0, idft2dToImageRounded(plane.get(), dst.get(), w, h, 2));
    const std::vector<int> back = grayLevels(dst.get(), w, h);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), gray.begin())) << w << "x" << h;
  }
}
