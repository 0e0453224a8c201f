#include <cmath>

#include "speccore.h"

// True when every real part is a finite number, the only case in which the
// rendering has a gray level for each sample. A NaN or an infinity anywhere
// in a spectrum spreads over the whole inverse, and so do finite values so
// large that a sum overflows. (Finite results differ by a finite amount: a
// pass of length N >= 2 divides its finite sums by N.)
static bool realPartsFinite(Plane plane, int32_t width, int32_t height) {
  for (int32_t y = 0; y < height; ++y) {
    const Complex* row = complexRow(plane, y);
    for (int32_t x = 0; x < width; ++x)
      if (!std::isfinite(row[x].re)) return false;
  }
  return true;
}

typedef void (*GrayRendering)(Plane, Plane, int32_t, int32_t, int);

static int inverseToImage(Plane plane, Plane destination, int32_t width, int32_t height,
                          int threads, DftProgress* progress, GrayRendering render) {
  if (dft2dThreads(plane, width, height, kDftInverse, threads, progress) != 0) return -1;
  if (!realPartsFinite(plane, width, height)) return 1;
  render(plane, destination, width, height, threads);
  return 0;
}

int idft2dToImage(Plane plane, Plane destination, int32_t width, int32_t height, int threads,
                  DftProgress* progress) {
  return inverseToImage(plane, destination, width, height, threads, progress, complexToImage);
}

int idft2dToImageRounded(Plane plane, Plane destination, int32_t width, int32_t height, int threads,
                         DftProgress* progress) {
  return inverseToImage(plane, destination, width, height, threads, progress,
                        complexToImageRounded);
}
