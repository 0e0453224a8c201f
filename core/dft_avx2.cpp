// The DFT tile kernels for 256-bit vectors; this file alone is compiled for
// AVX2, and dft2d calls it only on CPUs that have it.
#include <immintrin.h>

#include "dftkernel.h"

namespace speccore {
namespace {

struct Avx2 {
  typedef __m256d Reg;
  enum { kLanes = 4 };
  static Reg zero() { return _mm256_setzero_pd(); }
  static Reg load(const double* p) { return _mm256_loadu_pd(p); }
  static Reg add(Reg a, Reg b) { return _mm256_add_pd(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm256_sub_pd(a, b); }
  static Reg mulBroadcast(Reg a, const double* p) {
    return _mm256_mul_pd(a, _mm256_broadcast_sd(p));
  }
  static void store(double* p, Reg a) { _mm256_storeu_pd(p, a); }
};

}  // namespace

// Two lines at once: 8 accumulators, four factor registers and two
// broadcasts stay within the 16 vector registers.
DftKernels dftKernelsAvx2() {
  return DftKernels{tileSums<Avx2, 2, false>, tileSums<Avx2, 2, true>};
}

}  // namespace speccore
