// The transform a program runs: the exact direct DFT by default, the FFT
// with -f (specfwd and specinv).
#ifndef FASTTRANSFORM_H
#define FASTTRANSFORM_H

#include <cstdint>

#include "commandline.h"
#include "speccore/types.h"

// The -f row of a program's table of options.
inline constexpr ToolOption kFastOption = {
    'f', "", "fast: transform by FFT (FFTW), not by the exact direct DFT."};

// 0 when the program may run as asked; with `fast` in a build without FFTW,
// kExitNoFft after one line saying so. Called before any work, so a refused
// run reads and writes nothing.
int fastTransformCheck(bool fast);

// The forward or inverse transform of a W x H plane in place on every
// processor, the direct DFT or with `fast` the FFT, with the progress line
// on a terminal. Returns 0, or kStatusMemory after "Couldn't allocate
// memory.\n" (the plane untouched).
int runTransform(bool fast, speccore::Plane samples, int32_t width, int32_t height, int direction);

#endif
