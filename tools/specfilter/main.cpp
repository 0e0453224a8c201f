// specfilter: a spectrum file times a real gain for every sample, written
// as a new spectrum file with the filter recorded in its text.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commandline.h"
#include "request.h"
#include "runoutputs.h"
#include "speccore/filter.h"
#include "speccore/spectrumfile.h"
#include "spectruminput.h"

using namespace speccore;

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
  if (status == kExitOk) status = spectrumViewLoad(inputPath, &file, &view, &inputText);
  const int32_t w = view.width, h = view.height;
  if (status == kExitOk) status = filterRequestFit(request, w, h);
  if (status == kExitOk && (text = filterRequestText(*request, inputText)) == nullptr) {
    std::fputs("Couldn't allocate memory. text\n", stderr);
    status = kStatusMemory;
  }
  if (status == kExitOk) status = spectrumFileSizeCheck(outputPath, w, h, std::strlen(text) + 1);
  RunOutputs outputs;
  if (status == kExitOk) status = runOutputsOpen(&outputs, &outputPath, 1);
  if (status == kExitOk) {
    // The request was fitted to the spectrum above: a refusal here is a
    // filter that does not fit it after all.
    status = filterSpectrum(view.samples, w, h, &request->filter, kEveryProcessor) == kStatusOk
                 ? kExitOk
                 : kExitFilterMismatch;
    if (status == kExitOk)
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
  const CommandLine line = scanCommandLine(kFilterCommandLine, argc, argv);
  if (line.usage) return printUsage(kFilterCommandLine, argv[0], line.status);
  FilterRequest request;
  if (filterRequestRead(line, &request) != kExitOk)
    return printUsage(kFilterCommandLine, argv[0], kExitUsage);
  return filterFile(line.paths[0], line.paths[1], &request);
}
