#include <algorithm>
#include <cfloat>
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

// The smallest and largest |F| of a plane (W, H >= 1), from the ends of |F|^2
// as planeRange finds them.
static void magnitudeRange(Plane source, int32_t width, int32_t height, int threads, double* m,
                           double* M) {
  double min, max;
  planeRange(
      width, height, threads,
      [source](int32_t y, int32_t x) { return power(complexRow(source, y)[x]); }, &min, &max);
  *m = std::sqrt(min);
  *M = std::sqrt(max);
}

void renderPowerSpectrum(Plane source, Plane destination, int32_t width, int32_t height,
                         bool linear, int threads) {
  // No sample to start the range from, or no plane.
  if (source == nullptr || destination == nullptr || width < 1 || height < 1) return;
  double m, M;
  magnitudeRange(source, width, height, threads, &m, &M);
  const double divisor = M > m ? (linear ? M - m : std::log10(M - m)) : 1.0;
  const double scale = 255.0 / divisor;
  grayPicture(source, destination, width, height, threads, [&](const Complex& c) {
    if (c.re == 0.0 && c.im == 0.0) return uint8_t(0);
    const double r = std::sqrt(power(c));
    const double v = linear ? (r - m) * scale : std::log10(r - m) * scale;
    // No clamping: the level is the low byte of the integer, so values just
    // below 0 come out white.
    return uint8_t(uint32_t(toInt32OrMin(v)));
  });
}

// The edges of the 256 levels of the log scale for x = |F| - m in [0, X],
// X = M - m > 0: level k (1..255) starts where log(1 + x) / log(1 + X) =
// k / 256, at t[k] = (1 + X)^(k/256) - 1; the level of x is the number of
// edges at or below it. With q_i = (1 + X)^(1/2^i) - 1 the square roots give
//   q_i = sqrt(1 + q_{i-1}) - 1 = q_{i-1} / (sqrt(1 + q_{i-1}) + 1),
// with no 1 + X rounded away however small X is, and each edge is the product
// of the q_i of its bits in the form (1 + a)(1 + b) - 1 = a + b + ab: for
// example t[3] = (1 + q_7)(1 + q_8) - 1. Only +, *, / and sqrt, all
// correctly rounded, so the edges have the same bits on every IEEE machine.
static void logLevelEdges(double X, double t[256]) {
  t[0] = 0.0;
  if (!(X <= DBL_MAX)) {  // an infinite magnitude: only it is white
    for (int k = 1; k < 256; ++k) t[k] = X;
    return;
  }
  double q[9];
  q[0] = X;
  for (int i = 1; i <= 8; ++i) q[i] = q[i - 1] / (std::sqrt(1.0 + q[i - 1]) + 1.0);
  for (int k = 1; k < 256; ++k) {
    double e = 0.0;
    for (int bit = 0; bit < 8; ++bit) {
      if (k & (1 << bit)) {
        const double d = q[8 - bit];  // (1 + X)^(2^bit / 256) - 1
        e = e + d + e * d;
      }
    }
    // Rounding could put an edge before the one below it, at 0 or past X:
    // kept in order inside (0, X], x = 0 stays black and x = X is white.
    t[k] = std::min(std::max(e, std::max(t[k - 1], DBL_TRUE_MIN)), X);
  }
}

// The number of edges t[1..255] at or below x, by halving (t is in order):
// the level of x. Not a number passes no comparison and gives 0.
static inline int levelBelow(const double t[256], double x) {
  int g = 0;
  for (int step = 128; step > 0; step >>= 1)
    if (x >= t[g + step]) g += step;
  return g;
}

void renderLogMagnitude(Plane source, Plane destination, int32_t width, int32_t height,
                        int threads) {
  if (source == nullptr || destination == nullptr || width < 1 || height < 1) return;
  double m, M;
  magnitudeRange(source, width, height, threads, &m, &M);
  const double X = M - m;
  double edges[256];
  logLevelEdges(X, edges);
  const bool flat = !(X > 0.0);  // all one magnitude (or none is a number): black
  grayPicture(source, destination, width, height, threads, [&](const Complex& c) {
    if (flat || (c.re == 0.0 && c.im == 0.0)) return uint8_t(0);
    return uint8_t(levelBelow(edges, std::sqrt(power(c)) - m));
  });
}

