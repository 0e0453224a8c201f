// speccore/dft.h: the two-dimensional DFT of a complex plane, in place,
// forward (unnormalised) or inverse, and the inverse straight to a picture.
//
// Row v, column u of a spectrum holds F(u, v) = sum of f(x, y) exp(-2 pi i
// (ux/W + vy/H)) in natural order: the zero frequency at row 0, column 0.
// The bits of every sum are fixed by the order of its operations, the same
// on any number of threads and with any of the kernels.
#ifndef SPECCORE_DFT_H
#define SPECCORE_DFT_H

#include <atomic>
#include <cstdint>

#include "status.h"
#include "types.h"

namespace speccore {

// How far a transform has come, for a program to show while it runs: the
// work done of all it needs, in the transform's own units (the direct DFT
// counts complex multiply-adds, W x H x (W + H)). The transform sets `total`
// first and adds to `done` from its threads as it goes; it sets
// `termByTerm` when there is no memory for its factors and it evaluates each
// one where it is used, with the same bits but many times slower.
struct DftProgress {
  std::atomic<uint64_t> done{0};
  std::atomic<uint64_t> total{0};
  std::atomic<bool> termByTerm{false};
};

enum {
  kDftForward = 0,  // direction arguments of dft2d: any value but
  kDftInverse = 1,  // kDftInverse is forward
};

// Transforms H rows of W samples in place: forward (unnormalised) unless
// direction is kDftInverse, which divides by W after the row pass and by H
// after the column pass. The sums run in vector kernels picked for this CPU
// (AVX-512, AVX2, NEON or plain), all giving the bits of the plain loops, with
// the factors in a table, or strip by strip for a thin picture's long lines,
// or term by term when no memory is left; each factor has the same bits
// wherever it is evaluated, so free memory never changes a result. Single-
// threaded. Returns 0 (nothing done for a size below 1), kStatusMemory (plane
// untouched) when not even a scratch line can be had, or kStatusArgument for a
// null plane. The plane must have H rows of W samples, as every plane here
// must have the size it is given with.
SPECCORE_API int dft2d(Plane plane, int32_t width, int32_t height, int direction);

// dft2d on `threads` threads (see speccore/types.h). The result has the same
// bits for every thread count. `progress` may be null. Returns as dft2d.
SPECCORE_API int dft2dThreads(Plane plane, int32_t width, int32_t height, int direction,
                              int threads, DftProgress* progress);

// dft2dThreads inverse on `plane`, then complexToImage into `destination`,
// both on `threads` threads; `progress` (may be null) follows the transform.
// Returns 0; kStatusMemory (nothing done) when the transform could not run;
// kStatusArgument (nothing done) for a null plane;
// kStatusNotFinite (destination untouched) when the inverse has a real part
// that is not finite, for which there is no gray picture.
SPECCORE_API int idft2dToImage(Plane plane, Plane destination, int32_t width, int32_t height,
                               int threads = 1, DftProgress* progress = nullptr);

// idft2dToImage with complexToImageRounded for the rendering: the faithful
// inverse, whose picture of a round trip is the gray picture itself.
// Returns as idft2dToImage.
SPECCORE_API int idft2dToImageRounded(Plane plane, Plane destination, int32_t width, int32_t height,
                                      int threads = 1, DftProgress* progress = nullptr);

// The rendering steps of idft2dToImage and idft2dToImageRounded alone, for a
// plane that another transform has inverted: complexToImage, or
// complexToImageRounded, into `destination` on `threads` threads. Return 0
// (nothing done for a size below 1), kStatusArgument for a null plane, or
// kStatusNotFinite (destination untouched) when a real part is not finite.
SPECCORE_API int inverseToImage(Plane plane, Plane destination, int32_t width, int32_t height,
                                int threads = 1);
SPECCORE_API int inverseToImageRounded(Plane plane, Plane destination, int32_t width,
                                       int32_t height, int threads = 1);

}  // namespace speccore

#endif
