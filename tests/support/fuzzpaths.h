// The two ways hostile bytes enter the suite, through the library operations
// the programs call: a BMP through the header check into its decoded plane
// (specfwd), and a spectrum file through its checked view into every consumer
// of the samples (specinv, specshow). Shared by the fuzz targets and by the
// test that replays the inputs they once failed on.
#ifndef FUZZPATHS_H
#define FUZZPATHS_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "speccore.h"

// bmpCheck, then on 0 bmpDecodePicture, as specfwd takes a loaded file.
inline void fuzzBmpPath(const uint8_t* data, size_t size) {
  if (size >= size_t(INT32_MAX)) return;  // bmpLoad refuses files of 2 GiB or more
  if (bmpCheck(data, uint32_t(size)) != 0) return;
  BmpPicture picture;
  if (bmpDecodePicture(data, &picture) == kStatusOk) std::free(picture.pixels);
}

// spectrumViewOpen over an exact copy of the bytes, then what specinv and
// specshow do with the view: the quadrant swap, every rendering, specinfo's
// strongest peaks and, on small sizes, the inverse transform to a picture,
// plain and rounded.
inline void fuzzSpectrumPath(const uint8_t* data, size_t size) {
  if (size >= size_t(INT32_MAX)) return;  // the loader refuses files of 2 GiB or more
  // A block of exactly the file's bytes, so a read past them is caught (the
  // loader's 32 spare bytes would hide one).
  uint8_t* file = static_cast<uint8_t*>(std::malloc(size + 1));
  if (file == nullptr) return;
  if (size > 0) std::memcpy(file, data, size);
  SpectrumView view;
  if (spectrumViewOpen(file, uint32_t(size), &view) == kStatusOk) {
    const int32_t width = view.width, height = view.height;
    Plane pixels = planeAlloc(sizeof(Pixel32), width, height);
    if (pixels != nullptr) {
      swapQuadrants(view.samples, width, height);
      renderPowerSpectrum(view.samples, pixels, width, height, false);
      renderPowerSpectrum(view.samples, pixels, width, height, true);
      renderLogMagnitude(view.samples, pixels, width, height);
      renderPhase(view.samples, pixels, width, height);
      SpectrumPeak peaks[4];
      spectrumPeaks(view.samples, width, height, peaks, 4);
      if (width <= 64 && height <= 64) {
        complexToImageRounded(view.samples, pixels, width, height);
        idft2dToImage(view.samples, pixels, width, height);
      }
    }
    std::free(pixels);
    std::free(view.samples);
  }
  std::free(file);
}

#endif
