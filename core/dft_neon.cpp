// The DFT tile kernels for 128-bit AdvSIMD (NEON) vectors, which every
// aarch64 processor has: compiled only for aarch64, and always chosen there.
#include "dftkernel.h"

namespace speccore {

typedef double Vector2 __attribute__((vector_size(2 * sizeof(double))));

// Two lines at once: 16 accumulators and 8 factor registers leave 8 of the
// 32 vector registers for the inputs and the products; four lines would need
// all 32 for the accumulators alone.
DftKernels dftKernelsNeon() {
  return DftKernels{tileSums<Lanes<Vector2>, 2, false>, tileSums<Lanes<Vector2>, 2, true>};
}

}  // namespace speccore
