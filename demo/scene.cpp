// Writes the demo picture: an orange rectangle on a dark, grainy ground
// crossed by a faint diagonal grating. The rectangle's spectrum is a sinc
// cross, the grating's a pair of sharp peaks. The grain, as in a photograph,
// lifts every coefficient well above magnitude 1 so that the log scale shows
// a smooth floor instead of isolated near-zero terms.
#include <cmath>
#include <cstdio>
#include <vector>

#include "speccore/bmp.h"
#include "speccore/types.h"

using namespace speccore;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scene output_bmp\n");
    return 1;
  }
  const int32_t width = 256, height = 192;
  // Whole numbers of cycles across the picture put the grating's energy into
  // exactly two coefficients: (24, 16) and its mirror.
  const double cyclesX = 24, cyclesY = 16;
  std::vector<Pixel32> pixels(size_t(width) * height);
  uint32_t seed = 12345;  // a fixed linear congruential sequence: same picture every run
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const double phase = 6.283185307179586 * (cyclesX * x / width + cyclesY * y / height);
      seed = seed * 1664525u + 1013904223u;
      const int grain = int(seed >> 28) - 8;  // -8 .. 7
      const uint8_t ground = uint8_t(std::lround(56 + 24 * std::cos(phase)) + grain);
      const bool inRectangle = x >= 110 && x < 147 && y >= 85 && y < 108;
      pixels[size_t(y) * width + x] =
          inRectangle ? Pixel32{uint8_t(40 + grain), uint8_t(160 + grain), uint8_t(240 + grain), 0}
                      : Pixel32{ground, ground, ground, 0};
    }
  }
  return bmpWrite32(argv[1], pixels.data(), width, height) == 0 ? 0 : 1;
}
