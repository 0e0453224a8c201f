// speccore_fft: the 2-D DFT by FFT, for photographs, beside the exact direct
// transform of speccore/dft.h.
//
// It is a library of its own because it links FFTW 3, which is under the GNU
// GPL, version 2 or later: a program that links it with FFTW may be
// distributed only under the GPL's terms, while speccore stays under the MIT
// licence. A build configured without FFTW (the default; -DSPEC_FFTW=ON links
// it) has the same functions, and they refuse.
#ifndef SPECCORE_FFT_H
#define SPECCORE_FFT_H

#include <cstdint>

#include "speccore/dft.h"
#include "speccore/status.h"
#include "speccore/types.h"

namespace speccore {

// True when this build transforms with FFTW; false when fft2dThreads refuses.
bool fftAvailable();

// The transform of dft2dThreads by FFT: the same sign, the same scaling
// (forward unnormalised; inverse divided by W after the row pass and by H
// after the column pass), the same layout, in place on H rows of W samples,
// for any size, primes included, in O(W H log(W H)) instead of W H (W + H).
// Its bits are not the direct method's: each result lies within a few units
// in the last place of the largest magnitude of the exact transform, closer
// than the direct method's. They are the same for every thread count: every
// line goes through one plan of its length, in a buffer of the same
// alignment, whichever thread takes it; they may change with FFTW's version
// and the processor's vector instructions. Plans are made without measuring,
// so a call spends no time planning. FFTW's planner is not thread-safe: one
// call at a time per process. `threads` as dft2dThreads; `progress` (may be
// null) counts samples, W x H in each pass.
// Returns 0 (nothing done for a size below 1); kStatusMemory (plane
// untouched) when its buffers cannot be had; kStatusArgument for a null
// plane; kStatusNoFft (plane untouched) in a build without FFTW.
int fft2dThreads(Plane plane, int32_t width, int32_t height, int direction, int threads,
                 DftProgress* progress);

}  // namespace speccore

#endif
