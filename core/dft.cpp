#include <cmath>
#include <cstdint>
#include <cstdlib>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "dftkernel.h"
#include "speccore.h"

namespace speccore {

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
// is always formed as k*(j*s): first j*s, then that times k. (The compiler
// turns the adjacent cos and sin into one sincos call where the C library has
// it; the values are the same.)
static inline Complex twiddle(int32_t j, int32_t k, double s) {
  const double theta = double(k) * (double(j) * s);
  return Complex{std::cos(theta), std::sin(theta)};
}

static double angleStep(int32_t n, int direction) {
  return (direction == kDftInverse ? kTwoPi : -kTwoPi) / double(n);
}

static inline Complex finishSum(Complex sum, int32_t n, int direction) {
  if (direction != kDftInverse) return sum;
  const double divisor = double(n);
  return Complex{sum.re / divisor, sum.im / divisor};
}

// ---- Tabled passes ----------------------------------------------------------
// The factor table of a pass of length n is stored as strips of 8 outputs
// (the last strip padded with zero factors): strip p, group k holds the
// cosines and then the sines of outputs 8p ... 8p+7 for input k. The square
// table is symmetric, so each factor is evaluated once per unordered pair
// {j, k} as k*(j*s) with j <= k and written to both places.

static size_t stripCount(int32_t n) { return (size_t(n) + kStripOutputs - 1) / kStripOutputs; }

static double* factorAt(double* strips, int32_t n, int32_t j, int32_t k) {
  return strips + size_t(j / kStripOutputs) * size_t(n) * kGroupDoubles +
         size_t(k) * kGroupDoubles + size_t(j % kStripOutputs);
}

static void fillStrips(double* strips, int32_t n, double s) {
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t k = j; k < n; ++k) {
      const Complex t = twiddle(j, k, s);
      double* a = factorAt(strips, n, j, k);
      double* b = factorAt(strips, n, k, j);
      a[0] = b[0] = t.re;
      a[kStripOutputs] = b[kStripOutputs] = t.im;
    }
  }
  const int32_t padded = int32_t(stripCount(n) * kStripOutputs);
  for (int32_t j = n; j < padded; ++j) {
    for (int32_t k = 0; k < n; ++k) {
      double* a = factorAt(strips, n, j, k);
      a[0] = a[kStripOutputs] = 0.0;
    }
  }
}

// Lines are copied a block at a time into tiles (group k = input k of 8
// lines), so every pass reads its inputs contiguously, and the results can go
// straight back in place: the block's inputs are no longer read from the
// plane. Four tiles share each strip while it is in cache.
enum { kBlockTiles = 4, kBlockLines = kBlockTiles * kTileLines };

// Copies lines first ... first + lines - 1 into the tiles of `block`, zeros
// after the last line, and returns the number of tiles. realInput[t] tells
// whether every x.im of tile t is zero.
template <typename At>
static int gatherTiles(At at, int32_t first, int32_t lines, int32_t n, double* block,
                       bool* realInput) {
  const int tiles = (lines + kTileLines - 1) / kTileLines;
  // For each input k the tile's lines are read side by side: in the column
  // pass they are neighbours in one row.
  for (int t = 0; t < tiles; ++t) {
    double* tile = block + size_t(t) * size_t(n) * kGroupDoubles;
    realInput[t] = true;
    for (int32_t k = 0; k < n; ++k) {
      for (int l = 0; l < kTileLines; ++l) {
        const int32_t line = t * kTileLines + l;
        const Complex x = line < lines ? at(first + line, k) : Complex{0.0, 0.0};
        tile[size_t(k) * kGroupDoubles + 2 * l] = x.re;
        tile[size_t(k) * kGroupDoubles + 2 * l + 1] = x.im;
        if (x.im != 0.0) realInput[t] = false;  // also false for a NaN
      }
    }
  }
  return tiles;
}

