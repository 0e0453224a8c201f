// The DFT tile kernels for 512-bit vectors; this file alone is compiled for
// AVX-512, and dft2d calls it only on CPUs that have it.
#include <immintrin.h>

#include "dftkernel.h"

namespace {

struct Avx512 {
  typedef __m512d Reg;
  enum { kLanes = 8 };
  static Reg zero() { return _mm512_setzero_pd(); }
  static Reg load(const double* p) { return _mm512_loadu_pd(p); }
  static Reg broadcast(const double* p) { return _mm512_set1_pd(*p); }
  static Reg mul(Reg a, Reg b) { return _mm512_mul_pd(a, b); }
  static Reg add(Reg a, Reg b) { return _mm512_add_pd(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm512_sub_pd(a, b); }
  static void store(double* p, Reg a) { _mm512_storeu_pd(p, a); }
};

}  // namespace

// Eight lines at once: 16 accumulators, two factor registers and the
// broadcast inputs fit the 32 vector registers, and each k issues as many
// multiplies as adds.
DftKernels dftKernelsAvx512() {
  return DftKernels{tileSums<Avx512, 8, false>, tileSums<Avx512, 8, true>};
}
