#include <cmath>
#include <cstring>
#include <vector>

#include "histogram.h"
#include "parallel.h"
#include "speccore/bmp.h"
#include "speccore/render.h"

namespace speccore {

namespace {

inline Pixel32 grayPixel(int32_t g) { return Pixel32{uint8_t(g), uint8_t(g), uint8_t(g), 0}; }

// Truncation toward zero of a value the caller expects in [0, limit]. A value
// that is not a number, or lies outside, would make the plain conversion
// undefined: NaN and values below 0 give 0, values above give limit.
inline int32_t truncateInto(double v, int32_t limit) {
  if (!(v >= 0.0)) return 0;
  if (v >= double(limit)) return limit;
  return int32_t(v);
}

// Levels that already fit a byte are shown as they are, truncated: 127.999
// gives 127. Finite values here lie in [0, 256), so only a NaN (which takes
// part in no comparison of the range) is clamped, to 0.
void truncatedPicture(Plane source, Plane destination, int32_t width, int32_t height, int threads) {
  grayPicture(source, destination, width, height, threads,
              [](const Complex& c) { return uint8_t(truncateInto(c.re, 255)); });
}

// Puts every sample's bin, 1023 (re - min) / range truncated, into its pixel
// of `destination` and counts the bins into `histogram`. Each thread counts
// its rows in a histogram of its own; the sums are exact.
void binSamples(Plane source, Plane destination, int32_t width, int32_t height, double min,
                double range, int threads, int64_t* histogram) {
  const int parts = threadsFor(threads, height);
  std::vector<int64_t> counts(size_t(parts) * kHistogramBins, 0);
  parallelRanges(height, parts, [&](int part, int64_t first, int64_t last) {
    int64_t* own = &counts[size_t(part) * kHistogramBins];
    for (int64_t y = first; y < last; ++y) {
      const Complex* in = complexRow(source, int32_t(y));
      Pixel32* out = pixelRow(destination, int32_t(y));
      for (int32_t x = 0; x < width; ++x) {
        // Finite samples land in 0..1023; a non-finite one (NaN, or inf/inf
        // when the range itself is infinite) is clamped into the table.
        const int32_t bin = truncateInto((in[x].re - min) * 1023.0 / range, kHistogramBins - 1);
        std::memcpy(&out[x], &bin, sizeof bin);
        ++own[bin];
      }
    }
  });
  for (int b = 0; b < kHistogramBins; ++b) histogram[b] = 0;
  for (int part = 0; part < parts; ++part)
    for (int b = 0; b < kHistogramBins; ++b)
      histogram[b] += counts[size_t(part) * kHistogramBins + size_t(b)];
}

// Stretched case: bin every sample, find the cuts that clip 1 % of the
// samples at each end, and ramp the gray levels linearly between them. The
// destination holds each pixel's bin until the last pass maps it.
void stretchedPicture(Plane source, Plane destination, int32_t width, int32_t height, double min,
                      double max, int threads) {
  const double range = max > min ? max - min : 1.0;
  int64_t histogram[kHistogramBins];
  binSamples(source, destination, width, height, min, range, threads, histogram);
  const int64_t n = int64_t(width) * height;
  const HistogramCuts cut = histogramCuts(histogram, n < 200 ? 1 : n / 100);

  Pixel32 table[kHistogramBins];
  for (int32_t b = 0; b < kHistogramBins; ++b) table[b] = grayPixel(255);
  for (int32_t b = 0; b <= cut.lo; ++b) table[b] = grayPixel(0);
  for (int32_t b = cut.lo + 1; b < cut.hi; ++b)
    table[b] = grayPixel(int32_t(double(255 * (b - cut.lo)) / double(cut.hi - cut.lo)));

  parallelRows(height, threads, [&](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      Pixel32* out = pixelRow(destination, y);
      for (int32_t x = 0; x < width; ++x) {
        int32_t bin;
        std::memcpy(&bin, &out[x], sizeof bin);
        out[x] = table[bin];
      }
    }
  });
}

}  // namespace

HistogramCuts histogramCuts(const int64_t* histogram, int64_t clip) {
  HistogramCuts cut = {0, kHistogramBins - 1};
  for (int64_t sum = histogram[cut.lo]; sum < clip && cut.lo < kHistogramBins - 1;)
    sum += histogram[++cut.lo];
  for (int64_t sum = histogram[cut.hi]; sum < clip && cut.hi > 0;) sum += histogram[--cut.hi];
  return cut;
}

void complexToImage(Plane source, Plane destination, int32_t width, int32_t height, int threads) {
  // No sample to start the range from, or no plane.
  if (source == nullptr || destination == nullptr || width < 1 || height < 1) return;
  double min, max;
  planeRange(
      width, height, threads,
      [source](int32_t y, int32_t x) { return complexRow(source, y)[x].re; }, &min, &max);
  if (min >= 0.0 && max < 256.0)
    truncatedPicture(source, destination, width, height, threads);
  else
    stretchedPicture(source, destination, width, height, min, max, threads);
}

void complexToImageRounded(Plane source, Plane destination, int32_t width, int32_t height,
                           int threads) {
  if (source == nullptr || destination == nullptr || width < 1 || height < 1) return;
  grayPicture(source, destination, width, height, threads, [](const Complex& c) {
    // Clamped before rounding, so the conversion is always defined; NaN
    // fails the first test and is 0.
    const double v = c.re;
    return uint8_t(!(v >= 0.5) ? 0 : v >= 254.5 ? 255 : int32_t(std::round(v)));
  });
}

void writeComplexImage(const char* path, Plane source, Plane destination, int32_t width,
                       int32_t height) {
  if (source == nullptr || destination == nullptr || width < 1 || height < 1) return;
  complexToImage(source, destination, width, height);
  bmpWrite32(path, pixelRow(destination, 0), width, height);
}

}  // namespace speccore
