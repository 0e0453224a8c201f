// The forward pipeline of specfwd.
#ifndef TRANSFORM_H
#define TRANSFORM_H

#include "speccore/bmp.h"

enum { kForwardOutputs = 4 };

// The outputs of a run: "SourceToGray.bmp", "dft_complex.dat" and
// "PowerSpectrum.bmp" in the working directory, then `outputPath`.
void forwardOutputPaths(const char* outputPath, const char* paths[kForwardOutputs]);

// Refuses a checked BMP whose spectrum file could not describe its size (with
// the text that `fast` records), before the picture is decoded: kStatusOutput after "File
// 'dft_complex.dat' cannot create. unsupported size(%d x %d)". 0 otherwise, also for the pictures
// that decoding refuses (a bit count it does not expand, no pixels).
int forwardSizeCheck(const uint8_t* image, bool fast);

// Turns the decoded picture into gray samples and writes the gray picture,
// the spectrum and the centred log power spectrum (twice) to the paths of
// forwardOutputPaths; with `fast` the transform is the FFT and the
// spectrum's text records it ("specfwd -f"). The picture's plane is used for the pictures written,
// so its pixels are gone afterwards. Every output is created before the
// transform and replaces its final name only when all were written. Returns
// the exit status after any message: kExitTooSmall for a picture 1 pixel
// wide or high, kStatusMemory, kStatusOutput.
int transformPicture(const char* inputPath, const speccore::BmpPicture& picture,
                     const char* const outputPaths[kForwardOutputs], bool fast);

#endif
