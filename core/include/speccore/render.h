// speccore/render.h: pictures made from complex planes. The real parts as a
// gray picture, and the power spectrum (the magnitudes) on a log or linear
// scale, centred by the quadrant swap or in natural order.
#ifndef SPECCORE_RENDER_H
#define SPECCORE_RENDER_H

#include <cstdint>

#include "types.h"

namespace speccore {

// Renders the real parts of `source` into `destination` (both W x H): truncated
// when all lie in [0, 256), else stretched through a 1024-bin histogram that
// clips 1 % at each end. On `threads` threads (see speccore/types.h), with
// the same pixels for every count. Cannot fail; does nothing when a size is
// below 1 or a plane is null.
SPECCORE_API void complexToImage(Plane source, Plane destination, int32_t width, int32_t height,
                                 int threads = 1);

// Renders each real part of `source` rounded to the nearest gray level
// (halves away from zero) and clamped to 0..255: no stretch, so a level that
// comes back from a round trip as 254.9999999 or -0.0000001 is 255 or 0. A
// real part that is not a number gives 0. On `threads` threads as
// complexToImage. Cannot fail; does nothing when a size is below 1 or a plane
// is null.
SPECCORE_API void complexToImageRounded(Plane source, Plane destination, int32_t width,
                                        int32_t height, int threads = 1);

// complexToImage, then the destination written as a 32-bit BMP at path
// (nothing for a size below 1 or a null plane).
SPECCORE_API void writeComplexImage(const char* path, Plane source, Plane destination,
                                    int32_t width, int32_t height);

// Exchanges the quadrants in place, moving (0, 0) to (H/2, W/2) for even
// sizes; for odd sizes the last row and column stay put. Applied twice it
// gives the plane back. Cannot fail; does nothing for a null plane.
SPECCORE_API void swapQuadrants(Plane plane, int32_t width, int32_t height, int threads = 1);

// Gray picture of the magnitudes in the order `source` has them: log10
// scale, or linear when `linear`. On `threads` threads as complexToImage.
// Cannot fail; does nothing when a size is below 1 or a plane is null.
SPECCORE_API void renderPowerSpectrum(Plane source, Plane destination, int32_t width,
                                      int32_t height, bool linear, int threads = 1);

// Gray picture of the magnitudes on a log scale that does not wrap: with m
// and M the smallest and largest magnitude and x = |F| - m, the level is
// 256 log(1 + x) / log(1 + M - m) rounded down, 255 at most. So m is black,
// M white, a larger magnitude is never darker, and every level takes an
// equal share of the log range; a coefficient within 1 of m (round-off) is
// nearly black. Zero samples are black and count in the range, as in
// renderPowerSpectrum; all black when M = m; a magnitude that is not a
// number is black. The levels' edges are computed with +, *, / and sqrt
// alone, so every IEEE machine draws the same bytes. On `threads` threads as
// complexToImage. Cannot fail; does nothing when a size is below 1 or a
// plane is null.
SPECCORE_API void renderLogMagnitude(Plane source, Plane destination, int32_t width, int32_t height,
                                     int threads = 1);

// Gray picture of the phases: the angle theta of each sample, -pi < theta <=
// pi, mapped linearly onto 256 equal steps, level 128 + 128 theta / pi
// rounded down, 255 at most: -pi is black, 0 is 128, pi/2 is 192, pi is
// 255. A zero sample has the angle 0 and is 128; -0 counts as 0, so a
// negative real sample is 255. The steps' edges are fixed tangents compared
// with products, with no C library function, so every IEEE machine draws
// the same bytes. On `threads` threads as complexToImage. Cannot fail; does
// nothing when a size is below 1 or a plane is null.
SPECCORE_API void renderPhase(Plane source, Plane destination, int32_t width, int32_t height,
                              int threads = 1);

// renderPowerSpectrum on the log scale into `destination`, then bmpWrite32.
// The picture has the order of `source`: a spectrum as a transform leaves
// it, in natural order, gives the zero frequency in the bottom-left corner
// (for the centred picture swap the quadrants first, or call
// writeCentredPowerSpectrum). Returns bmpWrite32's result: 0, or -1 (also for
// a size below 1 or a null plane).
SPECCORE_API int writePowerSpectrum(const char* path, Plane source, Plane destination,
                                    int32_t width, int32_t height);

// The centred picture of a spectrum in natural order, as PowerSpectrum.bmp:
// swapQuadrants, writePowerSpectrum, and swapQuadrants again, so `source`
// is left as it was. Returns writePowerSpectrum's result.
SPECCORE_API int writeCentredPowerSpectrum(const char* path, Plane source, Plane destination,
                                           int32_t width, int32_t height);

}  // namespace speccore

#endif
