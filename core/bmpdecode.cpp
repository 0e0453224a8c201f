#include <cstring>

#include "bmplayout.h"
#include "parallel.h"
#include "report.h"
#include "speccore/bmp.h"
#include "speccore/plane.h"
#include "speccore/status.h"

namespace speccore {

int pixelToGray(Pixel32 p) {
  // The weights add up to 1024, so equal red, green and blue keep their value.
  return (306 * p.red + 601 * p.green + 117 * p.blue) >> 10;
}

void pictureToGray(Plane picture, Plane samples, int32_t width, int32_t height, int threads) {
  if (picture == nullptr || samples == nullptr || width < 1 || height < 1) return;
  parallelRows(height, threads, [&](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      Pixel32* pixels = pixelRow(picture, y);
      Complex* out = complexRow(samples, y);
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t g = uint8_t(pixelToGray(pixels[x]));
        out[x] = Complex{double(g), 0.0};
        pixels[x] = Pixel32{g, g, g, 0};
      }
    }
  });
}

namespace {

// ---- The bit counts the decoder expands ------------------------------------
// Each row of kVariants says where its pixels must start (bmpCheck refuses
// the file otherwise) and how one row of pixels becomes Pixel32s. bmpCheck
// proves for every row of the table that the rows it describes lie inside the
// file; a bit count outside the table passes the check and is declined by
// the decoder.

// Palette entry k of a loaded file: 4 bytes at 54 + 4k.
Pixel32 paletteEntry(const uint8_t* image, int64_t k) {
  Pixel32 p;
  std::memcpy(&p, image + kBmpHeaderSize + 4 * k, sizeof p);
  return p;
}

// True colour: the pixels follow the header, with no palette.
int offset32(const BmpHeader& h) {
  return h.bfOffBits == kBmpHeaderSize ? kStatusOk : kBmp32BitOffset;
}
int offset24(const BmpHeader& h) {
  return h.bfOffBits == kBmpHeaderSize ? kStatusOk : kBmp24BitOffset;
}

// 8 bits: a palette of whole 4-byte entries, of any number; a pixel past its
// end is black.
int offset8(const BmpHeader& h) {
  if (((h.bfOffBits - kBmpHeaderSize) & 3) == 0) return kStatusOk;
  report("Unexpected lut size. %d, %d", int32_t(h.bfOffBits), int(bmpLayout(h).paletteSize));
  return kBmp8BitPalette;
}

// 1 bit: a palette of exactly 2 entries.
int offset1(const BmpHeader& h) {
  if (h.bfOffBits == kBmpHeaderSize + 8) return kStatusOk;
  report("Unexpected, requirement is 2, lut size. %d, %d", int32_t(h.bfOffBits),
         int(bmpLayout(h).paletteSize));
  return kBmp1BitPalette;
}

void row32(const uint8_t*, const BmpLayout& l, const uint8_t* row, Pixel32* out) {
  std::memcpy(out, row, size_t(l.width) * 4);
}

void row24(const uint8_t*, const BmpLayout& l, const uint8_t* row, Pixel32* out) {
  for (int64_t j = 0; j < l.width; ++j)
    out[j] = Pixel32{row[3 * j], row[3 * j + 1], row[3 * j + 2], 0};
}

void row8(const uint8_t* image, const BmpLayout& l, const uint8_t* row, Pixel32* out) {
  for (int64_t j = 0; j < l.width; ++j)
    out[j] = row[j] < l.paletteSize ? paletteEntry(image, row[j]) : Pixel32{0, 0, 0, 0};
}

// The most significant bit is the leftmost pixel.
void row1(const uint8_t* image, const BmpLayout& l, const uint8_t* row, Pixel32* out) {
  const Pixel32 clear = paletteEntry(image, 0), set = paletteEntry(image, 1);
  for (int64_t j = 0; j < l.width; ++j) out[j] = (row[j / 8] & (0x80 >> (j % 8))) ? set : clear;
}

const BmpVariant kVariants[] = {
    {32, offset32, row32},
    {24, offset24, row24},
    {8, offset8, row8},
    {1, offset1, row1},
};

// The rows of a checked image of a variant of the table.
void decodeRows(const uint8_t* image, const BmpHeader& h, const BmpVariant& variant, Pixel32* out) {
  const BmpLayout l = bmpLayout(h);
  if (l.rows == 0 || l.width <= 0) return;
  for (int64_t i = 0; i < l.rows; ++i) {
    // Output row 0 is the bottom of the picture whichever way the file runs.
    const int64_t k = h.biHeight > 0 ? i : l.rows - 1 - i;
    variant.decodeRow(image, l, image + h.bfOffBits + k * l.stride, out + i * l.width);
  }
}

}  // namespace

const BmpVariant* bmpVariant(int bitCount) {
  for (const BmpVariant& v : kVariants)
    if (v.bitCount == bitCount) return &v;
  return nullptr;
}

bool bmpBitCountSupported(int bitCount) { return bmpVariant(bitCount) != nullptr; }

int bmpDecode(const uint8_t* image, Pixel32* out) {
  if (image == nullptr || out == nullptr) return 1;
  BmpHeader h;
  bmpHeaderRead(image, &h);
  const BmpVariant* variant = bmpVariant(h.biBitCount);
  if (variant == nullptr) return 1;
  decodeRows(image, h, *variant, out);
  return 0;
}

int bmpDecodePicture(const uint8_t* image, BmpPicture* picture) {
  if (picture == nullptr) return kBmpNoImage;
  if (image == nullptr) {
    *picture = BmpPicture{nullptr, 0, 0, 0};
    return kBmpNoImage;
  }
  BmpHeader h;
  bmpHeaderRead(image, &h);
  const int64_t rows = bmpLayout(h).rows;
  picture->pixels = nullptr;
  picture->bitCount = h.biBitCount;
  picture->width = h.biWidth;
  // |biHeight| below 2^31 fits; -2^31 stays negative, which planeAlloc refuses.
  picture->height = int32_t(rows <= INT32_MAX ? rows : INT32_MIN);
  const BmpVariant* variant = bmpVariant(h.biBitCount);
  if (variant == nullptr) return kStatusBitCount;
  picture->pixels = planeAlloc(sizeof(Pixel32), picture->width, picture->height);
  if (picture->pixels == nullptr) return kStatusMemory;
  decodeRows(image, h, *variant, pixelRow(picture->pixels, 0));
  return kStatusOk;
}

}  // namespace speccore
