// Filters in-process: every factor exactly symmetric on even and odd sizes,
// masks read where swapQuadrants shows a sample, which factors fit a
// spectrum, gains that stay finite, filters refused before they change
// anything, and rows shared among threads. The gains' values are checked
// against numpy in the interoperability tests, the ideal ones by specfilter's.
#include "speccore/bmp.h"
#include "speccore/filter.h"
#include "speccore/plane.h"
#include "speccore/render.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;

namespace {

FilterFactor factor(int kind, double radius, double outer = 0, int32_t u = 0, int32_t v = 0) {
  FilterFactor f = {};
  f.kind = kind;
  f.radius = radius;
  f.outer = outer;
  f.u = u;
  f.v = v;
  return f;
}

SpectrumFilter filterOf(const std::vector<FilterFactor>& factors, int shape, int order = 1) {
  SpectrumFilter f = {};
  f.shape = shape;
  f.order = order;
  f.factors = factors.data();
  f.count = int(factors.size());
  return f;
}

// A picture whose pixel (x, y) has the gray level level(x, y).
PlaneHolder grayPicture(int32_t w, int32_t h, int (*level)(int32_t, int32_t)) {
  PlaneHolder p(planeAlloc(sizeof(Pixel32), w, h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t g = uint8_t(level(x, y));
      pixelRow(p.get(), y)[x] = Pixel32{g, g, g, 0};
    }
  return p;
}

int unevenLevel(int32_t x, int32_t y) { return (x * 53 + y * 29 + x * y * 7) % 256; }

}  // namespace

TEST(Filter, EveryFactorIsExactlySymmetric) {
  const int32_t sizes[][2] = {{8, 6}, {9, 7}, {8, 7}, {2, 3}};
  for (const auto& size : sizes) {
    const int32_t w = size[0], h = size[1];
    const std::vector<std::vector<FilterFactor>> filters = {
        {factor(kFilterLowPass, 2.5)},
        {factor(kFilterHighPass, 1.7)},
        {factor(kFilterBandPass, 1.2, 2.9)},
        {factor(kFilterBandStop, 1, 3)},
        {factor(kFilterNotch, 1.5, 0, w / 2, -(h / 2))},
        {factor(kFilterNotch, 1, 0, 1, 2), factor(kFilterNotch, 0.5, 0, 0, 0),
         factor(kFilterLowPass, 3)},
    };
    for (int shape : {kShapeIdeal, kShapeGaussian, kShapeButterworth}) {
      for (size_t i = 0; i < filters.size(); ++i) {
        const SpectrumFilter f = filterOf(filters[i], shape, 3);
        bool fits = true;
        for (const FilterFactor& k : filters[i]) fits = fits && filterFactorFits(&k, w, h);
        if (!fits) {  // a notch beyond the spectrum has no gains
          EXPECT_TRUE(std::isnan(filterGain(&f, 0, 0, w, h))) << w << "x" << h << " filter " << i;
          continue;
        }
        for (int32_t v = 0; v < h; ++v)
          for (int32_t u = 0; u < w; ++u) {
            const double g = filterGain(&f, u, v, w, h);
            const double mirror = filterGain(&f, (w - u) % w, (h - v) % h, w, h);
            ASSERT_EQ(bitsOf(g), bitsOf(mirror)) << w << "x" << h << " shape " << shape
                                                 << " filter " << i << " at " << u << "," << v;
            ASSERT_TRUE(g >= 0 && g <= 1) << g;
          }
      }
    }
  }
}

TEST(Filter, MasksAreReadWhereSwapQuadrantsShowsTheSample) {
  // A plane that holds each sample's own level, centred by swapQuadrants,
  // becomes the mask: every sample must then find its own level, natural
  // order or centred. With the mask symmetrised, the smaller of its own and
  // its mirror's.
  for (const auto& size : {std::pair<int32_t, int32_t>{6, 4}, {7, 5}}) {
    const int32_t w = size.first, h = size.second;
    std::vector<double> levels;
    for (int32_t v = 0; v < h; ++v)
      for (int32_t u = 0; u < w; ++u) levels.push_back(unevenLevel(u, v));
    PlaneHolder centred = planeOf(levels, w, h);
    swapQuadrants(centred.get(), w, h);
    PlaneHolder natural = grayPicture(w, h, unevenLevel);
    PlaneHolder shown(planeAlloc(sizeof(Pixel32), w, h));
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t g = uint8_t(complexRow(centred.get(), y)[x].re);
        pixelRow(shown.get(), y)[x] = Pixel32{g, g, g, 0};
      }
    for (bool isNatural : {false, true})
      for (bool symmetric : {false, true}) {
        std::vector<FilterFactor> mask = {factor(kFilterMask, 0)};
        mask[0].mask = BmpPicture{isNatural ? natural.get() : shown.get(), w, h, 32};
        SpectrumFilter f = filterOf(mask, kShapeIdeal);
        f.maskNatural = isNatural;
        f.maskSymmetric = symmetric;
        for (int32_t v = 0; v < h; ++v)
          for (int32_t u = 0; u < w; ++u) {
            int level = unevenLevel(u, v);
            if (symmetric) level = std::min(level, unevenLevel((w - u) % w, (h - v) % h));
            EXPECT_EQ(level / 255.0, filterGain(&f, u, v, w, h))
                << w << "x" << h << " natural " << isNatural << " symmetric " << symmetric << " at "
                << u << "," << v;
          }
      }
  }
}