// tan(j pi / 128) for j = 0..32, each the double nearest to it: the edges of
// the phase levels in one eighth of the circle, every 1.40625 degrees.
static const double kTanEdges[33] = {
    0x0.0p+0,
    0x1.92346247a91f0p-6,
    0x1.927278a3b1162p-5,
    0x1.2e239ccff3831p-4,
    0x1.936bb8c5b2da2p-4,
    0x1.f93183a8db9e9p-4,
    0x1.2fcac73a60640p-3,
    0x1.635c990ce0d36p-3,
    0x1.975f5e0553158p-3,
    0x1.cbe4ceb4b4cf2p-3,
    0x1.007fa758626aep-2,
    0x1.1b6103d3597e9p-2,
    0x1.36a08355c63dcp-2,
    0x1.5248ae1701b17p-2,
    0x1.6e649f7d78649p-2,
    0x1.8b00196b3d022p-2,
    0x1.a827999fcef32p-2,
    0x1.c5e87185e67b6p-2,
    0x1.e450e0d273e7ap-2,
    0x1.01b819b5a7cf7p-1,
    0x1.11ab7190834ecp-1,
    0x1.220b5ef047825p-1,
    0x1.32e1889047ffdp-1,
    0x1.44386db9ce5dbp-1,
    0x1.561b82ab7f990p-1,
    0x1.6897514751db6p-1,
    0x1.7bb99ed2990cfp-1,
    0x1.8f9197bf85eebp-1,
    0x1.a43002ae42850p-1,
    0x1.b9a77c18c1af2p-1,
    0x1.d00cbc7384d2ep-1,
    0x1.e776eafc91706p-1,
    0x1.0000000000000p+0,
};

// For a, b >= 0, not both 0, and beta the angle of (a, b) in units of pi/128
// (0 on the a axis, 64 on the b axis): whether beta >= j, and whether beta >
// j. Below 45 degrees beta >= j when b / a >= tan(j pi / 128), above it when
// a / b <= tan((64 - j) pi / 128); multiplied out, so a = 0 needs no care.
// Each holds for every j up to beta's and for none past it, as rounding a
// product keeps the tangents' order.
static inline bool angleAtLeast(double a, double b, int j) {
  return j <= 32 ? b >= a * kTanEdges[j] : a <= b * kTanEdges[64 - j];
}
static inline bool angleAbove(double a, double b, int j) {
  return j < 32 ? b > a * kTanEdges[j] : a < b * kTanEdges[64 - j];
}

// floor(beta), the number of j in 1..64 with beta >= j, by halving.
static inline int angleFloor(double a, double b) {
  int n = 0;
  for (int step = 64; step > 0; step >>= 1)
    if (n + step <= 64 && angleAtLeast(a, b, n + step)) n += step;
  return n;
}

// ceil(beta), the number of j in 0..63 with beta > j, by halving.
static inline int angleCeil(double a, double b) {
  int n = 0;
  for (int step = 64; step > 0; step >>= 1)
    if (n + step <= 64 && angleAbove(a, b, n + step - 1)) n += step;
  return n;
}

// Level floor(128 + 128 theta / pi), 255 at most, of the angle theta of
// (re, im), -pi < theta <= pi, from beta, the angle of (|re|, |im|):
//   re >= 0, im >= 0: theta = beta             level 128 + floor(beta)
//   re <  0, im >= 0: theta = 128 - beta       level 256 - ceil(beta), 255 at most
//   re >= 0, im <  0: theta = -beta            level 128 - ceil(beta)
//   re <  0, im <  0: theta = beta - 128       level floor(beta)
// (angles in units of pi/128). -0 compares as 0, so a negative real sample
// has theta = pi.
static inline int phaseLevel(Complex c) {
  if (c.re != c.re || c.im != c.im) return 0;
  if (c.re == 0.0 && c.im == 0.0) return 128;
  double a = std::fabs(c.re), b = std::fabs(c.im);
  if (std::isinf(a) || std::isinf(b)) {  // the infinite parts decide the angle
    a = std::isinf(a) ? 1.0 : 0.0;
    b = std::isinf(b) ? 1.0 : 0.0;
  } else if (std::max(a, b) < 0x1p-900) {  // so no product with a tangent underflows
    a *= 0x1p1000;
    b *= 0x1p1000;
  }
  if (c.im >= 0.0)
    return c.re >= 0.0 ? 128 + angleFloor(a, b) : std::min(255, 256 - angleCeil(a, b));
  return c.re >= 0.0 ? 128 - angleCeil(a, b) : angleFloor(a, b);
}

void renderPhase(Plane source, Plane destination, int32_t width, int32_t height, int threads) {
  if (source == nullptr || destination == nullptr || width < 1 || height < 1) return;
  grayPicture(source, destination, width, height, threads,
              [](const Complex& c) { return uint8_t(phaseLevel(c)); });
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