// Writes one strip of one tile's sums back: output o of the tile's line l
// becomes element output0 + o of line line0 + l.
template <typename At>
static void scatterSums(At at, const double* sums, int32_t line0, int lines, int32_t output0,
                        int32_t outputs, int32_t n, int direction) {
  for (int32_t o = 0; o < outputs; ++o) {
    for (int l = 0; l < lines; ++l) {
      const Complex sum{sums[l * kGroupDoubles + o], sums[l * kGroupDoubles + kStripOutputs + o]};
      at(line0 + l, output0 + o) = finishSum(sum, n, direction);
    }
  }
}

// One pass over `count` lines of length n, line l element k being at(l, k).
template <typename At>
static void tabledPass(At at, int32_t count, int32_t n, int direction, const double* strips,
                       double* block, const DftKernels& kernels) {
  const size_t groupsDoubles = size_t(n) * kGroupDoubles;
  double sums[kTileLines * kGroupDoubles];
  for (int32_t first = 0; first < count; first += kBlockLines) {
    const int32_t lines = count - first < kBlockLines ? count - first : int32_t(kBlockLines);
    bool realInput[kBlockTiles];
    const int tiles = gatherTiles(at, first, lines, n, block, realInput);
    for (size_t p = 0; p < stripCount(n); ++p) {
      const double* strip = strips + p * groupsDoubles;
      const int32_t outputs = n - int32_t(p) * kStripOutputs < kStripOutputs
                                  ? n - int32_t(p) * kStripOutputs
                                  : int32_t(kStripOutputs);
      for (int t = 0; t < tiles; ++t) {
        const TileKernel kernel = realInput[t] ? kernels.realInput : kernels.complexInput;
        kernel(strip, block + size_t(t) * groupsDoubles, n, sums);
        const int filled =
            lines - t * kTileLines < kTileLines ? lines - t * kTileLines : int(kTileLines);
        scatterSums(at, sums, first + t * kTileLines, filled, int32_t(p) * kStripOutputs, outputs,
                    n, direction);
      }
    }
  }
}

// ---- Direct passes ----------------------------------------------------------
// Without a table each factor is evaluated term by term. The whole line is
// accumulated in `scratch` first so no input is overwritten while still
// needed.
template <typename At>
static void directLine(At at, int32_t n, double s, Complex* scratch, int direction) {
  for (int32_t j = 0; j < n; ++j) {
    Complex sum = {0.0, 0.0};
    for (int32_t k = 0; k < n; ++k) sum = cpxMulAdd(sum, at(k), twiddle(j, k, s));
    scratch[j] = sum;
  }
  for (int32_t j = 0; j < n; ++j) at(j) = finishSum(scratch[j], n, direction);
}

// Lines of up to this many samples accumulate on the stack; longer ones take
// their scratch line from the heap, which a large stack array could overflow.
enum { kStackLine = 1024 };

static int directPasses(Plane plane, int32_t width, int32_t height, int direction) {
  const int32_t m = width > height ? width : height;
  Complex stackLine[kStackLine];
  Complex* scratch = stackLine;
  if (m > kStackLine) {
    scratch = static_cast<Complex*>(std::malloc(size_t(m) * sizeof(Complex)));
    if (scratch == nullptr) return -1;
  }
  double s = angleStep(width, direction);
  for (int32_t y = 0; y < height; ++y) {
    Complex* row = complexRow(plane, y);
    directLine([row](int32_t k) -> Complex& { return row[k]; }, width, s, scratch, direction);
  }
  s = angleStep(height, direction);
  for (int32_t x = 0; x < width; ++x)
    directLine([plane, x](int32_t k) -> Complex& { return complexRow(plane, k)[x]; }, height, s,
               scratch, direction);
  if (scratch != stackLine) std::free(scratch);
  return 0;
}

// ---- Working memory ---------------------------------------------------------
// One block holds the strips for the longer side and the tiles of one block of
// lines. It is aligned to 2 MiB and, on Linux, asks for transparent huge
// pages: the table is written once and read many times, and at 4 KiB a page
// the first touch of each page costs more than the fill itself.
static const size_t kHugePage = size_t(2) << 20;

struct WorkMemory {
  void* raw;  // what malloc returned; the one pointer to free
  double* strips;
  double* block;
};