TEST(Filter, NotchesAndMasksMustFitTheSpectrum) {
  FilterFactor mask = factor(kFilterMask, 0);
  mask.mask = BmpPicture{nullptr, 8, 7, 24};
  const struct {
    FilterFactor factor;
    int32_t w, h;
    bool fits;
  } cases[] = {
      {factor(kFilterNotch, 1, 0, 4, 3), 8, 7, true},
      {factor(kFilterNotch, 1, 0, -4, -3), 8, 7, true},
      {factor(kFilterNotch, 1, 0, 5, 0), 8, 7, false},
      {factor(kFilterNotch, 1, 0, 0, 4), 8, 7, false},
      {factor(kFilterNotch, 1, 0, 0, -4), 8, 7, false},
      {factor(kFilterNotch, 1, 0, 0, 0), 2, 2, true},
      {factor(kFilterNotch, 1, 0, INT32_MIN, 0), 8, 7, false},
      {mask, 8, 7, true},
      {mask, 7, 8, false},
      {mask, 8, 8, false},
      {factor(kFilterLowPass, 1e9), 2, 2, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.fits, filterFactorFits(&c.factor, c.w, c.h))
        << c.factor.kind << " " << c.factor.u << "," << c.factor.v << " in " << c.w << "x" << c.h;
}

TEST(Filter, GainsStayFiniteWhateverTheRadii) {
  // Radii near the largest double overflow the band's products (specfilter
  // -g -b5,1e308 once wrote NaN everywhere); near the smallest, their
  // squares underflow. Every gain stays a number from 0 to 1.
  const double radii[] = {4.9e-324, 2.2e-308, 1e-300, 0.5,     5,
                          1e154,    1e200,    1e308,  1.7e308, DBL_MAX};
  const int32_t w = 16, h = 12;
  for (int shape : {kShapeIdeal, kShapeGaussian, kShapeButterworth})
    for (int kind :
         {kFilterLowPass, kFilterHighPass, kFilterBandPass, kFilterBandStop, kFilterNotch})
      for (double inner : radii)
        for (double outer : radii) {
          if (!(outer > inner)) continue;
          const std::vector<FilterFactor> factors = {factor(kind, inner, outer, 3, -2)};
          const SpectrumFilter f = filterOf(factors, shape, 3);
          for (int32_t v = 0; v < h; ++v)
            for (int32_t u = 0; u < w; ++u) {
              const double g = filterGain(&f, u, v, w, h);
              ASSERT_TRUE(g >= 0 && g <= 1)
                  << g << ": shape " << shape << " kind " << kind << " radii " << inner << ","
                  << outer << " at " << u << "," << v;
            }
        }
}

TEST(Filter, WhatDoesNotFitIsRefusedAndChangesNothing) {
  // A mask smaller than the spectrum was read past its end, a notch at
  // INT32_MIN overflowed; now these, and every other unusable value, are
  // refused before a sample changes.
  const int32_t w = 8, h = 6;
  PlaneHolder small = grayPicture(4, 3, unevenLevel);
  FilterFactor mask = factor(kFilterMask, 0);
  mask.mask = BmpPicture{small.get(), 4, 3, 32};
  FilterFactor noPixels = factor(kFilterMask, 0);
  noPixels.mask = BmpPicture{nullptr, w, h, 32};
  const struct {
    const char* what;
    FilterFactor factor;
    int shape, order;
  } cases[] = {
      {"a mask smaller than the spectrum", mask, kShapeIdeal, 1},
      {"a mask without pixels", noPixels, kShapeIdeal, 1},
      {"a notch at INT32_MIN", factor(kFilterNotch, 1, 0, INT32_MIN, 0), kShapeGaussian, 1},
      {"a radius that is not a number", factor(kFilterLowPass, kNaN), kShapeIdeal, 1},
      {"a radius of 0", factor(kFilterHighPass, 0), kShapeGaussian, 1},
      {"an infinite outer radius", factor(kFilterBandPass, 1, kInf), kShapeGaussian, 1},
      {"an outer radius below the inner one", factor(kFilterBandStop, 3, 2), kShapeIdeal, 1},
      {"an unknown kind", factor(99, 1), kShapeIdeal, 1},
      {"an unknown shape", factor(kFilterLowPass, 1), 7, 1},
      {"a Butterworth order of 0", factor(kFilterLowPass, 1), kShapeButterworth, 0},
  };
  std::vector<Complex> samples;
  for (int i = 0; i < w * h; ++i) samples.push_back(Complex{double(i), -double(i)});
  for (const auto& c : cases) {
    const std::vector<FilterFactor> factors = {c.factor};
    const SpectrumFilter f = filterOf(factors, c.shape, c.order);
    PlaneHolder p = planeOf(samples, w, h);
    EXPECT_EQ(kStatusArgument, filterSpectrum(p.get(), w, h, &f, 1)) << c.what;
    EXPECT_EQ(0, std::memcmp(samples.data(), p.get()[0], samples.size() * sizeof(Complex)))
        << c.what;
    EXPECT_TRUE(std::isnan(filterGain(&f, 0, 0, w, h))) << c.what;
  }
  const std::vector<FilterFactor> fine = {factor(kFilterLowPass, 2)};
  const SpectrumFilter f = filterOf(fine, kShapeIdeal);
  PlaneHolder p = planeOf(samples, w, h);
  EXPECT_EQ(kStatusArgument, filterSpectrum(nullptr, w, h, &f, 1));
  EXPECT_EQ(kStatusArgument, filterSpectrum(p.get(), w, h, nullptr, 1));
  EXPECT_EQ(kStatusArgument, filterSpectrum(p.get(), 0, h, &f, 1));
  EXPECT_TRUE(std::isnan(filterGain(&f, w, 0, w, h)));  // outside the spectrum
  EXPECT_EQ(kStatusOk, filterSpectrum(p.get(), w, h, &f, 1));
}

TEST(Filter, ThreadsGiveTheBitsOfOne) {
  const int32_t w = 13, h = 11;
  std::vector<Complex> samples;
  for (int i = 0; i < w * h; ++i) samples.push_back(Complex{0.1 * i - 3, 1e3 / (i + 1)});
  const std::vector<FilterFactor> factors = {factor(kFilterBandPass, 1.5, 4),
                                             factor(kFilterNotch, 1, 0, 3, -2)};
  const SpectrumFilter f = filterOf(factors, kShapeGaussian);
  PlaneHolder one = planeOf(samples, w, h);
  filterSpectrum(one.get(), w, h, &f, 1);
  for (int threads : {2, 4, 11, 0}) {
    PlaneHolder many = planeOf(samples, w, h);
    filterSpectrum(many.get(), w, h, &f, threads);
    EXPECT_EQ(0, std::memcmp(complexRow(one.get(), 0), complexRow(many.get(), 0),
                             samples.size() * sizeof(Complex)))
        << threads;
  }
  // Each sample is its own times its gain, both parts alike.
  for (int32_t v = 0; v < h; ++v)
    for (int32_t u = 0; u < w; ++u) {
      const double g = filterGain(&f, u, v, w, h);
      const Complex in = samples[size_t(v * w + u)], out = complexRow(one.get(), v)[u];
      EXPECT_EQ(bitsOf(in.re * g), bitsOf(out.re)) << u << "," << v;
      EXPECT_EQ(bitsOf(in.im * g), bitsOf(out.im)) << u << "," << v;
    }
}
