// Writes a small seed corpus for the fuzz targets: BMP files of every bit
// count the header check knows, in both row orders, with and without palettes
// and padding, and spectrum files of a few sizes with and without a text.
//   fuzz_seeds bmp_folder spectrum_folder
#include <cstdio>
#include <string>
#include <vector>

#include "speccore.h"

static void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

static bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), bytes.size(), 1, f) == 1;
  return std::fclose(f) == 0 && ok;
}

// W x H pixels of `bits` with `entries` palette entries, rows padded to 4.
static std::vector<uint8_t> bmp(int bits, int32_t w, int32_t h, bool topDown, uint32_t entries) {
  const uint32_t stride = uint32_t((int64_t(bits) * w + 31) / 32 * 4), offset = 54 + 4 * entries;
  std::vector<uint8_t> b(offset + stride * uint32_t(h));
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, uint32_t(b.size()));
  put32(b, 10, offset);
  put32(b, 14, 40);
  put32(b, 18, uint32_t(w));
  put32(b, 22, uint32_t(topDown ? -h : h));
  b[26] = 1;
  b[28] = uint8_t(bits);
  put32(b, 34, stride * uint32_t(h));
  for (size_t i = 54; i < b.size(); ++i) b[i] = uint8_t(i * 37 + i / 7);
  return b;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_seeds bmp_folder spectrum_folder\n");
    return 1;
  }
  const std::string bmpDir = argv[1], cpxDir = argv[2];
  struct Kind {
    int bits;
    uint32_t entries;
  } const kinds[] = {{1, 2}, {8, 0}, {8, 3}, {8, 256}, {24, 0}, {32, 0}, {4, 16}, {16, 0}};
  int n = 0;
  bool ok = true;
  for (const Kind& k : kinds)
    for (const int32_t w : {2, 3, 9})
      for (const bool topDown : {false, true})
        ok &= writeFile(bmpDir + "/seed" + std::to_string(n++) + ".bmp",
                        bmp(k.bits, w, 1 + w % 4, topDown, k.entries));

  const struct {
    int32_t w, h;
    const char* text;
  } spectra[] = {{2, 2, nullptr}, {3, 5, nullptr}, {4, 2, "abc"}, {8, 8, nullptr}, {5, 3, "notes"}};
  n = 0;
  for (const auto& s : spectra) {
    std::vector<Complex> samples(size_t(s.w) * size_t(s.h));
    for (size_t i = 0; i < samples.size(); ++i)
      samples[i] = Complex{double(i % 5) * 1000.0 - 0.5 * double(i), double(i * i % 7)};
    const std::string path = cpxDir + "/seed" + std::to_string(n++) + ".dat";
    ok &= writeSpectrumFile(path.c_str(), s.text, samples.data(), s.w, s.h) == 0;
  }
  return ok ? 0 : 1;
}
