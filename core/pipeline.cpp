#include "speccore/pipeline.h"

#include <cstdlib>

#include "report.h"
#include "speccore/bmp.h"
#include "speccore/dft.h"
#include "speccore/plane.h"
#include "speccore/spectrumfile.h"
#include "speccore/status.h"

namespace speccore {

namespace {

// The first steps of both calls: the picture's gray levels as samples, not
// yet transformed. Returns as bmpFileSpectrum; *samples is null on failure.
int graySamples(const char* path, Plane* samples, int32_t* width, int32_t* height, int threads) {
  *samples = nullptr;
  *width = *height = 0;
  uint8_t* image = nullptr;
  uint32_t size = 0;
  if (path == nullptr) {
    report("'%s' open error.", "(null)");
    return kStatusOpen;
  }
  int status = bmpLoad(path, &image, &size);
  if (status != kStatusOk) return status;
  status = bmpCheck(image, size);
  BmpPicture picture = {nullptr, 0, 0, 0};
  if (status == kStatusOk) status = bmpDecodePicture(image, &picture);
  std::free(image);  // the decoded picture is all that is needed of the file
  if (status == kStatusOk) {
    *samples = planeAlloc(sizeof(Complex), picture.width, picture.height);
    if (*samples == nullptr) status = kStatusMemory;
  }
  if (status == kStatusOk) {
    pictureToGray(picture.pixels, *samples, picture.width, picture.height, threads);
    *width = picture.width;
    *height = picture.height;
  }
  std::free(picture.pixels);
  return status;
}

}  // namespace

int bmpFileSpectrum(const char* path, Plane* spectrum, int32_t* width, int32_t* height,
                    int threads) {
  if (spectrum == nullptr || width == nullptr || height == nullptr) return kStatusArgument;
  int status = graySamples(path, spectrum, width, height, threads);
  if (status == kStatusOk)
    status = dft2dThreads(*spectrum, *width, *height, kDftForward, threads, nullptr);
  if (status != kStatusOk) {
    std::free(*spectrum);
    *spectrum = nullptr;
  }
  return status;
}

int bmpFileToSpectrumFile(const char* picturePath, const char* spectrumPath, int threads) {
  if (spectrumPath == nullptr || spectrumPath[0] == '\0') {
    report("File '%s' cannot create.", spectrumPath != nullptr ? spectrumPath : "(null)");
    return kStatusOutput;
  }
  Plane samples = nullptr;
  int32_t width = 0, height = 0;
  int status = graySamples(picturePath, &samples, &width, &height, threads);
  // What the file could not hold is refused before the long work.
  if (status == kStatusOk && (width < 2 || height < 2)) status = kStatusTooSmall;
  if (status == kStatusOk && spectrumFileSizeCheck(spectrumPath, width, height, 0) != kStatusOk)
    status = kStatusOutput;
  if (status == kStatusOk)
    status = dft2dThreads(samples, width, height, kDftForward, threads, nullptr);
  if (status == kStatusOk &&
      writeSpectrumFile(spectrumPath, nullptr, complexRow(samples, 0), width, height) != 0)
    status = kStatusOutput;
  std::free(samples);
  return status;
}

}  // namespace speccore
