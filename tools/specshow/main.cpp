// specshow: the power spectrum of a spectrum file as a gray picture.
#include <iterator>

#include "commandline.h"
#include "runoutputs.h"
#include "speccore/render.h"
#include "spectruminput.h"

using namespace speccore;

static const ToolOption kOptions[] = {
    {'d', "", "Not replace the power spectrum."},
    {'n', "", "normal power spectrum. default display log10."},
    {'h', "", "This option shows only this message."},
};
static const ToolCommandLine kCommandLine = {
    kOptions,
    int(std::size(kOptions)),
    "[complex_in.dat [output_bmp]]",
    2,
    {"dft_complex.dat", "showPowerSpectrum.bmp"},
};

// Centres the spectrum in memory unless told not to and writes its
// power-spectrum picture. Returns the program's exit status.
static int showSpectrum(const char* inputPath, const char* outputPath, bool swap, bool linear) {
  SpectrumWork work;
  RunOutputs outputs;
  const int status = spectrumRunOpen(inputPath, outputPath, &work, &outputs);
  if (status == kExitOk) {
    const SpectrumView& v = work.view;
    // The swap changes the samples in the loaded block only, never the file.
    if (swap) swapQuadrants(v.samples, v.width, v.height, kEveryProcessor);
    renderPowerSpectrum(v.samples, work.pixels, v.width, v.height, linear, kEveryProcessor);
  }
  return spectrumRunFinish(&work, &outputs, status);
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  return showSpectrum(line.paths[0], line.paths[1], !flagGiven(line, 'd'), flagGiven(line, 'n'));
}
