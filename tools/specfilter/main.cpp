// specfilter: a spectrum file times a real gain for every sample, written
// as a new spectrum file with the filter recorded in its text.
#include <cstdlib>
#include <cstring>

#include "commandline.h"
#include "request.h"
#include "runoutputs.h"
#include "speccore.h"
#include "spectruminput.h"

// From the loaded spectrum to the renamed output: the filter made to fit,
// the text, the output created, and only then the samples multiplied.
// Returns the program's exit status.
static int filterFile(const char* inputPath, const char* outputPath, FilterRequest* request) {
  uint8_t* file = nullptr;
  SpectrumView view;
  char* inputText = nullptr;
  char* text = nullptr;
  int status = spectrumViewLoad(inputPath, &file, &view, &inputText);
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
    filterSpectrum(view.samples, w, h, &request->filter, kEveryProcessor);
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
  if (filterRequestRead(line, &request) != kStatusOk)
    return printUsage(kFilterCommandLine, argv[0], kStatusUsage);
  return filterFile(line.paths[0], line.paths[1], &request);
}
