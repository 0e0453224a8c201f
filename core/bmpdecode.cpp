#include <cstring>

#include "bmplayout.h"
#include "parallel.h"
#include "speccore.h"

using namespace speccore;

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

// Palette entry k of a loaded file: 4 bytes at 54 + 4k.
static Pixel32 paletteEntry(const uint8_t* image, int64_t k) {
  Pixel32 p;
  std::memcpy(&p, image + kBmpHeaderSize + 4 * k, sizeof p);
  return p;
}

bool bmpBitCountSupported(int bitCount) {
  return bitCount == 32 || bitCount == 24 || bitCount == 8 || bitCount == 1;
}

// The rows of a checked image whose bit count the decoder expands.
static void decodeRows(const uint8_t* image, const BmpHeader& h, const BmpLayout& l, Pixel32* out) {
  const int bits = h.biBitCount;
  if (l.rows == 0 || l.width <= 0) return;
  const int64_t width = l.width, rows = l.rows, stride = l.stride;
  Pixel32 zero = {0, 0, 0, 0};
  Pixel32 bitClear = zero, bitSet = zero;
  if (bits == 1) {
    bitClear = paletteEntry(image, 0);
    bitSet = paletteEntry(image, 1);
  }

  for (int64_t i = 0; i < rows; ++i) {
    // Output row 0 is the bottom of the picture whichever way the file runs.
    const int64_t k = h.biHeight > 0 ? i : rows - 1 - i;
    const uint8_t* src = image + h.bfOffBits + k * stride;
    Pixel32* dst = out + i * width;
    switch (bits) {
      case 32:
        std::memcpy(dst, src, size_t(width) * 4);
        break;
      case 24:
        for (int64_t j = 0; j < width; ++j) {
          dst[j].blue = src[3 * j];
          dst[j].green = src[3 * j + 1];
          dst[j].red = src[3 * j + 2];
          dst[j].reserved = 0;
        }
        break;
      case 8:
        for (int64_t j = 0; j < width; ++j)
          dst[j] = src[j] < l.paletteSize ? paletteEntry(image, src[j]) : zero;
        break;
      default:  // 1 bit: the most significant bit is the leftmost pixel
        for (int64_t j = 0; j < width; ++j)
          dst[j] = (src[j / 8] & (0x80 >> (j % 8))) ? bitSet : bitClear;
        break;
    }
  }
}

int bmpDecode(const uint8_t* image, Pixel32* out) {
  if (image == nullptr || out == nullptr) return 1;
  BmpHeader h;
  bmpHeaderRead(image, &h);
  if (!bmpBitCountSupported(h.biBitCount)) return 1;
  decodeRows(image, h, bmpLayout(h), out);
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
  const BmpLayout l = bmpLayout(h);
  picture->pixels = nullptr;
  picture->bitCount = h.biBitCount;
  picture->width = h.biWidth;
  // |biHeight| below 2^31 fits; -2^31 stays negative, which planeAlloc refuses.
  picture->height = int32_t(l.rows <= INT32_MAX ? l.rows : INT32_MIN);
  if (!bmpBitCountSupported(h.biBitCount)) return kStatusBitCount;
  picture->pixels = planeAlloc(sizeof(Pixel32), picture->width, picture->height);
  if (picture->pixels == nullptr) return kStatusMemory;
  decodeRows(image, h, l, pixelRow(picture->pixels, 0));
  return kStatusOk;
}
