#include <cmath>
#include <cstdlib>

#include "speccore.h"

// 2*pi as the double every angle is formed from.
static const double kTwoPi = 6.283185307179586;

// sum + x*t with the two products of each part rounded separately: the
// compiler may not fuse them (the project builds with -ffp-contract=off).
static inline Complex cpxMulAdd(Complex sum, Complex x, Complex t) {
  sum.re = sum.re + (x.re * t.re - x.im * t.im);
  sum.im = sum.im + (x.re * t.im + t.re * x.im);
  return sum;
}

// The factor for output j and input k of a pass with angle step s. The angle
// is always formed as k*(j*s): first j*s, then that times k.
static inline Complex twiddle(int32_t j, int32_t k, double s) {
  const double theta = double(k) * (double(j) * s);
  return Complex{std::cos(theta), std::sin(theta)};
}

static double angleStep(int32_t n, int direction) {
  return (direction == kDftInverse ? kTwoPi : -kTwoPi) / double(n);
}

// Fills the n x n corner of the table. theta depends on (j, k) only through
// k*(j*s) with k >= j, so each unordered pair is evaluated once and mirrored.
static void fillTable(Plane table, int32_t n, double s) {
  for (int32_t j = 0; j < n; ++j)
    for (int32_t k = j; k < n; ++k)
      complexRow(table, j)[k] = complexRow(table, k)[j] = twiddle(j, k, s);
}

// One line of length n, read through `at(k)` and written back the same way.
// Every output is a running sum from +0 over ascending k; the whole line is
// accumulated in `scratch` first so no input is overwritten while still
// needed. The inverse divides by n (a true division, not a reciprocal).
template <typename At>
static void transformLine(At at, int32_t n, double s, Plane table, Complex* scratch,
                          int direction) {
  for (int32_t j = 0; j < n; ++j) {
    Complex sum = {0.0, 0.0};
    if (table != nullptr) {
      const Complex* factors = complexRow(table, j);
      for (int32_t k = 0; k < n; ++k) sum = cpxMulAdd(sum, at(k), factors[k]);
    } else {
      for (int32_t k = 0; k < n; ++k) sum = cpxMulAdd(sum, at(k), twiddle(j, k, s));
    }
    scratch[j] = sum;
  }
  const double divisor = double(n);
  for (int32_t j = 0; j < n; ++j) {
    if (direction == kDftInverse) {
      at(j).re = scratch[j].re / divisor;
      at(j).im = scratch[j].im / divisor;
    } else {
      at(j) = scratch[j];
    }
  }
}

// Row pass, then column pass; `table` is null for the direct passes.
static void transformPlane(Plane plane, int32_t width, int32_t height, int direction,
                           Plane table, Complex* scratch) {
  double s = angleStep(width, direction);
  if (table != nullptr) fillTable(table, width, s);
  for (int32_t y = 0; y < height; ++y) {
    Complex* row = complexRow(plane, y);
    transformLine([row](int32_t k) -> Complex& { return row[k]; }, width, s, table, scratch,
                  direction);
  }
  s = angleStep(height, direction);
  if (table != nullptr) fillTable(table, height, s);
  for (int32_t x = 0; x < width; ++x)
    transformLine([plane, x](int32_t k) -> Complex& { return complexRow(plane, k)[x]; }, height,
                  s, table, scratch, direction);
}

// Lines of up to this many samples accumulate on the stack; longer ones take
// their scratch line from the heap, which a large stack array could overflow.
enum { kStackLine = 1024 };

static int dftRun(Plane plane, int32_t width, int32_t height, int direction, bool useTable) {
  if (width <= 0 || height <= 0) return 0;  // nothing to transform
  const int32_t m = width > height ? width : height;
  Complex stackLine[kStackLine];
  Complex* scratch = stackLine;
  if (m > kStackLine) {
    scratch = static_cast<Complex*>(std::malloc(size_t(m) * sizeof(Complex)));
    if (scratch == nullptr) return -1;
  }
  Plane table = useTable ? planeAlloc(sizeof(Complex), m, m) : nullptr;
  transformPlane(plane, width, height, direction, table, scratch);
  std::free(table);
  if (scratch != stackLine) std::free(scratch);
  return 0;
}

int dft2d(Plane plane, int32_t width, int32_t height, int direction) {
  return dftRun(plane, width, height, direction, true);
}

int dft2dDirect(Plane plane, int32_t width, int32_t height, int direction) {
  return dftRun(plane, width, height, direction, false);
}
