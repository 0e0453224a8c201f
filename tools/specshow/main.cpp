// specshow: the power spectrum of a spectrum file as a gray picture.
#include <cstdio>
#include <cstdlib>

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

// Loads and checks the spectrum, centres it in memory unless told not to and
// writes its power-spectrum picture. Returns the program's exit status.
static int showSpectrum(const char* inputPath, const char* outputPath, bool swap, bool linear) {
  uint32_t size = 0;
  int status = 0;
  uint8_t* file = spectrumInputLoad(inputPath, &size, &status);
  if (file == nullptr) return status;
  if (checkSpectrumHeader(file, size) != 0) {
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    std::free(file);
    return 1;
  }
  CpxHeader header;
  cpxHeaderRead(file, &header);
  const int32_t width = header.cxWidth, height = header.cxHeight;
  Plane pixels = nullptr, samples = nullptr;
  if ((pixels = planeAlloc(sizeof(Pixel32), width, height)) == nullptr) {
    std::fputs("Couldn't allocate memory. destination\n", stderr);
  } else if ((samples = planeWrap(spectrumSamples(file), sizeof(Complex), width, height)) ==
             nullptr) {
    std::fputs("Couldn't allocate memory. source\n", stderr);
  } else {
    // The swap changes the samples in the loaded block only, never the file.
    if (swap) swapQuadrants(samples, width, height);
    renderPowerSpectrum(samples, pixels, width, height, linear);
    bmpWrite32(outputPath, pixelRow(pixels, 0), width, height);
  }
  // The row table points into the loaded block, so it goes before the block.
  std::free(samples);
  std::free(pixels);
  std::free(file);
  return 0;
}

int main(int argc, char** argv) {
  const char* paths[2] = {nullptr, nullptr};
  bool flagSeen[2] = {false, false};  // -d, -n
  scanCommandLine(kCommandLine, argc, argv, paths, flagSeen);
  return showSpectrum(paths[0] ? paths[0] : "dft_complex.dat",
                      paths[1] ? paths[1] : "showPowerSpectrum.bmp", !flagSeen[0], flagSeen[1]);
}
