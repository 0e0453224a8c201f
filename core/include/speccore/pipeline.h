// speccore/pipeline.h: a picture file to its spectrum in one call, for
// callers who want what specfwd computes without its seven steps (load,
// check, decode, allocate, gray levels, transform, write).
#ifndef SPECCORE_PIPELINE_H
#define SPECCORE_PIPELINE_H

#include <cstdint>

#include "status.h"
#include "types.h"

namespace speccore {

// The spectrum of the BMP picture at `path`, in natural order: the file
// loaded, checked and decoded, its pixels reduced to gray levels
// (pixelToGray) and transformed forward on `threads` threads (see
// speccore/types.h), the samples specfwd writes to dft_complex.dat. Returns 0
// with *spectrum a new W x H plane of Complex (the caller frees it), *width
// and *height; or, with *spectrum null, the status of the step that stopped
// it: bmpLoad's (after its line; kStatusOpen for a null path), bmpCheck's
// (after its line, if it prints one), kStatusBitCount, kStatusMemory, or
// kStatusArgument for a null result pointer. statusText gives every code's
// words.
SPECCORE_API int bmpFileSpectrum(const char* path, Plane* spectrum, int32_t* width, int32_t* height,
                                 int threads);

// The same spectrum written as a spectrum file without a text at
// `spectrumPath`, replacing it whole (see speccore/output.h): dft_complex.dat
// as specfwd writes it. Returns 0, or the status of the step that stopped it:
// those of bmpFileSpectrum, kStatusTooSmall for a picture 1 pixel wide or high
// (whose spectrum no reader takes; nothing is written), kStatusOutput after
// the writer's line (also for a null or empty spectrum path). Sizes the file
// cannot describe, and such a path, are refused before the transform.
SPECCORE_API int bmpFileToSpectrumFile(const char* picturePath, const char* spectrumPath,
                                       int threads);

}  // namespace speccore

#endif
