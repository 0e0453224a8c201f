// specinfo: the header fields of a spectrum file on standard output, and on
// request its text and its strongest coefficients.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commandline.h"
#include "speccore.h"
#include "spectruminput.h"

// clang-format off
static const ToolCommandLine kCommandLine = {
    "[-t] [-p<N>] [-h] ",
    "[complex.dat]",
    "\t-t: also the file's text, one line each (what specfilter did to it).\n"
    "\t-p<N>: also the N strongest coefficients, each pair once: u, v (as -n of specfilter), |F|, phase, pixel x, y.\n"
    "\t-h: This option shows only this message.\n",
    "t",
    1,
    {"dft_complex.dat", nullptr},
    "p",
};
// clang-format on

// What is asked for beyond the nine lines.
struct InfoRequest {
  bool text = false;
  int32_t peaks = 0;  // 0: none
};

// Reads -p<N>, the last one given counting. Returns false after a line that
// says why its value is no good.
static bool readInfoRequest(const CommandLine& line, InfoRequest* request) {
  request->text = line.flagSeen[0];
  for (int i = 0; i < line.valuedCount; ++i) {
    const char* value = line.valued[i].value;
    // Digits only: strtol alone would also take a leading blank or sign.
    char* end = nullptr;
    errno = 0;
    const long n =
        std::isdigit(static_cast<unsigned char>(value[0])) ? std::strtol(value, &end, 10) : 0;
    if (n < 1 || *end != '\0' || errno != 0 || n > INT32_MAX) {
      std::fprintf(stderr, "Option '-p%s': the count is not a positive whole number.\n", value);
      return false;
    }
    request->peaks = int32_t(n);
  }
  return true;
}

// One line of a file's text as "text:       LINE", with control characters
// shown as \xNN: a file's bytes never reach the terminal as commands.
static void printTextLine(const char* begin, const char* end) {
  std::fputs("text:       ", stdout);
  for (const char* p = begin; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7f)
      std::printf("\\x%02x", c);
    else
      std::putchar(c);
  }
  std::putchar('\n');
}

// The strongest coefficients of a file whose identifier passed, after the
// header has been read from it (laying the view may move the samples over
// the text). Returns the status after any message.
static int printPeaks(const char* inputPath, uint8_t* file, uint32_t size, int32_t count) {
  SpectrumView view;
  int status = spectrumViewOpen(file, size, &view);
  if (status == kStatusUnknownFile) {
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    return status;
  }
  if (status != kStatusOk) {
    std::fputs("Couldn't allocate memory. source\n", stderr);
    return status;
  }
  // Never more than the coefficients, so a large N costs no more than all of them.
  if (int64_t(count) > int64_t(view.width) * view.height) count = view.width * view.height;
  SpectrumPeak* peaks =
      static_cast<SpectrumPeak*>(std::malloc(sizeof(SpectrumPeak) * size_t(count)));
  if (peaks == nullptr) {
    std::fputs("Couldn't allocate memory. peaks\n", stderr);
    status = kStatusMemory;
  } else {
    const int32_t n = spectrumPeaks(view.samples, view.width, view.height, peaks, count);
    for (int32_t i = 0; i < n; ++i)
      std::printf("peak:       u %d  v %d  |F| %.9g  phase %.6f  x %d  y %d\n", peaks[i].u,
                  peaks[i].v, peaks[i].magnitude, peaks[i].phase, peaks[i].x, peaks[i].y);
  }
  std::free(peaks);
  std::free(view.samples);
  return status;
}

// Loads the file and prints its header without judging it: the tool for
// looking into a file that the other programs refuse. Returns the exit status.
static int printSpectrumHeader(const char* inputPath, const InfoRequest& request) {
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
  if (request.text) {
    char* text = spectrumText(file, size);
    if (text == nullptr) {
      std::fputs("Couldn't allocate memory. text\n", stderr);
      status = kStatusMemory;
    } else {
      for (const char* line = text; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        if (end == nullptr) end = line + std::strlen(line);
        printTextLine(line, end);
        line = *end == '\n' ? end + 1 : end;
      }
    }
    std::free(text);
  }
  if (status == kStatusOk && request.peaks > 0)
    status = printPeaks(inputPath, file, size, request.peaks);
  std::free(file);
  // The lines are buffered: a full disk or a closed pipe shows at the flush.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("File 'stdout' cannot write.\n", stderr);
    return kStatusOutput;
  }
  return status;
}

int main(int argc, char** argv) {
  const CommandLine line = scanCommandLine(kCommandLine, argc, argv);
  if (line.usage) return printUsage(kCommandLine, argv[0], line.status);
  InfoRequest request;
  if (!readInfoRequest(line, &request)) return printUsage(kCommandLine, argv[0], kStatusUsage);
  return printSpectrumHeader(line.paths[0], request);
}
