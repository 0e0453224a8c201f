// How far apart the samples of two spectra of the same picture lie, for
// builds whose cos and sin differ in the last bit of some angles.
#ifndef SPECTRUMDIFF_H
#define SPECTRUMDIFF_H

#include <cmath>
#include <cstdint>
#include <cstring>

#include "testutil.h"

// Values are compared one double at a time, real and imaginary parts alike.
// A distance in units in the last place of the value itself is unbounded for
// a coefficient whose terms cancel to almost nothing, so the bound is kept on
// the distance in units in the last place of the reference's largest
// magnitude (the DC term of a picture): an error relative to the spectrum.
struct SampleDifference {
  size_t values = 0;        // doubles compared
  size_t differing = 0;     // of which not bit-identical
  uint64_t maxOwnUlp = 0;   // largest distance in the values' own ulps
  double maxScaledUlp = 0;  // largest |a - b| in ulps of the largest |reference value|
};

// The largest difference, in ulps of the spectrum's largest magnitude, that
// builds with different cos and sin may show: less than one unit of the
// largest coefficient (measured: at most 1/8 on the pictures of the
// cross-build test).
const double kCrossBuildUlpBound = 1;

// Position of a double on the line of all doubles: neighbours differ by 1.
inline int64_t doubleOrdinal(double v) {
  int64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits < 0 ? -(bits & INT64_MAX) : bits;
}

inline SampleDifference compareSamples(const uint8_t* reference, const uint8_t* other,
                                       size_t values) {
  SampleDifference d;
  d.values = values;
  double largest = 0;
  for (size_t i = 0; i < values; ++i) {
    double r;
    std::memcpy(&r, reference + 8 * i, 8);
    largest = std::fmax(largest, std::fabs(r));
  }
  const double unit = std::nextafter(largest, INFINITY) - largest;
  for (size_t i = 0; i < values; ++i) {
    double r, o;
    std::memcpy(&r, reference + 8 * i, 8);
    std::memcpy(&o, other + 8 * i, 8);
    if (std::memcmp(&r, &o, 8) == 0) continue;
    ++d.differing;
    const int64_t a = doubleOrdinal(r), b = doubleOrdinal(o);
    d.maxOwnUlp = std::max(d.maxOwnUlp, uint64_t(a > b ? a - b : b - a));
    d.maxScaledUlp = std::fmax(d.maxScaledUlp, std::fabs(r - o) / unit);
  }
  return d;
}

#endif
