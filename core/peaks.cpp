#include <algorithm>
#include <cmath>

#include "speccore.h"

// The place (row, column) to which swapQuadrants moves the sample at (r, c):
// the quadrants of hh x hw samples trade places, and for an odd size the
// last row and the last column stay where they are, every sample of them
// (a plane 1 wide or high is not swapped at all). For example, at 5 x 3 the
// sample (0, 4) stays and (0, 1) goes to (1, 3).
static void afterSwap(int32_t r, int32_t c, int32_t width, int32_t height, int32_t* row,
                      int32_t* column) {
  const int32_t hw = width / 2, hh = height / 2;
  const bool moves = r < 2 * hh && c < 2 * hw;
  *row = !moves ? r : r < hh ? r + hh : r - hh;
  *column = !moves ? c : c < hw ? c + hw : c - hw;
}

// The coefficient in row r, column c named as a peak. Frequencies above half
// the size count down from it, as filterGain counts them.
static SpectrumPeak peakAt(Plane samples, int32_t width, int32_t height, int32_t r, int32_t c,
                           double magnitude) {
  const Complex f = complexRow(samples, r)[c];
  SpectrumPeak p;
  p.u = c <= width / 2 ? c : c - width;
  p.v = r <= height / 2 ? r : r - height;
  p.magnitude = magnitude;
  // -0 counts as 0, so a negative real coefficient has the angle pi and a
  // zero one 0, as renderPhase draws them.
  p.phase = std::atan2(f.im == 0.0 ? 0.0 : f.im, f.re == 0.0 ? 0.0 : f.re);
  // PowerSpectrum.bmp is the swapped plane written bottom row first, so
  // plane row R is row H - 1 - R from the top.
  int32_t row;
  afterSwap(r, c, width, height, &row, &p.x);
  p.y = height - 1 - row;
  return p;
}

int32_t spectrumPeaks(Plane samples, int32_t width, int32_t height, SpectrumPeak* peaks,
                      int32_t count) {
  if (width < 1 || height < 1 || count < 1 || peaks == nullptr) return 0;
  // The order of the list: the larger magnitude first, then the earlier
  // place in the file (row-major), which makes it total.
  auto place = [width, height](const SpectrumPeak& p) {
    return int64_t(p.v < 0 ? p.v + height : p.v) * width + (p.u < 0 ? p.u + width : p.u);
  };
  auto before = [&place](const SpectrumPeak& a, const SpectrumPeak& b) {
    if (a.magnitude != b.magnitude) return a.magnitude > b.magnitude;
    return place(a) < place(b);
  };
  // peaks[0 .. n) is a heap whose front is the weakest peak kept so far, the
  // one a stronger candidate replaces once the array is full.
  int32_t n = 0;
  for (int32_t r = 0; r < height; ++r) {
    const int32_t mr = r == 0 ? 0 : height - r;
    for (int32_t c = 0; c < width; ++c) {
      const int32_t mc = c == 0 ? 0 : width - c;
      // Each pair is taken at its member first in the file; (0, 0) is left out.
      if (int64_t(mr) * width + mc < int64_t(r) * width + c || (r == 0 && c == 0)) continue;
      const Complex f = complexRow(samples, r)[c], g = complexRow(samples, mr)[mc];
      const double a = std::sqrt(f.re * f.re + f.im * f.im);
      const double b = std::sqrt(g.re * g.re + g.im * g.im);
      // The first in the file stands for the pair unless its mirror is
      // stronger by more than a part in a million (or it is not a number): a
      // real picture's pair differ by rounding alone, so its pairs are named
      // alike, and only a filter that is not symmetric makes such a difference.
      const bool mirror = b > a * (1.0 + 1e-6) || (a != a && b == b);
      const double magnitude = mirror ? b : a;
      if (magnitude != magnitude) continue;
      if (n == count && !(magnitude >= peaks[0].magnitude)) continue;  // cheap early out
      const SpectrumPeak p = mirror ? peakAt(samples, width, height, mr, mc, magnitude)
                                    : peakAt(samples, width, height, r, c, magnitude);
      if (n < count) {
        peaks[n++] = p;
        std::push_heap(peaks, peaks + n, before);
      } else if (before(p, peaks[0])) {
        std::pop_heap(peaks, peaks + n, before);
        peaks[n - 1] = p;
        std::push_heap(peaks, peaks + n, before);
      }
    }
  }
  std::sort_heap(peaks, peaks + n, before);
  return n;
}
