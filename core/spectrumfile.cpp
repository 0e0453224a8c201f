#include <cstdint>
#include <cstdio>
#include <cstring>

#include "bytes.h"
#include "fileio.h"
#include "speccore.h"

using namespace speccore;

void cpxHeaderRead(const uint8_t* b, CpxHeader* h) {
  h->cxType = read32le(b + 0);
  h->zero = int32_t(read32le(b + 4));
  h->cxSize = int32_t(read32le(b + 8));
  h->cxDataByte = int32_t(read32le(b + 12));
  h->cxOffByts = int32_t(read32le(b + 16));
  h->cxSizeData = int32_t(read32le(b + 20));
  h->cxWidth = int32_t(read32le(b + 24));
  h->cxHeight = int32_t(read32le(b + 28));
}

int writeSpectrumFile(const char* path, const char* text, const Complex* samples, int32_t width,
                      int32_t height) {
  // The terminating zero of a text is part of the file.
  const size_t textLength = (text != nullptr && text[0] != '\0') ? std::strlen(text) + 1 : 0;
  const int64_t sampleBytes = int64_t(width) * height * int64_t(sizeof(Complex));
  // Every size in the header is a signed 32-bit count: refuse what it cannot
  // describe rather than write a header that lies about the samples.
  if (width < 1 || height < 1 || sampleBytes + kCpxHeaderSize + int64_t(textLength) > INT32_MAX) {
    std::fprintf(stderr, "File '%s' cannot create. unsupported size(%d x %d)\n", path, width, height);
    return -1;
  }
  const uint32_t offset = kCpxHeaderSize + uint32_t(textLength);
  uint8_t header[kCpxHeaderSize];
  write32le(header + 0, kCpxType);
  write32le(header + 4, 0);
  write32le(header + 8, offset + uint32_t(sampleBytes));
  write32le(header + 12, sizeof(Complex));
  write32le(header + 16, offset);
  write32le(header + 20, uint32_t(sampleBytes));
  write32le(header + 24, uint32_t(width));
  write32le(header + 28, uint32_t(height));

  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "File '%s' cannot create.\n", path);
    return -1;
  }
  // Samples are written as they lie in memory: a Complex has the file's layout.
  int status = 0;
  if (std::fwrite(header, sizeof header, 1, f) != 1 ||
      (textLength > 0 && std::fwrite(text, textLength, 1, f) != 1) ||
      std::fwrite(samples, size_t(sampleBytes), 1, f) != 1)
    status = -1;
  std::fclose(f);
  return status;
}

uint8_t* readSpectrumFile(const char* path, uint32_t* loadedSize) {
  uint8_t* block;
  uint32_t size;
  // No minimum size here: the callers judge the size before loading. The 32
  // spare bytes after the content are never read.
  if (loadWholeFile(path, -1, 32, &block, &size) != kStatusOk) return nullptr;
  if (loadedSize != nullptr) *loadedSize = size;
  return block;
}

int checkSpectrumHeader(const uint8_t* file, uint32_t size) {
  if (file == nullptr || size < kCpxHeaderSize) return 1;
  CpxHeader h;
  cpxHeaderRead(file, &h);
  if (h.cxType != kCpxType) return 1;
  if (h.cxWidth <= 1 || h.cxHeight <= 1) return 1;
  // The product of two positive 32-bit values fits in 64 bits, but times 16
  // it may not (2^31 - 1 squared is near 2^62): the sample count is compared
  // with the samples the file can hold instead of its byte count with the size.
  const int64_t samples = int64_t(h.cxWidth) * h.cxHeight;
  if (samples > (int64_t(size) - kCpxHeaderSize) / int64_t(sizeof(Complex))) return 1;
  const int64_t sampleBytes = samples * int64_t(sizeof(Complex));  // below 2^32 now
  // The samples are read from cxOffByts, which the size rule above does not
  // cover: a file whose samples start before its beginning or end past its
  // last byte is no usable spectrum.
  if (h.cxOffByts < 0 || int64_t(h.cxOffByts) + sampleBytes > int64_t(size)) return 1;
  return 0;
}

Complex* spectrumSamples(uint8_t* file) {
  CpxHeader h;
  cpxHeaderRead(file, &h);
  const size_t bytes = size_t(h.cxWidth) * size_t(h.cxHeight) * sizeof(Complex);
  uint8_t* samples = file + h.cxOffByts;
  // Reading doubles at an unaligned address is undefined (and a fault on some
  // processors). The loaded block comes from malloc, aligned for any type, so
  // the misalignment is at most cxOffByts and rounding down never leaves the
  // block; memmove copes with the overlap. The samples are the caller's to
  // change in memory anyway.
  const size_t misalignment = reinterpret_cast<uintptr_t>(samples) % alignof(Complex);
  if (misalignment != 0) {
    std::memmove(samples - misalignment, samples, bytes);
    samples -= misalignment;
  }
  return reinterpret_cast<Complex*>(samples);
}
