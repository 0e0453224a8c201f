// specfwd: a BMP picture to its gray picture, spectrum file and power spectrum.
#include <cstdio>
#include <cstdlib>

#include "commandline.h"
#include "speccore.h"
#include "transform.h"

static const ToolCommandLine kCommandLine = {
    "[-h] ",
    "[input_bmp [complex_out.dat]]",
    "\t-h: This option shows only this message.\n",
    "",
    2,
};

// Status bmpCheck's codes leave free: a header that passes the check but
// whose bit count (4, 16, ...) the decoder cannot expand. Nothing is written
// for it rather than the spectrum of a black picture, and it is refused before
// the planes are made: bmpCheck bounds the rows only of the bit counts the
// decoder reads, so such a header can claim any size at all.
enum { kUnsupportedBitCount = 9 };

// Loads, checks and decodes the input, runs the pipeline and writes the
// output picture. Returns the program's exit status.
static int forwardTransform(const char* inputPath, const char* outputPath) {
  uint8_t* image = nullptr;
  uint32_t size = 0;
  const int loaded = bmpLoad(inputPath, &image, &size);
  if (loaded != 0) {
    std::fprintf(stderr, "'%s' read error.\n", inputPath);
    return loaded;
  }
  const int check = bmpCheck(image, size);
  if (check != 0) {
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    std::free(image);
    return check;
  }
  BmpHeader header;
  bmpHeaderRead(image, &header);
  const int32_t width = header.biWidth;
  // Two's-complement absolute value, as the decoder takes it: INT32_MIN stays
  // negative, and planeAlloc refuses it.
  const int32_t height = int32_t(header.biHeight < 0 ? 0u - uint32_t(header.biHeight)
                                                     : uint32_t(header.biHeight));
  Plane destination = nullptr, source = nullptr;
  int status = 0;
  if (!bmpBitCountSupported(header.biBitCount)) {
    std::fprintf(stderr, "Unsupported bit count. %d\n", header.biBitCount);
    std::fprintf(stderr, "'%s' unknown file\n", inputPath);
    status = kUnsupportedBitCount;
  } else if ((destination = planeAlloc(sizeof(Pixel32), width, height)) == nullptr) {
    std::fputs("Couldn't allocate memory. destination\n", stderr);
  } else if ((source = planeAlloc(sizeof(Pixel32), width, height)) == nullptr) {
    std::fputs("Couldn't allocate memory. source\n", stderr);
  } else {
    bmpDecode(image, pixelRow(source, 0));  // cannot fail: the bit count is one it expands
    status = transformImage(source, destination, width, height);
    if (status == 0) bmpWrite32(outputPath, pixelRow(destination, 0), width, height);
  }
  // The planes are the program's own; the file image goes last.
  std::free(source);
  std::free(destination);
  std::free(image);
  return status;
}

int main(int argc, char** argv) {
  const char* paths[2] = {nullptr, nullptr};
  scanCommandLine(kCommandLine, argc, argv, paths, nullptr);
  return forwardTransform(paths[0] ? paths[0] : "sample.bmp", paths[1] ? paths[1] : "dft_2D.bmp");
}
