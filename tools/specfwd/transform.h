// The forward pipeline of specfwd.
#ifndef TRANSFORM_H
#define TRANSFORM_H

#include "speccore.h"

// Turns the decoded picture into gray samples and writes "SourceToGray.bmp",
// the spectrum "dft_complex.dat" and the centred log power spectrum
// "PowerSpectrum.bmp" in the working directory, and the power spectrum again
// at outputPath; with `fast` the transform is the FFT and the spectrum's
// text records it ("specfwd -f"). The picture's plane is used for the pictures written, so its
// pixels are gone afterwards. Every output is created before the transform
// and replaces its final name only when all were written. Returns the exit
// status after any message: kStatusTooSmall for a picture 1 pixel wide or
// high, kStatusMemory, kStatusOutput.
int transformPicture(const char* inputPath, const BmpPicture& picture, const char* outputPath,
                     bool fast);

#endif
