#include "transform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fasttransform.h"
#include "runoutputs.h"

namespace {

enum { kGray, kSpectrum, kPower, kOutput, kOutputCount };

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
  int status = bmpWrite32To(&outputs->files[kGray], pixels[0], width, height);
  if (status != kStatusOk) return status;
  status = runTransform(fast, samples, width, height, kDftForward);
  if (status != kStatusOk) return status;
  status = writeSpectrumTo(&outputs->files[kSpectrum], methodText(fast), complexRow(samples, 0),
                           width, height);
  if (status != kStatusOk) return status;
  swapQuadrants(samples, width, height, kEveryProcessor);
  renderPowerSpectrum(samples, pixels, width, height, false, kEveryProcessor);
  status = bmpWrite32To(&outputs->files[kPower], pixels[0], width, height);
  if (status != kStatusOk) return status;
  return bmpWrite32To(&outputs->files[kOutput], pixels[0], width, height);
}

}  // namespace

int transformPicture(const char* inputPath, const BmpPicture& picture, const char* outputPath,
                     bool fast) {
  const int32_t width = picture.width, height = picture.height;
  // A pass of one sample has nothing to show.
  if (width <= 1 || height <= 1) {
    std::fprintf(stderr, "'%s' too small to transform(%d x %d)\n", inputPath, width, height);
    return kStatusTooSmall;
  }
  Plane samples = planeAlloc(sizeof(Complex), width, height);
  if (samples == nullptr) {
    std::fputs("Couldn't allocate memory.\n", stderr);
    return kStatusMemory;
  }
  // Everything the run can be refused for is known before the transform: a
  // spectrum too large for its file's header, an output that cannot be made.
  const char* const paths[kOutputCount] = {"SourceToGray.bmp", "dft_complex.dat",
                                           "PowerSpectrum.bmp", outputPath};
  const char* text = methodText(fast);
  int status = spectrumFileSizeCheck(paths[kSpectrum], width, height,
                                     text != nullptr ? std::strlen(text) + 1 : 0);
  RunOutputs outputs;
  if (status == kStatusOk) status = runOutputsOpen(&outputs, paths, kOutputCount);
  if (status == kStatusOk) {
    status = writeOutputs(picture, samples, fast, &outputs);
    status = runOutputsFinish(&outputs, status);
  }
  std::free(samples);
  return status;
}
