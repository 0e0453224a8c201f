// specinfo: the header fields of a spectrum file on standard output.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commandline.h"
#include "runoutputs.h"
#include "speccore.h"
#include "spectruminput.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-h] ",
    "[complex.dat]",
    "\t-h: This option shows only this message.\n",
    "",
    1,
    {"dft_complex.dat", nullptr},
};
// clang-format on

// Loads the file and prints its header without judging it: the tool for
// looking into a file that the other programs refuse. Returns the exit status.
static int printSpectrumHeader(const char* inputPath) {
  // A reader gone or a file-size limit must show as the write that fails.
  ignoreWriteSignals();
  uint32_t size = 0;
  int status = kStatusOk;
  uint8_t* file = spectrumInputLoad(inputPath, &size, &status);
  if (file == nullptr) return status;
  // The loaded size, not the earlier query, bounds what may be read: the file
  // can have shrunk in between.
  static const uint8_t kIdentifier[4] = {'C', 'P', 'X', '\0'};
  if (size < kCpxHeaderSize || std::memcmp(file, kIdentifier, sizeof kIdentifier) != 0) {
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    std::free(file);
    return kStatusUnknownFile;
  }
  CpxHeader h;
  cpxHeaderRead(file, &h);
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
  return kStatusOk;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  return printSpectrumHeader(line.paths[0]);
}
