// specfwd: a BMP picture to its gray picture, spectrum file and power spectrum.
#include <cstdlib>

#include "bmpinput.h"
#include "commandline.h"
#include "fasttransform.h"
#include "speccore.h"
#include "transform.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-f] [-h] ",
    "[input_bmp [complex_out.dat]]",
    FAST_OPTION_LINE
    "\t-h: This option shows only this message.\n",
    "f",
    2,
    {"sample.bmp", "dft_2D.bmp"},
};
// clang-format on

// Loads, checks and decodes the input and runs the pipeline. Returns the
// program's exit status.
static int forwardTransform(const char* inputPath, const char* outputPath, bool fast) {
  BmpPicture picture;
  int status = bmpInputDecode(inputPath, &picture);
  if (status == kStatusOk) status = transformPicture(inputPath, picture, outputPath, fast);
  std::free(picture.pixels);
  return status;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  const bool fast = line.flagSeen[0];
  const int status = fastTransformCheck(fast);
  if (status != kStatusOk) return status;
  return forwardTransform(line.paths[0], line.paths[1], fast);
}
