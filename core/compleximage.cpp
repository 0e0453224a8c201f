#include <cmath>
#include <cstring>
#include <vector>

#include "parallel.h"
#include "speccore.h"

using namespace speccore;

enum { kBins = 1024 };

static inline Pixel32 grayPixel(int32_t g) {
  return Pixel32{uint8_t(g), uint8_t(g), uint8_t(g), 0};
}

// Truncation toward zero of a value the caller expects in [0, limit]. A value
// that is not a number, or lies outside, would make the plain conversion
// undefined: NaN and values below 0 give 0, values above give limit.
static inline int32_t truncateInto(double v, int32_t limit) {
  if (!(v >= 0.0)) return 0;
  if (v >= double(limit)) return limit;
  return int32_t(v);
}

void complexToImage(Plane source, Plane destination, int32_t width, int32_t height, int threads) {
  if (width < 1 || height < 1) return;  // no sample to start the range from
  double min, max;
  planeRange(
      width, height, threads,
      [source](int32_t y, int32_t x) { return complexRow(source, y)[x].re; }, &min, &max);
  const double range = max > min ? max - min : 1.0;

  if (min >= 0.0 && max < 256.0) {
    // Levels that already fit a byte are shown as they are, truncated: 127.999
    // gives 127. Finite values here lie in [0, 256), so only a NaN (which
    // takes part in no comparison above) is clamped, to 0.
    parallelRows(height, threads, [&](int32_t first, int32_t last) {
      for (int32_t y = first; y < last; ++y) {
        const Complex* in = complexRow(source, y);
        Pixel32* out = pixelRow(destination, y);
        for (int32_t x = 0; x < width; ++x) out[x] = grayPixel(truncateInto(in[x].re, 255));
      }
    });
    return;
  }

  // Stretched case: bin every sample, find the cuts that clip 1 % of the
  // samples at each end, and ramp the gray levels linearly between them. The
  // destination holds each pixel's bin until the last pass maps it. Each
  // thread counts its rows in a histogram of its own; the sums are exact.
  const int parts = threadsFor(threads, height);
  std::vector<int64_t> counts(size_t(parts) * kBins, 0);
  parallelRanges(height, parts, [&](int part, int64_t first, int64_t last) {
    int64_t* histogram = &counts[size_t(part) * kBins];
    for (int64_t y = first; y < last; ++y) {
      const Complex* in = complexRow(source, int32_t(y));
      Pixel32* out = pixelRow(destination, int32_t(y));
      for (int32_t x = 0; x < width; ++x) {
        // Finite samples land in 0..1023; a non-finite one (NaN, or inf/inf
        // when the range itself is infinite) is clamped into the table.
        const int32_t bin = truncateInto((in[x].re - min) * 1023.0 / range, kBins - 1);
        std::memcpy(&out[x], &bin, sizeof bin);
        ++histogram[bin];
      }
    }
  });
  int64_t histogram[kBins] = {0};
  for (int part = 0; part < parts; ++part)
    for (int b = 0; b < kBins; ++b) histogram[b] += counts[size_t(part) * kBins + size_t(b)];
  const int64_t n = int64_t(width) * height;
  const int64_t clip = n < 200 ? 1 : n / 100;

  int32_t lo = 0;
  for (int64_t sum = histogram[0]; sum < clip && lo < kBins - 1;) sum += histogram[++lo];
  int32_t hi = kBins - 1;
  for (int64_t sum = histogram[hi]; sum < clip && hi > 0;) sum += histogram[--hi];

  Pixel32 table[kBins];
  for (int32_t b = 0; b < kBins; ++b) table[b] = grayPixel(255);
  for (int32_t b = 0; b <= lo; ++b) table[b] = grayPixel(0);
  for (int32_t b = lo + 1; b < hi; ++b)
    table[b] = grayPixel(int32_t(double(255 * (b - lo)) / double(hi - lo)));

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

void complexToImageRounded(Plane source, Plane destination, int32_t width, int32_t height,
                           int threads) {
  if (width < 1 || height < 1) return;
  parallelRows(height, threads, [&](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      const Complex* in = complexRow(source, y);
      Pixel32* out = pixelRow(destination, y);
      for (int32_t x = 0; x < width; ++x) {
        // Clamped before rounding, so the conversion is always defined; NaN
        // fails the first test and is 0.
        const double v = in[x].re;
        const int32_t g = !(v >= 0.5) ? 0 : v >= 254.5 ? 255 : int32_t(std::round(v));
        out[x] = grayPixel(g);
      }
    }
  });
}

void writeComplexImage(const char* path, Plane source, Plane destination, int32_t width,
                       int32_t height) {
  complexToImage(source, destination, width, height);
  bmpWrite32(path, destination[0], width, height);
}
