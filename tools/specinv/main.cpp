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
    const int inverse = idft2dToImage(work.samples, work.pixels, work.width, work.height);
    if (inverse < 0) {
      // Only when not even the transform's scratch line could be had: a
      // picture of the untransformed spectrum would be wrong.
      std::fputs("Couldn't allocate memory.\n", stderr);
    } else if (inverse > 0) {
      // NaN or infinite samples, or sums that overflow: no picture is the
      // right one, so the file is refused like any other unusable spectrum.
      std::fputs("Inverse transform not finite.\n", stderr);
      std::fprintf(stderr, "'%s' unknown file\n", inputPath);
      status = 1;
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
