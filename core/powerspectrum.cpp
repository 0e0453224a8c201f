#include <cmath>

#include "parallel.h"
#include "speccore/bmp.h"
#include "speccore/render.h"

namespace speccore {

void swapQuadrants(Plane plane, int32_t width, int32_t height, int threads) {
  const int32_t hw = width / 2, hh = height / 2;
  if (plane == nullptr || hh <= 0 || hw <= 0) return;
  // Disjoint pairs, so a second swap restores the plane; for odd sizes the
  // last row and column take part in no pair. Each pair of rows is its own
  // work, so threads never meet.
  parallelRows(hh, threads, [&](int32_t first, int32_t last) {
    for (int32_t i = first; i < last; ++i) {
      Complex* top = complexRow(plane, i);
      Complex* bottom = complexRow(plane, i + hh);
      for (int32_t j = 0; j < hw; ++j) {
        Complex t = top[j];
        top[j] = bottom[hw + j];
        bottom[hw + j] = t;
        t = top[hw + j];
        top[hw + j] = bottom[j];
        bottom[j] = t;
      }
    }
  });
}

static inline double power(Complex c) { return c.re * c.re + c.im * c.im; }

// The value as a 32-bit integer, truncated toward zero; -2^31 when it is not a
// number or its truncation does not fit (the plain conversion is undefined
// there). Example: -1.7 gives -1, whose low byte is 255.
static inline int32_t toInt32OrMin(double v) {
  if (v > -2147483649.0 && v < 2147483648.0) return int32_t(v);
  return INT32_MIN;
}

void renderPowerSpectrum(Plane source, Plane destination, int32_t width, int32_t height,
                         bool linear, int threads) {
  // No sample to start the range from, or no plane.
  if (source == nullptr || destination == nullptr || width < 1 || height < 1) return;
  double min, max;
  planeRange(
      width, height, threads,
      [source](int32_t y, int32_t x) { return power(complexRow(source, y)[x]); }, &min, &max);
  const double m = std::sqrt(min), M = std::sqrt(max);
  const double divisor = M > m ? (linear ? M - m : std::log10(M - m)) : 1.0;
  const double scale = 255.0 / divisor;

  parallelRows(height, threads, [&](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      const Complex* in = complexRow(source, y);
      Pixel32* out = pixelRow(destination, y);
      for (int32_t x = 0; x < width; ++x) {
        uint8_t g = 0;
        if (!(in[x].re == 0.0 && in[x].im == 0.0)) {
          const double r = std::sqrt(power(in[x]));
          const double v = linear ? (r - m) * scale : std::log10(r - m) * scale;
          // No clamping: the level is the low byte of the integer, so values
          // just below 0 come out white.
          g = uint8_t(uint32_t(toInt32OrMin(v)));
        }
        out[x] = Pixel32{g, g, g, 0};
      }
    }
  });
}

int writePowerSpectrum(const char* path, Plane source, Plane destination, int32_t width,
                       int32_t height) {
  if (source == nullptr || destination == nullptr || width < 1 || height < 1) return -1;
  renderPowerSpectrum(source, destination, width, height, false);
  return bmpWrite32(path, pixelRow(destination, 0), width, height);
}

int writeCentredPowerSpectrum(const char* path, Plane source, Plane destination, int32_t width,
                              int32_t height) {
  // The swap pairs disjoint samples, so the second one puts every sample back.
  swapQuadrants(source, width, height);
  const int status = writePowerSpectrum(path, source, destination, width, height);
  swapQuadrants(source, width, height);
  return status;
}

}  // namespace speccore