static bool workAlloc(int32_t m, WorkMemory* work) {
  // A side past 2^28 would need a table of more than 2^60 bytes, which no
  // machine has: refusing it here keeps every product below under 2^63.
  // On 32-bit systems the total must also fit in size_t, which the last check
  // ensures.
  if (m > (int32_t(1) << 28)) return false;
  const uint64_t stripBytes = uint64_t(stripCount(m)) * kStripOutputs * uint64_t(m) * 16;
  const uint64_t blockBytes = uint64_t(kBlockLines) * uint64_t(m) * 16;
  const uint64_t total = stripBytes + blockBytes + kHugePage;
  if (total > uint64_t(PTRDIFF_MAX)) return false;
  work->raw = std::malloc(size_t(total));
  if (work->raw == nullptr) return false;
  const uintptr_t start = (uintptr_t(work->raw) + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
  work->strips = reinterpret_cast<double*>(start);
  work->block = work->strips + stripBytes / sizeof(double);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only whole huge pages inside the strips, so no page is made resident
  // that the table does not fill anyway. A refusal just keeps small pages.
  const size_t advised = size_t(stripBytes) & ~(kHugePage - 1);
  if (advised > 0) madvise(work->strips, advised, MADV_HUGEPAGE);
#endif
  return true;
}

// ---- Kernel choice ----------------------------------------------------------

int dftIsaAvailable(DftIsa isa) {
  switch (isa) {
    case kDftScalar:
      return 1;
#if defined(SPECCORE_X86_KERNELS)
    case kDftAvx2:
      return __builtin_cpu_supports("avx2") ? 1 : 0;
    case kDftAvx512:
      return __builtin_cpu_supports("avx512f") ? 1 : 0;
#endif
#if defined(SPECCORE_NEON_KERNELS)
    case kDftNeon:
      return 1;
#endif
    default:
      return 0;
  }
}

DftIsa dftBestIsa() {
  if (dftIsaAvailable(kDftAvx512)) return kDftAvx512;
  if (dftIsaAvailable(kDftAvx2)) return kDftAvx2;
  if (dftIsaAvailable(kDftNeon)) return kDftNeon;
  return kDftScalar;
}

const char* dftIsaName(DftIsa isa) {
  static const char* const kNames[] = {"scalar", "avx2", "avx512", "neon"};
  return kNames[isa];
}

DftKernels dftKernels(DftIsa isa) {
#if defined(SPECCORE_X86_KERNELS)
  if (isa == kDftAvx512) return dftKernelsAvx512();
  if (isa == kDftAvx2) return dftKernelsAvx2();
#endif
#if defined(SPECCORE_NEON_KERNELS)
  if (isa == kDftNeon) return dftKernelsNeon();
#endif
  (void)isa;
  return DftKernels{tileSums<Lanes<double>, 1, false>, tileSums<Lanes<double>, 1, true>};
}

// ---- Entry points -----------------------------------------------------------

int dft2dWithIsa(Plane plane, int32_t width, int32_t height, int direction, DftIsa isa) {
  if (width <= 0 || height <= 0) return 0;  // nothing to transform
  const int32_t m = width > height ? width : height;
  WorkMemory work;
  if (!workAlloc(m, &work)) return directPasses(plane, width, height, direction);
  const DftKernels kernels = dftKernels(isa);
  fillStrips(work.strips, width, angleStep(width, direction));
  tabledPass([plane](int32_t y, int32_t k) -> Complex& { return complexRow(plane, y)[k]; }, height,
             width, direction, work.strips, work.block, kernels);
  // A square plane's column pass needs exactly the factors of its row pass.
  if (height != width) fillStrips(work.strips, height, angleStep(height, direction));
  tabledPass([plane](int32_t x, int32_t k) -> Complex& { return complexRow(plane, k)[x]; }, width,
             height, direction, work.strips, work.block, kernels);
  std::free(work.raw);
  return 0;
}

int dft2dDirect(Plane plane, int32_t width, int32_t height, int direction) {
  if (width <= 0 || height <= 0) return 0;
  return directPasses(plane, width, height, direction);
}

}  // namespace speccore

using namespace speccore;

int dft2d(Plane plane, int32_t width, int32_t height, int direction) {
  return dft2dWithIsa(plane, width, height, direction, dftBestIsa());
}
