// specshow: the power spectrum of a spectrum file as a gray picture.
#include "commandline.h"
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
  int status = 0;
  if (spectrumWorkOpen(inputPath, &work, &status)) {
    // The swap changes the samples in the loaded block only, never the file.
    if (swap) swapQuadrants(work.samples, work.width, work.height);
    renderPowerSpectrum(work.samples, work.pixels, work.width, work.height, linear);
    bmpWrite32(outputPath, pixelRow(work.pixels, 0), work.width, work.height);
  }
  spectrumWorkFree(&work);
  return status;
}

int main(int argc, char** argv) {
  const char* paths[2] = {nullptr, nullptr};
  bool flagSeen[2] = {false, false};  // -d, -n
  scanCommandLine(kCommandLine, argc, argv, paths, flagSeen);
  return showSpectrum(paths[0] ? paths[0] : "dft_complex.dat",
                      paths[1] ? paths[1] : "showPowerSpectrum.bmp", !flagSeen[0], flagSeen[1]);
}
