#include "speccore/spectrumfile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bytes.h"
#include "fileio.h"
#include "report.h"
#include "speccore/output.h"
#include "speccore/plane.h"
#include "speccore/status.h"

namespace speccore {

void cpxHeaderRead(const uint8_t* b, CpxHeader* h) {
  if (b == nullptr || h == nullptr) return;
  h->cxType = read32le(b + 0);
  h->zero = int32_t(read32le(b + 4));
  h->cxSize = int32_t(read32le(b + 8));
  h->cxDataByte = int32_t(read32le(b + 12));
  h->cxOffByts = int32_t(read32le(b + 16));
  h->cxSizeData = int32_t(read32le(b + 20));
  h->cxWidth = int32_t(read32le(b + 24));
  h->cxHeight = int32_t(read32le(b + 28));
}

// The terminating zero of a text is part of the file.
static size_t textBytes(const char* text) {
  return (text != nullptr && text[0] != '\0') ? std::strlen(text) + 1 : 0;
}

int spectrumFileSizeCheck(const char* path, int32_t width, int32_t height, size_t textLength) {
  // Every size in the header is a signed 32-bit count: refuse what it cannot
  // describe rather than write a header that lies about the samples. The text
  // is measured first, so the room left for samples is a count from 0 to
  // 2^31; the sample count is below 2^62 and compared with the samples that
  // fit, so nothing wraps (times 16 it could: 2^31 - 1 squared is near 2^62).
  const bool textFits = textLength <= size_t(INT32_MAX) - kCpxHeaderSize;
  const int64_t room = textFits ? int64_t(INT32_MAX) - kCpxHeaderSize - int64_t(textLength) : 0;
  if (width < 1 || height < 1 || !textFits ||
      int64_t(width) * height > room / int64_t(sizeof(Complex))) {
    report("File '%s' cannot create. unsupported size(%d x %d)", path != nullptr ? path : "(null)",
           width, height);
    return kStatusOutput;
  }
  return kStatusOk;
}

int writeSpectrumTo(OutputFile* out, const char* text, const Complex* samples, int32_t width,
                    int32_t height) {
  if (out == nullptr) return kStatusOutput;
  const size_t textLength = textBytes(text);
  if (spectrumFileSizeCheck(out->path, width, height, textLength) != kStatusOk)
    return kStatusOutput;
  const uint32_t sampleBytes = uint32_t(width) * uint32_t(height) * uint32_t(sizeof(Complex));
  const uint32_t offset = kCpxHeaderSize + uint32_t(textLength);
  uint8_t header[kCpxHeaderSize];
  write32le(header + 0, kCpxType);
  write32le(header + 4, 0);
  write32le(header + 8, offset + sampleBytes);
  write32le(header + 12, sizeof(Complex));
  write32le(header + 16, offset);
  write32le(header + 20, sampleBytes);
  write32le(header + 24, uint32_t(width));
  write32le(header + 28, uint32_t(height));
  // Samples are written as they lie in memory: a Complex has the file's layout.
  outputWrite(out, header, sizeof header);
  outputWrite(out, text, textLength);
  outputWrite(out, samples, sampleBytes);
  return outputClose(out);
}

int writeSpectrumFile(const char* path, const char* text, const Complex* samples, int32_t width,
                      int32_t height) {
  // Refused before anything is created, so no temporary comes and goes.
  if (spectrumFileSizeCheck(path, width, height, textBytes(text)) != kStatusOk) return -1;
  OutputFile out;
  if (outputOpen(&out, path) != kStatusOk) return -1;
  if (writeSpectrumTo(&out, text, samples, width, height) != kStatusOk ||
      outputCommit(&out) != kStatusOk) {
    outputDiscard(&out);
    return -1;
  }
  return 0;
}

uint8_t* readSpectrumFile(const char* path, uint32_t* loadedSize, int* status) {
  uint8_t* block = nullptr;
  uint32_t size = 0;
  // No minimum size here: the callers judge the size before loading. The 32
  // spare bytes after the content are never read.
  const int loaded = path != nullptr ? loadWholeFile(path, -1, 32, &block, &size) : kStatusOpen;
  if (loadedSize != nullptr) *loadedSize = size;
  if (status != nullptr) *status = loaded;
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

int spectrumViewOpen(uint8_t* file, uint32_t size, SpectrumView* view) {
  if (view == nullptr) return kStatusArgument;
  *view = SpectrumView();
  // The size loaded, not one asked before, bounds what may be read: the file
  // can have changed in between.
  if (checkSpectrumHeader(file, size) != 0) return kStatusNotSpectrum;
  CpxHeader header;
  cpxHeaderRead(file, &header);
  view->width = header.cxWidth;
  view->height = header.cxHeight;
  view->samples = planeWrap(spectrumSamples(file), sizeof(Complex), view->width, view->height);
  return view->samples != nullptr ? kStatusOk : kStatusMemory;
}

Complex* spectrumSamples(uint8_t* file) {
  if (file == nullptr) return nullptr;
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

char* spectrumText(const uint8_t* file, uint32_t size) {
  if (file == nullptr) size = 0;
  int64_t end = size;
  if (size >= kCpxHeaderSize) {
    CpxHeader h;
    cpxHeaderRead(file, &h);
    end = std::min<int64_t>(end, h.cxOffByts);
  }
  size_t length = 0;
  while (kCpxHeaderSize + int64_t(length) < end && file[kCpxHeaderSize + length] != 0) ++length;
  char* text = static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) return nullptr;
  if (length > 0) std::memcpy(text, file + kCpxHeaderSize, length);
  text[length] = '\0';
  return text;
}

}  // namespace speccore
