// The transform a program runs: the exact direct DFT by default, the FFT
// with -f (specfwd and specinv).
#ifndef FASTTRANSFORM_H
#define FASTTRANSFORM_H

#include <cstdint>

#include "speccore.h"

// The -f line of a program's usage.
#define FAST_OPTION_LINE "\t-f: fast: transform by FFT (FFTW), not by the exact direct DFT.\n"

// 0 when the program may run as asked; with `fast` in a build without FFTW,
// kStatusNoFft after one line saying so. Called before any work, so a
// refused run reads and writes nothing.
int fastTransformCheck(bool fast);

// The forward or inverse transform of a W x H plane in place on every
// processor, the direct DFT or with `fast` the FFT, with the progress line
// on a terminal. Returns 0, or kStatusMemory after "Couldn't allocate
// memory.\n" (the plane untouched).
int runTransform(bool fast, Plane samples, int32_t width, int32_t height, int direction);

#endif
