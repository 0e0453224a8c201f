// speccore/filter.h: frequency-domain filters. A filter multiplies both
// parts of every sample F(u, v) of a W x H spectrum by a real gain H(u, v).
//
// Frequencies above half the size count as negative: u' = u for u <= W/2
// (whole division), else u - W, and likewise v', so D^2 = u'^2 + v'^2 is the
// squared distance from the zero frequency, and every factor, and so the
// gain, is exactly symmetric, H(u, v) = H(-u mod W, -v mod H), except a mask
// that is not. With the low-pass gain L(d^2, r) of the shape (ideal: 1 for
// d^2 <= r^2, else 0; Gaussian: exp(-d^2 / (2 r^2)); Butterworth: 1 / (1 +
// (d^2 / r^2)^n); each 1 at d = 0), the factors are
//   low-pass   L(D^2, r); high-pass 1 - L(D^2, r);
//   band-pass  ideal: 1 for r1^2 <= D^2 <= r2^2, else 0; the others
//              L(s^2, 1) with s = (D^2 - r1 r2) / (D (r2 - r1)), 0 at D = 0
//              (s is -1 at r1 and 1 at r2); band-stop 1 - band-pass;
//   notch      (1 - L(Da^2, r)) (1 - L(Db^2, r)), Da and Db the distances
//              to (u, v) and (-u, -v) measured around the spectrum's edges
//              (one factor when they are the same frequency);
//   mask       the gray level / 255 of the mask pixel that shows the sample.
#ifndef SPECCORE_FILTER_H
#define SPECCORE_FILTER_H

#include <cstdint>

#include "bmp.h"
#include "types.h"

namespace speccore {

enum FilterKind {
  kFilterLowPass,
  kFilterHighPass,
  kFilterBandPass,
  kFilterBandStop,
  kFilterNotch,
  kFilterMask,
};

enum FilterShape { kShapeIdeal, kShapeGaussian, kShapeButterworth };

// One factor of a filter's gain.
struct FilterFactor {
  int kind;         // a FilterKind
  double radius;    // positive: the cut-off D0, a band's inner radius, a notch's radius
  double outer;     // a band's outer radius, above `radius`
  int32_t u, v;     // a notch's frequency
  BmpPicture mask;  // kFilterMask: the gains as gray levels; the caller frees its pixels
};

// A real gain for every sample: the product of the factors, in order.
struct SpectrumFilter {
  int shape;  // a FilterShape
  int order;  // the Butterworth order n, 1 or more
  const FilterFactor* factors;
  int count;
  bool maskNatural;    // masks laid out in natural order, not centred like PowerSpectrum.bmp
  bool maskSymmetric;  // each mask gain the smaller of its own and its mirror's
};

// The gain of the sample in column u and row v, between 0 and 1. NaN for
// arguments filterSpectrum refuses, or (u, v) outside the spectrum.
SPECCORE_API double filterGain(const SpectrumFilter* filter, int32_t u, int32_t v, int32_t width,
                               int32_t height);

// True when the factor fits a W x H spectrum: a notch frequency with |u| <=
// W/2 and |v| <= H/2, a mask of W x H pixels; the other factors fit any.
// False for a null factor or a size below 1.
SPECCORE_API bool filterFactorFits(const FilterFactor* factor, int32_t width, int32_t height);

// Multiplies every sample by its gain, rows shared among `threads` threads (0
// or less: availableProcessors(), for a plane large enough to pay for
// starting them); the result does not depend on their number. Returns 0, or
// kStatusArgument (nothing changed) for a null plane or filter, a size below
// 1, a shape or kind out of range, a Butterworth order below 1, a factor that
// does not fit the spectrum (filterFactorFits), a mask without pixels, a
// radius that is not a positive finite number, or a band whose outer radius
// is not above its inner one. For any other arguments every gain is finite,
// so finite samples stay finite.
SPECCORE_API int filterSpectrum(Plane samples, int32_t width, int32_t height,
                                const SpectrumFilter* filter, int threads);

}  // namespace speccore

#endif
