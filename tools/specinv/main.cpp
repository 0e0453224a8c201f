// specinv: a spectrum file back to a gray picture through the inverse DFT.
#include <cstdio>

#include "commandline.h"
#include "speccore.h"
#include "spectruminput.h"

static const ToolCommandLine kCommandLine = {
    "[-h] ",
    "[complex_in.dat [output_bmp]]",
    "\t-h: This option shows only this message.\n",
    "",
    2,
};

// Transforms the spectrum back where it lies in the loaded block and writes
// the picture. Returns the program's exit status.
static int inverseTransform(const char* inputPath, const char* outputPath) {
  SpectrumWork work;
  int status = 0;
  if (spectrumWorkOpen(inputPath, &work, &status)) {
    if (idft2dToImage(work.samples, work.pixels, work.width, work.height) != 0) {
      // Only when not even the transform's scratch line could be had: a
      // picture of the untransformed spectrum would be wrong.
      std::fputs("Couldn't allocate memory.\n", stderr);
    } else {
      bmpWrite32(outputPath, pixelRow(work.pixels, 0), work.width, work.height);
    }
  }
  spectrumWorkFree(&work);
  return status;
}

int main(int argc, char** argv) {
  const char* paths[2] = {nullptr, nullptr};
  scanCommandLine(kCommandLine, argc, argv, paths, nullptr);
  return inverseTransform(paths[0] ? paths[0] : "dft_complex.dat",
                          paths[1] ? paths[1] : "idft_2D.bmp");
}
