// specinv: a spectrum file back to a gray picture through the inverse DFT.
#include <cstdio>
#include <iterator>

#include "commandline.h"
#include "fasttransform.h"
#include "runoutputs.h"
#include "speccore/dft.h"
#include "speccore/status.h"
#include "spectruminput.h"

using namespace speccore;

static const ToolOption kOptions[] = {
    kFastOption,
    {'r', "", "each level rounded to the nearest, clamped to 0..255, no stretch."},
    {'h', "", "This option shows only this message."},
};
static const ToolCommandLine kCommandLine = {
    kOptions, int(std::size(kOptions)),           "[complex_in.dat [output_bmp]]",
    2,        {"dft_complex.dat", "idft_2D.bmp"},
};

// The inverse transform, where the samples lie in the loaded block, as a
// picture. Returns the run's status after any message.
static int inversePicture(const char* inputPath, SpectrumWork* work, bool fast, bool rounded) {
  const SpectrumView& v = work->view;
  const int status = runTransform(fast, v.samples, v.width, v.height, kDftInverse);
  if (status != kExitOk) return status;
  const int inverse =
      (rounded ? inverseToImageRounded : inverseToImage)(v.samples, work->pixels, v.width, v.height,
                                                         kEveryProcessor);
  if (inverse == kStatusNotFinite) {
    // NaN or infinite samples, or sums that overflow: no picture is the
    // right one, so the file is refused like any other unusable spectrum.
    std::fputs("Inverse transform not finite.\n", stderr);
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
  }
  return exitStatusOf(inverse);
}

static int inverseTransform(const char* inputPath, const char* outputPath, bool fast,
                            bool rounded) {
  SpectrumWork work;
  RunOutputs outputs;
  int status = spectrumRunOpen(inputPath, outputPath, &work, &outputs);
  if (status == kExitOk) status = inversePicture(inputPath, &work, fast, rounded);
  return spectrumRunFinish(&work, &outputs, status);
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  const bool fast = flagGiven(line, 'f');
  const int status = fastTransformCheck(fast);
  if (status != kExitOk) return status;
  return inverseTransform(line.paths[0], line.paths[1], fast, flagGiven(line, 'r'));
}
