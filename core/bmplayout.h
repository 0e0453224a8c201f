// Where a BMP's pixel rows and palette lie, shared by the checker (which
// proves they are inside the file) and the decoder (which reads them).
#ifndef SPECCORE_BMPLAYOUT_H
#define SPECCORE_BMPLAYOUT_H

#include "speccore.h"

namespace speccore {

struct BmpLayout {
  int64_t width;        // pixels per row; the decoder reads nothing when <= 0
  int64_t rows;         // |biHeight|
  int64_t rowBytes;     // bytes of pixels in one row, padding excluded
  int64_t stride;       // rowBytes rounded up to a multiple of 4
  int64_t paletteSize;  // (bfOffBits - 54) / 4 rounded down: 50 gives -1, 0 gives -14
};

// All in 64 bits: no field of a 32-bit header can make these wrap.
inline BmpLayout bmpLayout(const BmpHeader& h) {
  BmpLayout l;
  l.width = h.biWidth;
  l.rows = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
  const int64_t w = l.width > 0 ? l.width : 0;
  l.rowBytes = h.biBitCount == 1 ? (w + 7) / 8 : w * (h.biBitCount >> 3);
  l.stride = (l.rowBytes + 3) & ~int64_t(3);
  const int64_t gap = int64_t(int32_t(h.bfOffBits)) - kBmpHeaderSize;
  l.paletteSize = gap >= 0 ? gap / 4 : -((-gap + 3) / 4);
  return l;
}

}  // namespace speccore

#endif
