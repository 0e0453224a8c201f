// The DFT tile kernels for 512-bit vectors; this file alone is compiled for
// AVX-512, and dft2d calls it only on CPUs that have it.
#include "dftkernel.h"

namespace speccore {
namespace {

typedef double Vector8 __attribute__((vector_size(8 * sizeof(double))));

struct Avx512 : Lanes<Vector8> {
  // The multiply takes its second operand straight from memory, broadcast by
  // the load ({1to8}). Written plainly, the compiler broadcasts x.re once
  // into a register for its two uses, and on some CPUs (measured on one with
  // 256-bit units running 512-bit vectors in halves) that register broadcast
  // occupies the same pipes as the arithmetic: 8 lines x 8 outputs then ran
  // at about 70 % of the rate this form reaches.
  static Reg mulBroadcast(Reg a, const double* p) {
    Reg product;
    asm("vmulpd %1%{1to8%}, %2, %0" : "=v"(product) : "m"(*p), "v"(a));
    return product;
  }
};

}  // namespace

// Eight lines at once: 16 accumulators, two factor registers and the
// broadcast inputs fit the 32 vector registers, and each k issues as many
// multiplies as adds.
DftKernels dftKernelsAvx512() {
  return DftKernels{tileSums<Avx512, 8, false>, tileSums<Avx512, 8, true>};
}

}  // namespace speccore
