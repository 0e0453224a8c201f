// What the library knows of each kind of BMP it reads: where the pixel rows
// and palette lie, shared by the checker (which proves they are inside the
// file) and the decoder (which reads them), and the table of the bit counts
// the decoder expands, one row each.
#ifndef SPECCORE_BMPLAYOUT_H
#define SPECCORE_BMPLAYOUT_H

#include <cstdint>

#include "speccore/bmp.h"
#include "speccore/types.h"

namespace speccore {

struct BmpLayout {
  int64_t width;        // pixels per row; the decoder reads nothing when <= 0
  int64_t rows;         // |biHeight|
  int64_t rowBytes;     // bytes of pixels in one row, padding excluded
  int64_t stride;       // rowBytes rounded up to a multiple of 4
  int64_t paletteSize;  // (bfOffBits - 54) / 4 rounded down: 50 gives -1, 0 gives -14
};

// All in 64 bits: no field of a 32-bit header can make these wrap. A row
// takes whole bytes: 9 pixels of 1 bit take 2 bytes, of 24 bits 27.
inline BmpLayout bmpLayout(const BmpHeader& h) {
  BmpLayout l;
  l.width = h.biWidth;
  l.rows = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
  const int64_t w = l.width > 0 ? l.width : 0;
  l.rowBytes = (w * h.biBitCount + 7) / 8;
  l.stride = (l.rowBytes + 3) & ~int64_t(3);
  const int64_t gap = int64_t(int32_t(h.bfOffBits)) - kBmpHeaderSize;
  l.paletteSize = gap >= 0 ? gap / 4 : -((-gap + 3) / 4);
  return l;
}

// One bit count the decoder expands.
struct BmpVariant {
  int bitCount;
  // bmpCheck's rule for where the pixels start, and so for the palette
  // before them: kStatusOk, or the refusal code after its line (if any).
  int (*checkOffset)(const BmpHeader& h);
  // Expands the l.width pixels of the row at `row` into `out`. `image` is
  // the whole checked file, for the palette.
  void (*decodeRow)(const uint8_t* image, const BmpLayout& l, const uint8_t* row, Pixel32* out);
};

// The table's row for `bitCount`, or null for a bit count the decoder does
// not expand.
const BmpVariant* bmpVariant(int bitCount);

}  // namespace speccore

#endif
