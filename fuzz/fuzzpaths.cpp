#include "fuzzpaths.h"

#include <cstdlib>
#include <cstring>

#include "speccore.h"

void fuzzBmpPath(const uint8_t* data, size_t size) {
  if (size >= size_t(INT32_MAX)) return;  // bmpLoad refuses files of 2 GiB or more
  if (bmpCheck(data, uint32_t(size)) != 0) return;
  BmpHeader h;
  bmpHeaderRead(data, &h);
  if (!bmpBitCountSupported(h.biBitCount)) return;
  const int32_t width = h.biWidth;
  const int32_t height = int32_t(h.biHeight < 0 ? 0u - uint32_t(h.biHeight) : uint32_t(h.biHeight));
  Plane pixels = planeAlloc(sizeof(Pixel32), width, height);
  if (pixels == nullptr) return;
  bmpDecode(data, pixelRow(pixels, 0));
  std::free(pixels);
}

void fuzzSpectrumPath(const uint8_t* data, size_t size) {
  if (size >= size_t(INT32_MAX)) return;  // the loader refuses files of 2 GiB or more
  // A block of exactly the file's bytes, so a read past them is caught (the
  // loader's 32 spare bytes would hide one).
  uint8_t* file = static_cast<uint8_t*>(std::malloc(size + 1));
  if (file == nullptr) return;
  if (size > 0) std::memcpy(file, data, size);
  if (checkSpectrumHeader(file, uint32_t(size)) != 0) {
    std::free(file);
    return;
  }
  CpxHeader h;
  cpxHeaderRead(file, &h);
  const int32_t width = h.cxWidth, height = h.cxHeight;
  Plane samples = planeWrap(spectrumSamples(file), sizeof(Complex), width, height);
  Plane pixels = planeAlloc(sizeof(Pixel32), width, height);
  if (samples != nullptr && pixels != nullptr) {
    swapQuadrants(samples, width, height);
    renderPowerSpectrum(samples, pixels, width, height, false);
    renderPowerSpectrum(samples, pixels, width, height, true);
    if (width <= 64 && height <= 64) idft2dToImage(samples, pixels, width, height);
  }
  std::free(samples);
  std::free(pixels);
  std::free(file);
}
