// specinfo: the header fields of a spectrum file on standard output.
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "commandline.h"
#include "runoutputs.h"
#include "speccore/spectrumfile.h"
#include "spectruminput.h"

using namespace speccore;

static const ToolOption kOptions[] = {
    {'h', "", "This option shows only this message."},
};
static const ToolCommandLine kCommandLine = {
    kOptions, int(std::size(kOptions)), "[complex.dat]", 1, {"dft_complex.dat", nullptr},
};

// Loads the file and prints its header without judging it: the tool for
// looking into a file that the other programs refuse. Returns the exit status.
static int printSpectrumHeader(const char* inputPath) {
  // A reader gone or a file-size limit must show as the write that fails.
  ignoreWriteSignals();
  uint32_t size = 0;
  int status = kExitOk;
  uint8_t* file = spectrumInputLoad(inputPath, &size, &status);
  if (file == nullptr) return status;
  // The loaded size, not the earlier query, bounds what may be read: the file
  // can have shrunk in between.
  CpxHeader h = {};
  if (size >= kCpxHeaderSize) cpxHeaderRead(file, &h);
  if (size < kCpxHeaderSize || h.cxType != kCpxType) {
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    std::free(file);
    return kExitUnknownFile;
  }
  // The identifier's fourth byte is the zero that ends it.
  std::printf("identifier: '%s'\n", reinterpret_cast<const char*>(file));
  std::printf("cxType: 0x%4.4X\n", unsigned(h.cxType));
  std::printf("zero:       %d\n", h.zero);
  std::printf("cxSize:     %d\n", h.cxSize);
  std::printf("cxDataByte: %d\n", h.cxDataByte);
  std::printf("cxOffByts:  %d\n", h.cxOffByts);
  std::printf("cxSizeData: %d\n", h.cxSizeData);
  std::printf("cxWidth:    %d\n", h.cxWidth);
  std::printf("cxHeight:   %d\n", h.cxHeight);
  std::free(file);
  // The lines are buffered: a full disk or a closed pipe shows at the flush.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("File 'stdout' cannot write.\n", stderr);
    return kStatusOutput;
  }
  return kExitOk;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  return printSpectrumHeader(line.paths[0]);
}
