// specfwd: a BMP picture to its gray picture, spectrum file and power spectrum.
#include <cstdio>
#include <cstdlib>

#include "commandline.h"
#include "speccore.h"
#include "transform.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-h] ",
    "[input_bmp [complex_out.dat]]",
    "\t-h: This option shows only this message.\n",
    "",
    2,
    {"sample.bmp", "dft_2D.bmp"},
};
// clang-format on

// Loads, checks and decodes the input and runs the pipeline. Returns the
// program's exit status.
static int forwardTransform(const char* inputPath, const char* outputPath) {
  uint8_t* image = nullptr;
  uint32_t size = 0;
  int status = bmpLoad(inputPath, &image, &size);
  if (status != kStatusOk) {
    std::fprintf(stderr, "'%s' read error.\n", inputPath);
    return status;
  }
  status = bmpCheck(image, size);
  if (status != kStatusOk) {
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    std::free(image);
    return status;
  }
  BmpPicture picture;
  status = bmpDecodePicture(image, &picture);
  // The decoded picture is all the run needs of the file.
  std::free(image);
  if (status == kStatusBitCount) {
    // Nothing is written rather than the spectrum of a black picture.
    std::fprintf(stderr, "Unsupported bit count. %d\n", picture.bitCount);
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
  } else if (status == kStatusMemory) {
    // The plane that holds the picture and then the pictures written.
    std::fputs("Couldn't allocate memory. destination\n", stderr);
  } else {
    status = transformPicture(inputPath, picture, outputPath);
  }
  std::free(picture.pixels);
  return status;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  return forwardTransform(line.paths[0], line.paths[1]);
}
