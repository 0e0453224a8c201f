// specshow: the power spectrum of a spectrum file as a gray picture.
#include "commandline.h"
#include "runoutputs.h"
#include "speccore.h"
#include "spectruminput.h"

static const ToolCommandLine kCommandLine = {
    "[-d] [-n] [-h] ",
    "[complex_in.dat [output_bmp]]",
    "\t-d: Not replace the power spectrum.\n"
    "\t-n: normal power spectrum. default display log10.\n"
    "\t-h: This option shows only this message.\n",
    "dn",
    2,
};

// Centres the spectrum in memory unless told not to and writes its
// power-spectrum picture. Returns the program's exit status.
static int showSpectrum(const char* inputPath, const char* outputPath, bool swap, bool linear) {
  SpectrumWork work;
  RunOutputs outputs;
  int status = spectrumWorkOpen(inputPath, &work);
  if (status == kStatusOk) status = runOutputsOpen(&outputs, &outputPath, 1);
  if (status == kStatusOk) {
    const SpectrumView& v = work.view;
    // The swap changes the samples in the loaded block only, never the file.
    if (swap) swapQuadrants(v.samples, v.width, v.height);
    renderPowerSpectrum(v.samples, work.pixels, v.width, v.height, linear);
    status = bmpWrite32To(&outputs.files[0], pixelRow(work.pixels, 0), v.width, v.height);
    status = runOutputsFinish(&outputs, status);
  }
  spectrumWorkFree(&work);
  return status;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argc > 0 ? argv[0] : nullptr, line.status);
  return showSpectrum(line.paths[0] ? line.paths[0] : "dft_complex.dat",
                      line.paths[1] ? line.paths[1] : "showPowerSpectrum.bmp",
                      !line.flagSeen[0], line.flagSeen[1]);
}
