#include "bmpinput.h"

#include <cstdio>
#include <cstdlib>

#include "commandline.h"
#include "speccore/status.h"

using namespace speccore;

int bmpInputLoad(const char* path, uint8_t** image) {
  uint32_t size = 0;
  int status = bmpLoad(path, image, &size);
  if (status != kStatusOk) {
    std::fprintf(stderr, "'%s' read error.\n", path);
    return exitStatusOf(status);
  }
  status = bmpCheck(*image, size);
  if (status != kStatusOk) {
    std::fprintf(stderr, "'%s' unknown file\n", path);
    std::free(*image);
    *image = nullptr;
    return exitStatusOf(status);
  }
  return status;
}

int bmpInputDecodeLoaded(const char* path, uint8_t* image, BmpPicture* picture) {
  const int status = bmpDecodePicture(image, picture);
  // The decoded picture is all a program needs of the file.
  std::free(image);
  if (status == kStatusBitCount) {
    // Nothing is done rather than something with a black picture.
    std::fprintf(stderr, "Unsupported bit count. %d\n", picture->bitCount);
    std::fprintf(stderr, "'%s' unknown file\n", path);
  } else if (status == kStatusMemory) {
    std::fputs("Couldn't allocate memory. destination\n", stderr);
  }
  return exitStatusOf(status);
}

int bmpInputDecode(const char* path, BmpPicture* picture) {
  *picture = BmpPicture{nullptr, 0, 0, 0};
  uint8_t* image = nullptr;
  const int status = bmpInputLoad(path, &image);
  return status == kStatusOk ? bmpInputDecodeLoaded(path, image, picture) : status;
}
