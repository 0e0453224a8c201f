// specshow: the power spectrum of a spectrum file as a gray picture, or its
// phase.
#include <cstdio>

#include "commandline.h"
#include "runoutputs.h"
#include "speccore.h"
#include "spectruminput.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-d] [-n] [-l] [-p] [-h] ",
    "[complex_in.dat [output_bmp]]",
    "\t-d: Not replace the power spectrum.\n"
    "\t-n: normal power spectrum. default display log10.\n"
    "\t-l: log scale that does not wrap: log(1 + |F| - min), black to white.\n"
    "\t-p: phase: the angle of each coefficient, -pi black, 0 gray 128, pi white.\n"
    "\t-h: This option shows only this message.\n",
    "dnlp",
    2,
    {"dft_complex.dat", "showPowerSpectrum.bmp"},
};
// clang-format on

enum Picture { kClassicLog, kLinear, kLogNoWrap, kPhase };

// Centres the spectrum in memory unless told not to and writes the picture
// asked for. Returns the program's exit status.
static int showSpectrum(const char* inputPath, const char* outputPath, bool swap, Picture picture) {
  SpectrumWork work;
  RunOutputs outputs;
  const int status = spectrumRunOpen(inputPath, outputPath, &work, &outputs);
  if (status == kStatusOk) {
    const SpectrumView& v = work.view;
    // The swap changes the samples in the loaded block only, never the file.
    if (swap) swapQuadrants(v.samples, v.width, v.height, kEveryProcessor);
    if (picture == kLogNoWrap) {
      renderLogMagnitude(v.samples, work.pixels, v.width, v.height, kEveryProcessor);
    } else if (picture == kPhase) {
      renderPhase(v.samples, work.pixels, v.width, v.height, kEveryProcessor);
    } else {
      renderPowerSpectrum(v.samples, work.pixels, v.width, v.height, picture == kLinear,
                          kEveryProcessor);
    }
  }
  return spectrumRunFinish(&work, &outputs, status);
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  const bool linear = line.flagSeen[1], noWrap = line.flagSeen[2], phase = line.flagSeen[3];
  if (int(linear) + int(noWrap) + int(phase) > 1) {
    std::fputs("Options '-n', '-l' and '-p' each choose the picture: give one of them.\n", stderr);
    return printUsage(kCommandLine, argv[0], kStatusUsage);
  }
  const Picture picture = phase ? kPhase : noWrap ? kLogNoWrap : linear ? kLinear : kClassicLog;
  return showSpectrum(line.paths[0], line.paths[1], !line.flagSeen[0], picture);
}
