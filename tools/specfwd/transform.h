// The forward pipeline of specfwd.
#ifndef TRANSFORM_H
#define TRANSFORM_H

#include "speccore.h"

// Turns the W x H source picture into gray samples and writes, in this order,
// "SourceToGray.bmp", the spectrum "dft_complex.dat" and the centred log power
// spectrum "PowerSpectrum.bmp", all in the working directory; the destination
// then holds the power-spectrum picture. Returns 0, or -1 with nothing written
// and the destination untouched when W or H is below 2 or there is no memory.
int transformImage(Plane source, Plane destination, int32_t width, int32_t height);

#endif
