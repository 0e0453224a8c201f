// specfilter: a spectrum file times a real gain for every sample, written
// as a new spectrum file with the filter recorded in its text.
#include <cstdlib>
#include <cstring>

#include "commandline.h"
#include "request.h"
#include "runoutputs.h"
#include "speccore.h"
#include "spectruminput.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-l<r>] [-e<r>] [-b<r1>,<r2>] [-r<r1>,<r2>] [-n<u>,<v>,<r>] [-m<mask_bmp>] [-g] [-o<n>] [-d] [-s] [-h] ",
    "[complex_in.dat [complex_out.dat]]",
    "\t-l<r>: low-pass: keep the frequencies up to radius r.\n"
    "\t-e<r>: high-pass: keep the frequencies above radius r (the edges).\n"
    "\t-b<r1>,<r2>: band-pass: keep the ring from radius r1 to r2.\n"
    "\t-r<r1>,<r2>: band-stop: remove that ring.\n"
    "\t-n<u>,<v>,<r>: notch: remove frequency (u, v) and its mirror, radius r. repeatable.\n"
    "\t-m<mask_bmp>: mask: gray level / 255 of the picture laid out like PowerSpectrum.bmp.\n"
    "\t-g: Gaussian shape. default ideal.\n"
    "\t-o<n>: Butterworth shape of order n.\n"
    "\t-d: masks in natural order, not centred.\n"
    "\t-s: symmetric masks: each gain the smaller of its own and its mirror's.\n"
    "\t-h: This option shows only this message.\n",
    "gds",
    2,
    {"dft_complex.dat", "dft_filtered.dat"},
    "lebrnmo",
};
// clang-format on

// From the loaded spectrum to the renamed output: the filter made to fit,
// the text, the output created, and only then the samples multiplied.
// Returns the program's exit status.
static int filterFile(const char* inputPath, const char* outputPath, FilterRequest* request) {
  uint8_t* file = nullptr;
  SpectrumView view = {nullptr, 0, 0};
  char* inputText = nullptr;
  char* text = nullptr;
  const char* inputs[1 + kMaxValued] = {inputPath};
  const int inputCount = 1 + filterRequestMasks(*request, inputs + 1);
  int status = runOutputsApart(&outputPath, 1, inputs, inputCount);
  if (status == kStatusOk) status = spectrumViewLoad(inputPath, &file, &view, &inputText);
  const int32_t w = view.width, h = view.height;
  if (status == kStatusOk) status = filterRequestFit(request, w, h);
  if (status == kStatusOk && (text = filterRequestText(*request, inputText)) == nullptr) {
    std::fputs("Couldn't allocate memory. text\n", stderr);
    status = kStatusMemory;
  }
  if (status == kStatusOk) status = spectrumFileSizeCheck(outputPath, w, h, std::strlen(text) + 1);
  RunOutputs outputs;
  if (status == kStatusOk) status = runOutputsOpen(&outputs, &outputPath, 1);
  if (status == kStatusOk) {
    status = filterSpectrum(view.samples, w, h, &request->filter, kEveryProcessor);
    if (status == kStatusOk)
      status = writeSpectrumTo(&outputs.files[0], text, complexRow(view.samples, 0), w, h);
    status = runOutputsFinish(&outputs, status);
  }
  std::free(text);
  std::free(inputText);
  std::free(view.samples);
  std::free(file);
  filterRequestFree(request);
  return status;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  FilterRequest request;
  if (filterRequestRead(line, &request) != kStatusOk)
    return printUsage(kCommandLine, argv[0], kStatusUsage);
  return filterFile(line.paths[0], line.paths[1], &request);
}
