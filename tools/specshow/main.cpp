// specshow: the power spectrum of a spectrum file as a gray picture, or its
// phase.
#include <cstdio>
#include <iterator>

#include "commandline.h"
#include "runoutputs.h"
#include "speccore/render.h"
#include "spectruminput.h"

using namespace speccore;

static const ToolOption kOptions[] = {
    {'d', "", "Not replace the power spectrum."},
    {'n', "", "normal power spectrum. default display log10."},
    {'l', "", "log scale that does not wrap: log(1 + |F| - min), black to white."},
    {'p', "", "phase: the angle of each coefficient, -pi black, 0 gray 128, pi white."},
    {'h', "", "This option shows only this message."},
};
static const ToolCommandLine kCommandLine = {
    kOptions,
    int(std::size(kOptions)),
    "[complex_in.dat [output_bmp]]",
    2,
    {"dft_complex.dat", "showPowerSpectrum.bmp"},
};

enum Picture { kClassicLog, kLinear, kLogNoWrap, kPhase };

// Centres the spectrum in memory unless told not to and writes the picture
// asked for. Returns the program's exit status.
static int showSpectrum(const char* inputPath, const char* outputPath, bool swap, Picture picture) {
  SpectrumWork work;
  RunOutputs outputs;
  const int status = spectrumRunOpen(inputPath, outputPath, &work, &outputs);
  if (status == kExitOk) {
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
  const bool linear = flagGiven(line, 'n'), noWrap = flagGiven(line, 'l'),
             phase = flagGiven(line, 'p');
  if (int(linear) + int(noWrap) + int(phase) > 1) {
    std::fputs("Options '-n', '-l' and '-p' each choose the picture: give one of them.\n", stderr);
    return printUsage(kCommandLine, argv[0], kExitUsage);
  }
  const Picture picture = phase ? kPhase : noWrap ? kLogNoWrap : linear ? kLinear : kClassicLog;
  return showSpectrum(line.paths[0], line.paths[1], !flagGiven(line, 'd'), picture);
}
