#include "transform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commandline.h"
#include "fasttransform.h"
#include "runoutputs.h"
#include "speccore/dft.h"
#include "speccore/plane.h"
#include "speccore/render.h"
#include "speccore/spectrumfile.h"
#include "speccore/status.h"

using namespace speccore;

namespace {

enum { kGray, kSpectrum, kPower, kOutput };

// What a spectrum made by FFT says of itself, as specfilter records its
// filters; the exact direct transform's file has no text, as it always had.
const char* methodText(bool fast) { return fast ? "specfwd -f" : nullptr; }

// The steps between creating the outputs and renaming them. The order fixes
// the outputs: the gray picture is written before the transform overwrites
// the samples, and the spectrum is written in its natural order before the
// swap centres it for the power-spectrum picture.
int writeOutputs(const BmpPicture& picture, Plane samples, bool fast, RunOutputs* outputs) {
  const int32_t width = picture.width, height = picture.height;
  Plane pixels = picture.pixels;
  pictureToGray(pixels, samples, width, height, kEveryProcessor);
  int status = bmpWrite32To(&outputs->files[kGray], pixelRow(pixels, 0), width, height);
  if (status != kStatusOk) return status;
  status = runTransform(fast, samples, width, height, kDftForward);
  if (status != kStatusOk) return status;
  status = writeSpectrumTo(&outputs->files[kSpectrum], methodText(fast), complexRow(samples, 0),
                           width, height);
  if (status != kStatusOk) return status;
  swapQuadrants(samples, width, height, kEveryProcessor);
  renderPowerSpectrum(samples, pixels, width, height, false, kEveryProcessor);
  status = bmpWrite32To(&outputs->files[kPower], pixelRow(pixels, 0), width, height);
  if (status != kStatusOk) return status;
  return bmpWrite32To(&outputs->files[kOutput], pixelRow(pixels, 0), width, height);
}

}  // namespace

void forwardOutputPaths(const char* outputPath, const char* paths[kForwardOutputs]) {
  paths[kGray] = "SourceToGray.bmp";
  paths[kSpectrum] = "dft_complex.dat";
  paths[kPower] = "PowerSpectrum.bmp";
  paths[kOutput] = outputPath;
}

int forwardSizeCheck(const uint8_t* image, bool fast) {
  BmpHeader h;
  bmpHeaderRead(image, &h);
  const int64_t rows = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
  if (!bmpBitCountSupported(h.biBitCount) || h.biWidth <= 0 || rows == 0) return kStatusOk;
  // A 50 MB file of one bit a pixel can hold 20000 x 20000 pixels, whose
  // plane alone takes 1.6 GB: the refusal must not wait for the decoding.
  const char* text = methodText(fast);
  return spectrumFileSizeCheck("dft_complex.dat", h.biWidth, int32_t(rows),
                               text != nullptr ? std::strlen(text) + 1 : 0);
}

int transformPicture(const char* inputPath, const BmpPicture& picture,
                     const char* const outputPaths[kForwardOutputs], bool fast) {
  const int32_t width = picture.width, height = picture.height;
  // A pass of one sample has nothing to show.
  if (width <= 1 || height <= 1) {
    std::fprintf(stderr, "'%s' too small to transform(%d x %d)\n", inputPath, width, height);
    return kExitTooSmall;
  }
  Plane samples = planeAlloc(sizeof(Complex), width, height);
  if (samples == nullptr) {
    std::fputs("Couldn't allocate memory.\n", stderr);
    return kStatusMemory;
  }
  // Everything the run can be refused for is known before the transform.
  RunOutputs outputs;
  int status = runOutputsOpen(&outputs, outputPaths, kForwardOutputs);
  if (status == kStatusOk) {
    status = writeOutputs(picture, samples, fast, &outputs);
    status = runOutputsFinish(&outputs, status);
  }
  std::free(samples);
  return status;
}
