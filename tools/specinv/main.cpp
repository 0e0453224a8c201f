// specinv: a spectrum file back to a gray picture through the inverse DFT.
#include <cstdio>

#include "commandline.h"
#include "fasttransform.h"
#include "runoutputs.h"
#include "speccore.h"
#include "spectruminput.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-f] [-h] ",
    "[complex_in.dat [output_bmp]]",
    FAST_OPTION_LINE
    "\t-h: This option shows only this message.\n",
    "f",
    2,
    {"dft_complex.dat", "idft_2D.bmp"},
};
// clang-format on

// The inverse transform, where the samples lie in the loaded block, as a
// picture. Returns the run's status after any message.
static int inversePicture(const char* inputPath, SpectrumWork* work, bool fast) {
  const SpectrumView& v = work->view;
  const int status = runTransform(fast, v.samples, v.width, v.height, kDftInverse);
  if (status != kStatusOk) return status;
  const int inverse = inverseToImage(v.samples, work->pixels, v.width, v.height, kEveryProcessor);
  if (inverse > 0) {
    // NaN or infinite samples, or sums that overflow: no picture is the
    // right one, so the file is refused like any other unusable spectrum.
    std::fputs("Inverse transform not finite.\n", stderr);
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    return kStatusUnknownFile;
  }
  return kStatusOk;
}

static int inverseTransform(const char* inputPath, const char* outputPath, bool fast) {
  SpectrumWork work;
  RunOutputs outputs;
  int status = spectrumRunOpen(inputPath, outputPath, &work, &outputs);
  if (status == kStatusOk) status = inversePicture(inputPath, &work, fast);
  return spectrumRunFinish(&work, &outputs, status);
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  const bool fast = line.flagSeen[0];
  const int status = fastTransformCheck(fast);
  if (status != kStatusOk) return status;
  return inverseTransform(line.paths[0], line.paths[1], fast);
}
