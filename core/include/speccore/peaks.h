// speccore/peaks.h: the strongest coefficients of a spectrum, each named the
// ways a user meets it: as specfilter's notch takes it, by magnitude and
// phase, and as the pixel of the centred power-spectrum picture.
#ifndef SPECCORE_PEAKS_H
#define SPECCORE_PEAKS_H

#include <cstdint>

#include "types.h"

namespace speccore {

// One strong coefficient of a spectrum (spectrumPeaks).
struct SpectrumPeak {
  int32_t u, v;      // its frequency as specfilter -n takes it: column u and row v of the
                     // file, counted from W or H down when above W/2 or H/2 (-1 is the last)
  double magnitude;  // |F(u, v)|
  double phase;      // its angle in radians, -pi < phase <= pi (0 for a zero coefficient)
  int32_t x, y;      // the pixel that shows it in PowerSpectrum.bmp, counted from the
                     // picture's top-left corner as a picture viewer counts
};

// The `count` strongest coefficients of a W x H spectrum in natural order
// (zero frequency at row 0, column 0), strongest first, into peaks[0 ..
// result - 1]; the caller owns the array. The zero frequency is left out and
// each mirror pair F(u, v), F(-u, -v) is listed once, by its stronger member
// (a real picture's pair are equal up to rounding: the one first in the file,
// v > 0 or v = 0 and u > 0, stands for the pair unless its mirror is
// stronger by more than one part in a million); a coefficient that is
// its own mirror (u and v each 0 or half the size) is listed as it is. Equal
// magnitudes come in the file's order; magnitudes that are not a number are
// passed over. Returns the number listed: `count`, or fewer when the spectrum
// has fewer pairs; 0 for a size or count below 1 or a null argument.
// Allocates nothing, cannot fail, does not change the samples.
SPECCORE_API int32_t spectrumPeaks(Plane samples, int32_t width, int32_t height,
                                   SpectrumPeak* peaks, int32_t count);

}  // namespace speccore

#endif
