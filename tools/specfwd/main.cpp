// specfwd: a BMP picture to its gray picture, spectrum file and power spectrum.
#include <cstdlib>

#include "bmpinput.h"
#include "commandline.h"
#include "runoutputs.h"
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

// Refuses outputs that are the input, loads and checks the picture, refuses
// a spectrum too large for its file, decodes and runs the pipeline. Returns
// the program's exit status.
static int forwardTransform(const char* inputPath, const char* outputPath) {
  const char* paths[kForwardOutputs];
  forwardOutputPaths(outputPath, paths);
  int status = runOutputsApart(paths, kForwardOutputs, &inputPath, 1);
  uint8_t* image = nullptr;
  if (status == kStatusOk) status = bmpInputLoad(inputPath, &image);
  if (status == kStatusOk) status = forwardSizeCheck(image);
  BmpPicture picture = {nullptr, 0, 0, 0};
  if (status == kStatusOk) {
    status = bmpInputDecodeLoaded(inputPath, image, &picture);
    image = nullptr;
  }
  if (status == kStatusOk) status = transformPicture(inputPath, picture, paths);
  std::free(image);
  std::free(picture.pixels);
  return status;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  return forwardTransform(line.paths[0], line.paths[1]);
}
