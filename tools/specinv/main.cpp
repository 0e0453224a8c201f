// specinv: a spectrum file back to a gray picture through the inverse DFT.
#include <cstdio>

#include "commandline.h"
#include "progress.h"
#include "runoutputs.h"
#include "speccore.h"
#include "spectruminput.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-r] [-h] ",
    "[complex_in.dat [output_bmp]]",
    "\t-r: each level rounded to the nearest, clamped to 0..255, no stretch.\n"
    "\t-h: This option shows only this message.\n",
    "r",
    2,
    {"dft_complex.dat", "idft_2D.bmp"},
};
// clang-format on

// The inverse transform, where the samples lie in the loaded block, as a
// picture. Returns the run's status after any message.
static int inversePicture(const char* inputPath, SpectrumWork* work, bool rounded) {
  const SpectrumView& v = work->view;
  DftProgress progress;
  ProgressShow show;
  progressShowStart(&show, &progress);
  const int inverse =
      (rounded ? idft2dToImageRounded : idft2dToImage)(v.samples, work->pixels, v.width, v.height,
                                                       kEveryProcessor, &progress);
  progressShowEnd(&show);
  if (inverse < 0) {
    // Only when not even the transform's scratch line could be had: a
    // picture of the untransformed spectrum would be wrong.
    std::fputs("Couldn't allocate memory.\n", stderr);
    return kStatusMemory;
  }
  if (inverse > 0) {
    // NaN or infinite samples, or sums that overflow: no picture is the
    // right one, so the file is refused like any other unusable spectrum.
    std::fputs("Inverse transform not finite.\n", stderr);
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    return kStatusUnknownFile;
  }
  return kStatusOk;
}

static int inverseTransform(const char* inputPath, const char* outputPath, bool rounded) {
  SpectrumWork work;
  RunOutputs outputs;
  int status = spectrumRunOpen(inputPath, outputPath, &work, &outputs);
  if (status == kStatusOk) status = inversePicture(inputPath, &work, rounded);
  return spectrumRunFinish(&work, &outputs, status);
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  return inverseTransform(line.paths[0], line.paths[1], line.flagSeen[0]);
}
