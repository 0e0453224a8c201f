#include "speccore/bmp.h"

#include <cstdint>

#include "bmplayout.h"
#include "bytes.h"
#include "fileio.h"
#include "report.h"
#include "speccore/output.h"
#include "speccore/status.h"

namespace speccore {

void bmpHeaderRead(const uint8_t* b, BmpHeader* h) {
  if (b == nullptr || h == nullptr) return;
  h->bfType = read16le(b + 0);
  h->bfSize = read32le(b + 2);
  h->bfReserved1 = read16le(b + 6);
  h->bfReserved2 = read16le(b + 8);
  h->bfOffBits = read32le(b + 10);
  h->biSize = read32le(b + 14);
  h->biWidth = int32_t(read32le(b + 18));
  h->biHeight = int32_t(read32le(b + 22));
  h->biPlanes = read16le(b + 26);
  h->biBitCount = read16le(b + 28);
  h->biCompression = read32le(b + 30);
  h->biSizeImage = read32le(b + 34);
  h->biXPelsPerMeter = int32_t(read32le(b + 38));
  h->biYPelsPerMeter = int32_t(read32le(b + 42));
  h->biClrUsed = read32le(b + 46);
  h->biClrImportant = read32le(b + 50);
}

int bmpLoad(const char* path, uint8_t** image, uint32_t* size) {
  // A file must hold more than its 54-byte header.
  return loadWholeFile(path, kBmpHeaderSize, 0, image, size);
}

// True when every byte that bmpDecode reads lies inside the loaded image: the
// rows from bfOffBits on, up to the last pixel of the last row. The palette of
// 8-bit and 1-bit files lies between byte 54 and bfOffBits, so it is covered
// once the first row is. The row count is divided into the room left rather
// than multiplied by the stride, so no header value can make the test wrap.
static bool rowsInside(const BmpHeader& h, uint32_t size) {
  const BmpLayout l = bmpLayout(h);
  if (l.width <= 0 || l.rows == 0) return true;  // the decoder reads no pixel
  const int64_t room = int64_t(size) - int64_t(h.bfOffBits) - l.rowBytes;
  return room >= 0 && l.rows - 1 <= room / l.stride;
}

int bmpCheck(const uint8_t* image, uint32_t size) {
  if (image == nullptr || size < kBmpHeaderSize + 1) return kBmpNoImage;
  BmpHeader h;
  bmpHeaderRead(image, &h);
  if (h.bfType != 0x4D42 || h.bfReserved1 != 0 || h.bfReserved2 != 0) return kBmpNotBmp;
  if (h.biPlanes != 1 || h.biCompression != 0) return kBmpCompressed;
  if (h.biSizeImage != 0) {
    // Unsigned 32-bit arithmetic that wraps, row padding not counted.
    uint32_t rows = uint32_t(h.biHeight);
    if (h.biHeight < 0) rows = 0u - rows;
    const uint32_t unpadded = rows * uint32_t(h.biWidth) * uint32_t(h.biBitCount >> 3);
    if (h.biSizeImage < unpadded || size < h.biSizeImage + h.bfOffBits) return kBmpSizeMismatch;
  }
  // A bit count the decoder does not expand is accepted here and declined there.
  const BmpVariant* variant = bmpVariant(h.biBitCount);
  if (variant == nullptr) return kStatusOk;
  const int offset = variant->checkOffset(h);
  if (offset != kStatusOk) return offset;
  // The tests above leave gaps (no size test when biSizeImage is 0, wrapping
  // arithmetic, padding and 1-bit rows not counted), so the rows the decoder
  // will read are proved to lie inside the file before it is accepted.
  return rowsInside(h, size) ? kStatusOk : kBmpSizeMismatch;
}

int bmpWrite32To(OutputFile* out, const void* pixels, int32_t width, int32_t height) {
  if (out == nullptr) return kStatusOutput;
  const int64_t rows = height < 0 ? -int64_t(height) : int64_t(height);
  // bfSize is a 32-bit field: a larger picture cannot be written as a BMP,
  // and writing a wrapped count would silently drop pixels. The pixel count
  // (below 2^62) is compared with the pixels that fit, so nothing wraps.
  if (width < 0 || int64_t(width) * rows > (int64_t(UINT32_MAX) - kBmpHeaderSize) / 4) {
    report("File '%s' cannot create. unsupported size(%d x %d)", out->path, width, height);
    return kStatusOutput;
  }
  const uint32_t imageBytes = uint32_t(int64_t(width) * rows * 4);
  uint8_t header[kBmpHeaderSize] = {0};
  header[0] = 'B';
  header[1] = 'M';
  write32le(header + 2, imageBytes + kBmpHeaderSize);
  write32le(header + 10, kBmpHeaderSize);
  write32le(header + 14, 40);
  write32le(header + 18, uint32_t(width));
  write32le(header + 22, uint32_t(height));
  write16le(header + 26, 1);
  write16le(header + 28, 32);
  write32le(header + 34, imageBytes);
  // The rows are contiguous, so one write covers the picture.
  outputWrite(out, header, sizeof header);
  outputWrite(out, pixels, imageBytes);
  return outputClose(out);
}

int bmpWrite32(const char* path, const void* pixels, int32_t width, int32_t height) {
  OutputFile out;
  if (outputOpen(&out, path) != kStatusOk) return -1;
  if (bmpWrite32To(&out, pixels, width, height) != kStatusOk || outputCommit(&out) != kStatusOk) {
    outputDiscard(&out);
    return -1;
  }
  return 0;
}

}  // namespace speccore
