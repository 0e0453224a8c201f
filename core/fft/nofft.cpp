// A build without FFTW: the FFT is refused, and nothing is linked that would
// put the programs under the GPL.
#include "speccore_fft.h"

namespace speccore {

bool fftAvailable() { return false; }

int fft2dThreads(Plane, int32_t, int32_t, int, int, DftProgress*) { return kStatusNoFft; }

}  // namespace speccore
