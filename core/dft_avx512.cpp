// The DFT tile kernels for 512-bit vectors; this file alone is compiled for
// AVX-512, and dft2d calls it only on CPUs that have it.
#include <immintrin.h>

#include "dftkernel.h"

namespace speccore {
namespace {

struct Avx512 {
  typedef __m512d Reg;
  enum { kLanes = 8 };
  static Reg zero() { return _mm512_setzero_pd(); }
  static Reg load(const double* p) { return _mm512_loadu_pd(p); }
  static Reg add(Reg a, Reg b) { return _mm512_add_pd(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm512_sub_pd(a, b); }
  // The multiply takes its second operand straight from memory, broadcast by
  // the load ({1to8}). Written with intrinsics, the compiler broadcasts x.re
  // once into a register for its two uses, and on some CPUs (measured on one
  // with 256-bit units running 512-bit vectors in halves) that register
  // broadcast occupies the same pipes as the arithmetic: 8 lines x 8 outputs
  // then ran at about 70 % of the rate this form reaches.
  static Reg mulBroadcast(Reg a, const double* p) {
    Reg product;
    asm("vmulpd %1%{1to8%}, %2, %0" : "=v"(product) : "m"(*p), "v"(a));
    return product;
  }
  static void store(double* p, Reg a) { _mm512_storeu_pd(p, a); }
};

}  // namespace

// Eight lines at once: 16 accumulators, two factor registers and the
// broadcast inputs fit the 32 vector registers, and each k issues as many
// multiplies as adds.
DftKernels dftKernelsAvx512() {
  return DftKernels{tileSums<Avx512, 8, false>, tileSums<Avx512, 8, true>};
}

}  // namespace speccore
