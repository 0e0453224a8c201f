// Writes a small seed corpus for the fuzz targets: BMP files of every bit
// count the header check knows, in both row orders, with and without palettes
// and padding, and spectrum files of a few sizes with and without a text.
//   fuzz_seeds bmp_folder spectrum_folder
#include <cstdio>
#include <string>
#include <vector>

#include "bmpbuild.h"
#include "speccore/types.h"
#include "spectrumbuild.h"

using namespace speccore;

// W x H pixels of `bits` with `entries` palette entries; every byte of the
// rows and palette is set, so no seed is all zeros.
static Bytes seedBmp(int bits, int32_t w, int32_t h, bool topDown, size_t entries) {
  BmpBuild b;
  b.bits = bits;
  b.width = w;
  b.height = h;
  b.topDown = topDown;
  for (size_t k = 0; k < entries; ++k)
    b.palette.push_back(Pixel32{uint8_t(k * 37), uint8_t(k * 11), uint8_t(255 - k), 0});
  const size_t rowBytes = (size_t(bits) * size_t(w) + 7) / 8;
  for (int32_t y = 0; y < h; ++y) {
    Bytes row(rowBytes);
    for (size_t i = 0; i < rowBytes; ++i) row[i] = uint8_t(i * 37 + size_t(y) * 7);
    b.rows.push_back(row);
  }
  return makeBmp(b);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_seeds bmp_folder spectrum_folder\n");
    return 1;
  }
  const std::string bmpDir = argv[1], cpxDir = argv[2];
  struct Kind {
    int bits;
    size_t entries;
  } const kinds[] = {{1, 2}, {8, 0}, {8, 3}, {8, 256}, {24, 0}, {32, 0}, {4, 16}, {16, 0}};
  int n = 0;
  bool ok = true;
  for (const Kind& k : kinds)
    for (const int32_t w : {2, 3, 9})
      for (const bool topDown : {false, true})
        ok &= writeBytes(bmpDir + "/seed" + std::to_string(n++) + ".bmp",
                         seedBmp(k.bits, w, 1 + w % 4, topDown, k.entries));

  const struct {
    int32_t w, h;
    uint32_t textBytes;
  } spectra[] = {{2, 2, 0}, {3, 5, 0}, {4, 2, 4}, {8, 8, 0}, {5, 3, 6}};
  n = 0;
  for (const auto& s : spectra)
    ok &= writeBytes(cpxDir + "/seed" + std::to_string(n++) + ".dat",
                     spectrumBytes(s.w, s.h, testSpectrum(s.w, s.h), s.textBytes));
  return ok ? 0 : 1;
}
