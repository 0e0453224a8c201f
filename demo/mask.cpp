// Writes a mask for specfilter as a paint program would leave it: a white
// picture with one black disc. Columns and rows count from the bottom-left
// pixel, as in the centred power spectrum that the disc is painted over.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "speccore/bmp.h"
#include "speccore/types.h"

using namespace speccore;

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: mask output_bmp width height column row radius\n");
    return 1;
  }
  const int32_t width = std::atoi(argv[2]), height = std::atoi(argv[3]);
  const long column = std::atol(argv[4]), row = std::atol(argv[5]), radius = std::atol(argv[6]);
  if (width < 1 || height < 1) {
    std::fprintf(stderr, "mask: no picture of %d x %d\n", width, height);
    return 1;
  }
  std::vector<Pixel32> pixels(size_t(width) * size_t(height), Pixel32{255, 255, 255, 0});
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if ((x - column) * (x - column) + (y - row) * (y - row) <= radius * radius)
        pixels[size_t(y) * size_t(width) + size_t(x)] = Pixel32{0, 0, 0, 0};
  return bmpWrite32(argv[1], pixels.data(), width, height) == 0 ? 0 : 1;
}
