#include "transform.h"

#include <cstdio>
#include <cstdlib>

int transformImage(Plane source, Plane destination, int32_t width, int32_t height) {
  Plane samples = planeAlloc(sizeof(Complex), width, height);
  if (samples == nullptr) return -1;
  if (width <= 1 || height <= 1) {
    std::free(samples);
    return -1;
  }
  for (int32_t y = 0; y < height; ++y) {
    const Pixel32* in = pixelRow(source, y);
    Complex* out = complexRow(samples, y);
    for (int32_t x = 0; x < width; ++x) out[x] = Complex{double(pixelToGray(in[x])), 0.0};
  }
  // The order fixes the outputs: the gray picture is rendered before the
  // transform overwrites the samples, and the spectrum is written in its
  // natural order before the swap centres it for the power-spectrum picture.
  // A file that cannot be written has printed its line; the others still go.
  complexToImage(samples, destination, width, height);
  bmpWrite32("SourceToGray.bmp", destination[0], width, height);
  // dft2d fails only when it cannot get even one line of scratch memory; the
  // gray samples must then not be written as if they were the spectrum.
  if (dft2d(samples, width, height, kDftForward) != 0) {
    std::fprintf(stderr, "Couldn't allocate memory.\n");
    std::free(samples);
    return -1;
  }
  writeSpectrumFile("dft_complex.dat", nullptr, complexRow(samples, 0), width, height);
  swapQuadrants(samples, width, height);
  writePowerSpectrum("PowerSpectrum.bmp", samples, destination, width, height);
  std::free(samples);
  return 0;
}
