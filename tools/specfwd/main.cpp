// specfwd: a BMP picture to its gray picture, spectrum file and power spectrum.
#include <cstdlib>
#include <iterator>

#include "bmpinput.h"
#include "commandline.h"
#include "speccore/bmp.h"
#include "transform.h"

using namespace speccore;

static const ToolOption kOptions[] = {
    {'h', "", "This option shows only this message."},
};
static const ToolCommandLine kCommandLine = {
    kOptions, int(std::size(kOptions)),     "[input_bmp [complex_out.dat]]",
    2,        {"sample.bmp", "dft_2D.bmp"},
};

// Loads, checks and decodes the input and runs the pipeline. Returns the
// program's exit status.
static int forwardTransform(const char* inputPath, const char* outputPath) {
  BmpPicture picture;
  int status = bmpInputDecode(inputPath, &picture);
  if (status == kExitOk) status = transformPicture(inputPath, picture, outputPath);
  std::free(picture.pixels);
  return status;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  return forwardTransform(line.paths[0], line.paths[1]);
}
