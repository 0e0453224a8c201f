// specfwd: a BMP picture to its gray picture, spectrum file and power spectrum.
#include <cstdlib>
#include <iterator>

#include "bmpinput.h"
#include "commandline.h"
#include "fasttransform.h"
#include "runoutputs.h"
#include "speccore/bmp.h"
#include "transform.h"

using namespace speccore;

static const ToolOption kOptions[] = {
    kFastOption,
    {'h', "", "This option shows only this message."},
};
static const ToolCommandLine kCommandLine = {
    kOptions, int(std::size(kOptions)),     "[input_bmp [complex_out.dat]]",
    2,        {"sample.bmp", "dft_2D.bmp"},
};

// Refuses outputs that are the input, loads and checks the picture, refuses
// a spectrum too large for its file, decodes and runs the pipeline. Returns
// the program's exit status.
static int forwardTransform(const char* inputPath, const char* outputPath, bool fast) {
  const char* paths[kForwardOutputs];
  forwardOutputPaths(outputPath, paths);
  int status = runOutputsApart(paths, kForwardOutputs, &inputPath, 1);
  uint8_t* image = nullptr;
  if (status == kExitOk) status = bmpInputLoad(inputPath, &image);
  if (status == kExitOk) status = forwardSizeCheck(image, fast);
  BmpPicture picture = {nullptr, 0, 0, 0};
  if (status == kExitOk) {
    status = bmpInputDecodeLoaded(inputPath, image, &picture);
    image = nullptr;
  }
  if (status == kExitOk) status = transformPicture(inputPath, picture, paths, fast);
  std::free(image);
  std::free(picture.pixels);
  return status;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  const bool fast = flagGiven(line, 'f');
  const int status = fastTransformCheck(fast);
  if (status != kExitOk) return status;
  return forwardTransform(line.paths[0], line.paths[1], fast);
}
