// specshow: the power spectrum of a spectrum file as a gray picture.
#include "commandline.h"
#include "runoutputs.h"
#include "speccore.h"
#include "spectruminput.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-d] [-n] [-h] ",
    "[complex_in.dat [output_bmp]]",
    "\t-d: Not replace the power spectrum.\n"
    "\t-n: normal power spectrum. default display log10.\n"
    "\t-h: This option shows only this message.\n",
    "dn",
    2,
    {"dft_complex.dat", "showPowerSpectrum.bmp"},
};
// clang-format on

// Centres the spectrum in memory unless told not to and writes its
// power-spectrum picture. Returns the program's exit status.
static int showSpectrum(const char* inputPath, const char* outputPath, bool swap, bool linear) {
  SpectrumWork work;
  RunOutputs outputs;
  const int status = spectrumRunOpen(inputPath, outputPath, &work, &outputs);
  if (status == kStatusOk) {
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
  return showSpectrum(line.paths[0], line.paths[1], !line.flagSeen[0], line.flagSeen[1]);
}
