// specinv: a spectrum file back to a gray picture through the inverse DFT.
#include <cstdio>
#include <cstdlib>

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

// Loads and checks the spectrum, transforms it back where it lies in the
// loaded block and writes the picture. Returns the program's exit status.
static int inverseTransform(const char* inputPath, const char* outputPath) {
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
  Plane destination = nullptr, source = nullptr;
  if ((destination = planeAlloc(sizeof(Pixel32), width, height)) == nullptr) {
    std::fputs("Couldn't allocate memory. destination\n", stderr);
  } else if ((source = planeWrap(spectrumSamples(file), sizeof(Complex), width, height)) ==
             nullptr) {
    std::fputs("Couldn't allocate memory. source\n", stderr);
  } else if (idft2dToImage(source, destination, width, height) != 0) {
    // Only when not even the transform's scratch line could be had: a picture
    // of the untransformed spectrum would be wrong.
    std::fputs("Couldn't allocate memory.\n", stderr);
  } else {
    bmpWrite32(outputPath, pixelRow(destination, 0), width, height);
  }
  // The view points into the loaded block, so it goes before the block.
  std::free(source);
  std::free(destination);
  std::free(file);
  return 0;
}

int main(int argc, char** argv) {
  const char* paths[2] = {nullptr, nullptr};
  scanCommandLine(kCommandLine, argc, argv, paths, nullptr);
  return inverseTransform(paths[0] ? paths[0] : "dft_complex.dat",
                          paths[1] ? paths[1] : "idft_2D.bmp");
}
