// The DFT tile kernels for 128-bit WebAssembly SIMD vectors (f64x2): compiled
// only for WebAssembly with SIMD, and always chosen there.
#include "dftkernel.h"

namespace speccore {

typedef double Vector2 __attribute__((vector_size(2 * sizeof(double))));

// One line at a time. The engines that run WebAssembly map f64x2 onto the
// host's vector registers, 16 of them on x86-64 (one kept as a scratch
// register): the 8 accumulators of one line and the strip's 8 factor
// registers nearly fill them. Two lines need 16 accumulators alone, and the
// engine then keeps some on the stack, storing and reloading them on every
// input (a 512 x 512 transform took 1.6 times as long).
DftKernels dftKernelsWasm() {
  return DftKernels{tileSums<Lanes<Vector2>, 1, false>, tileSums<Lanes<Vector2>, 1, true>};
}

}  // namespace speccore
