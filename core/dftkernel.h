// The tile kernels of the 2-D DFT, private to the library (and visible to its
// tests and benchmarks, which force each kernel in turn, or the direct passes).
//
// A pass transforms lines of length n. Its outputs are cut into strips of 8
// and its lines into tiles of 8; a kernel computes one strip of one tile: 64
// running sums over k = 0 ... n-1. Each vector lane holds one output of one
// line and performs exactly the scalar sequence
//     re = re + (x.re * t.re - x.im * t.im)
//     im = im + (x.re * t.im + t.re * x.im)
// in ascending k from +0, so every vector width gives the same bits: IEEE
// multiply, add and subtract round lane by lane as their scalar forms do.
#ifndef SPECCORE_DFTKERNEL_H
#define SPECCORE_DFTKERNEL_H

#include <cstdint>
#include <cstring>

#include "speccore/dft.h"
#include "speccore/types.h"

namespace speccore {

enum {
  kStripOutputs = 8,  // outputs per strip, lanes per factor group
  kTileLines = 8,     // lines per tile
  kGroupDoubles = 16  // doubles per k in a strip (8 cos, 8 sin) and in a tile (8 re,im pairs)
};

// Computes the sums of one strip of one tile.
//   strip: n groups; group k holds t.re of the strip's 8 outputs, then their 8 t.im.
//   tile:  n groups; group k holds x.re, x.im of input k of lines 0 ... 7.
//   sums:  8 x 16 doubles; line l's 8 real sums, then its 8 imaginary sums.
// The real-input kernel may be used only when every x.im of the tile is zero
// (either sign): it leaves out the products with x.im, which then contribute
// exactly nothing, because a running sum that starts at +0 never becomes -0.
typedef void (*TileKernel)(const double* strip, const double* tile, int32_t n, double* sums);

struct DftKernels {
  TileKernel complexInput;
  TileKernel realInput;
};

// Each instruction set's kernels, compiled in their own files for that set.
DftKernels dftKernelsAvx2();
DftKernels dftKernelsAvx512();
DftKernels dftKernelsNeon();
DftKernels dftKernelsWasm();

// An instruction set the kernels are compiled for: one row of the table in
// dft.cpp, which is the one place that lists them.
struct DftIsa {
  const char* name;         // what reports call it: "scalar", "avx2", "avx512", "neon", "wasm"
  bool (*available)();      // whether this CPU runs it
  DftKernels (*kernels)();  // its kernels
};

// The rows of the table: begin() and end() for a range-for.
struct DftIsaList {
  const DftIsa* first;
  const DftIsa* last;
  const DftIsa* begin() const { return first; }
  const DftIsa* end() const { return last; }
};

// Every instruction set of this build, narrowest first: the plain one, which
// every CPU runs, then the vector ones of this processor family.
DftIsaList dftIsas();

// The widest instruction set this CPU runs: the one dft2d uses.
const DftIsa& dftBestIsa();

// How a pass keeps its factors: chosen by the sizes (kDftAuto), or forced.
// Every choice gives the same bits.
enum DftFactors {
  kDftAuto,
  kDftTable,   // all strips of a pass in one table, each factor evaluated once
  kDftStrips,  // the pass's lines copied, each strip evaluated when needed
  kDftDirect,  // each factor evaluated term by term: when no memory is left
};

struct DftOptions {
  const DftIsa* isa = nullptr;  // null: the plain kernels; else one whose available() holds
  int threads = 1;              // 0 or less: every processor this process may run on
  DftFactors factors = kDftAuto;
  DftProgress* progress = nullptr;
};

// dft2d with everything chosen by the caller. Returns as dft2d.
int dft2dWith(Plane plane, int32_t width, int32_t height, int direction, const DftOptions& options);

// The direct passes alone: what a transform falls back to when not even a
// strip can be had. Returns as dft2d.
int dft2dDirect(Plane plane, int32_t width, int32_t height, int direction);

// ---- One pass in runs of lines ----------------------------------------------
// A transform is a pass over its rows (lines of length W) and one over its
// columns (lines of length H). Every line of a pass gets the same bits
// whatever lines share a run with it, so the lines can be handed over in runs,
// and the columns copied into lines: processes that share no memory (the
// workers of a web page) can split a transform among them and give the bits
// of dft2d for any number of them. The factors stay from run to run.
struct DftLinePass;

// A pass over lines of n samples, forward or (kDftInverse) dividing by n;
// `lines` is the pass's count of lines in all, which chooses how the factors
// are kept as dft2d would for the same pass. Takes the kernels, factor choice
// and threads of `options` (not its progress). Null when n or lines is not
// positive, or not even a scratch line can be had. Free it with
// dftLinePassFree.
DftLinePass* dftLinePassNew(int32_t n, int32_t lines, int direction, const DftOptions& options);

// Transforms `count` lines of n samples that lie one after another from
// `lines`, in place; `progress` (may be null) counts their multiply-adds, its
// total left to the caller. Cannot fail: without memory for the factors the
// lines are summed term by term.
void dftLinePassRun(DftLinePass* pass, Complex* lines, int32_t count, DftProgress* progress);

void dftLinePassFree(DftLinePass* pass);

// ---- Lanes --------------------------------------------------------------------
// The operations the kernel needs on a register R of doubles whose arithmetic
// is the language's own: double itself for the plain kernel, a GCC vector of
// doubles for the vector kernels, each compiled in its own file for its
// instruction set. Vector arithmetic acts lane by lane, so every width rounds
// exactly as the scalar code does. (Internal linkage: each file's copy is
// compiled for that file's instruction set.)
namespace {
template <class R>
struct Lanes {
  typedef R Reg;
  enum { kLanes = sizeof(R) / sizeof(double) };
  static Reg zero() { return Reg{}; }
  static Reg load(const double* p) {
    Reg r;
    std::memcpy(&r, p, sizeof r);
    return r;
  }
  static Reg add(Reg a, Reg b) { return a + b; }
  static Reg sub(Reg a, Reg b) { return a - b; }
  static Reg mulBroadcast(Reg a, const double* p) { return a * *p; }
  static void store(double* p, Reg a) { std::memcpy(p, &a, sizeof a); }
};
}  // namespace

// ---- The kernel, once for every vector width --------------------------------
// V supplies a register type holding V::kLanes doubles and the operations on
// it; mulBroadcast(a, p) is a times *p in every lane (multiplication commutes
// bit for bit, so t.re * x.re equals x.re * t.re). A strip of 8 outputs is 8 / kLanes registers.
// kLines lines are summed at a time so that all accumulators stay in registers. Every loop over
// lines and registers is unrolled in full: left as loops, -O3 keeps the accumulators in a stack
// array and stores them on every k.
template <class V, int kLines, bool kRealInput>
static inline void tileLines(const double* strip, const double* tile, int32_t n, int line0,
                             double* sums) {
  typedef typename V::Reg Reg;
  enum { kRegs = kStripOutputs / V::kLanes };
  Reg re[kLines][kRegs], im[kLines][kRegs];
#pragma GCC unroll 8
  for (int l = 0; l < kLines; ++l)
#pragma GCC unroll 8
    for (int r = 0; r < kRegs; ++r) re[l][r] = im[l][r] = V::zero();
  for (int32_t k = 0; k < n; ++k) {
    const double* t = strip + size_t(k) * kGroupDoubles;
    const double* x = tile + size_t(k) * kGroupDoubles + 2 * line0;
    Reg c[kRegs], s[kRegs];
#pragma GCC unroll 8
    for (int r = 0; r < kRegs; ++r) {
      c[r] = V::load(t + r * V::kLanes);
      s[r] = V::load(t + kStripOutputs + r * V::kLanes);
    }
#pragma GCC unroll 8
    for (int l = 0; l < kLines; ++l) {
      const double* xr = x + 2 * l;  // x.re, broadcast to every lane
      const double* xi = xr + 1;     // x.im
#pragma GCC unroll 8
      for (int r = 0; r < kRegs; ++r) {
        if (kRealInput) {
          re[l][r] = V::add(re[l][r], V::mulBroadcast(c[r], xr));
          im[l][r] = V::add(im[l][r], V::mulBroadcast(s[r], xr));
        } else {
          re[l][r] = V::add(re[l][r], V::sub(V::mulBroadcast(c[r], xr), V::mulBroadcast(s[r], xi)));
          im[l][r] = V::add(im[l][r], V::add(V::mulBroadcast(s[r], xr), V::mulBroadcast(c[r], xi)));
        }
      }
    }
  }
#pragma GCC unroll 8
  for (int l = 0; l < kLines; ++l) {
    double* out = sums + (line0 + l) * kGroupDoubles;
#pragma GCC unroll 8
    for (int r = 0; r < kRegs; ++r) {
      V::store(out + r * V::kLanes, re[l][r]);
      V::store(out + kStripOutputs + r * V::kLanes, im[l][r]);
    }
  }
}

template <class V, int kLines, bool kRealInput>
static void tileSums(const double* strip, const double* tile, int32_t n, double* sums) {
  for (int line0 = 0; line0 < kTileLines; line0 += kLines)
    tileLines<V, kLines, kRealInput>(strip, tile, n, line0, sums);
}

}  // namespace speccore

#endif
