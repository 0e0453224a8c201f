// The DFT tile kernels for 256-bit vectors; this file alone is compiled for
// AVX2, and dft2d calls it only on CPUs that have it.
#include "dftkernel.h"

namespace speccore {

typedef double Vector4 __attribute__((vector_size(4 * sizeof(double))));

// Two lines at once: 8 accumulators, four factor registers and two
// broadcasts stay within the 16 vector registers.
DftKernels dftKernelsAvx2() {
  return DftKernels{tileSums<Lanes<Vector4>, 2, false>, tileSums<Lanes<Vector4>, 2, true>};
}

}  // namespace speccore
