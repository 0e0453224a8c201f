// BMP files built in memory for the tests and the fuzz seeds: a 54-byte header, an optional
// palette, and rows padded to four bytes in either row order. Header fields
// can be overwritten afterwards with setField.
#ifndef BMPBUILD_H
#define BMPBUILD_H

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "filebytes.h"
#include "speccore/bmp.h"
#include "speccore/types.h"

// Offsets of the header fields.
enum BmpField : size_t {
  kBfType = 0,
  kBfSize = 2,
  kBfReserved1 = 6,
  kBfReserved2 = 8,
  kBfOffBits = 10,
  kBiSize = 14,
  kBiWidth = 18,
  kBiHeight = 22,
  kBiPlanes = 26,
  kBiBitCount = 28,
  kBiCompression = 30,
  kBiSizeImage = 34,
  kBiXPelsPerMeter = 38,
  kBiYPelsPerMeter = 42,
  kBiClrUsed = 46,
  kBiClrImportant = 50,
};

inline bool isField16(BmpField f) {
  return f == kBfType || f == kBfReserved1 || f == kBfReserved2 || f == kBiPlanes ||
         f == kBiBitCount;
}

inline void setField(Bytes& file, BmpField f, uint32_t value) {
  if (isField16(f))
    putLe16(file, f, value);
  else
    putLe32(file, f, value);
}

// Bytes from one row start to the next: the row's bits rounded up to 32.
inline uint32_t bmpStride(int bits, int32_t width) {
  return uint32_t((uint64_t(bits) * uint64_t(width) + 31) / 32 * 4);
}

struct BmpBuild {
  int bits = 24;
  int32_t width = 1;
  int32_t height = 1;       // row count; the header gets -height when topDown
  bool topDown = false;     // rows stored top row first
  std::vector<Bytes> rows;  // picture rows, bottom first, unpadded; missing bytes are 0
  std::vector<speccore::Pixel32> palette;  // entries written from offset 54 on
  uint8_t pad = 0xA5;                      // value of every padding byte after a row
};

inline Bytes makeBmp(const BmpBuild& b) {
  const uint32_t stride = bmpStride(b.bits, b.width);
  const uint32_t rowBytes = uint32_t((uint64_t(b.bits) * uint64_t(b.width) + 7) / 8);
  const uint32_t offBits = uint32_t(speccore::kBmpHeaderSize + 4 * b.palette.size());
  const uint32_t n = uint32_t(b.height);
  Bytes file(offBits + stride * n, 0);
  file[0] = 'B';
  file[1] = 'M';
  setField(file, kBfSize, uint32_t(file.size()));
  setField(file, kBfOffBits, offBits);
  setField(file, kBiSize, 40);
  setField(file, kBiWidth, uint32_t(b.width));
  setField(file, kBiHeight, uint32_t(b.topDown ? -b.height : b.height));
  setField(file, kBiPlanes, 1);
  setField(file, kBiBitCount, uint32_t(b.bits));
  setField(file, kBiSizeImage, stride * n);
  for (size_t k = 0; k < b.palette.size(); ++k) {
    const speccore::Pixel32& p = b.palette[k];
    const uint8_t entry[4] = {p.blue, p.green, p.red, p.reserved};
    std::copy(entry, entry + 4, file.begin() + speccore::kBmpHeaderSize + 4 * k);
  }
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t fileRow = b.topDown ? n - 1 - i : i;
    auto at = file.begin() + offBits + fileRow * stride;
    if (i < b.rows.size())
      std::copy_n(b.rows[i].begin(), std::min<size_t>(b.rows[i].size(), rowBytes), at);
    std::fill(at + rowBytes, at + stride, b.pad);
  }
  return file;
}

// A file of zero pixels with `paletteEntries` zero palette entries.
inline Bytes plainBmp(int bits, int32_t width, int32_t height, size_t paletteEntries = 0) {
  BmpBuild b;
  b.bits = bits;
  b.width = width;
  b.height = height < 0 ? -height : height;
  b.topDown = height < 0;
  b.palette.resize(paletteEntries);
  return makeBmp(b);
}

// `file` with the given header fields overwritten.
inline Bytes withFields(Bytes file, std::initializer_list<std::pair<BmpField, uint32_t>> fields) {
  for (const auto& f : fields) setField(file, f.first, f.second);
  return file;
}

#endif
