// Transforms a 4 x 2 picture with the installed library, checks two
// coefficients and writes the spectrum to consumer.dat for the installed
// programs to read; prints the version the installed header gives.
#include <speccore.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main() {
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, "%d.%d.%d", SPECCORE_VERSION_MAJOR, SPECCORE_VERSION_MINOR,
                SPECCORE_VERSION_PATCH);
  if (std::strcmp(numbers, SPECCORE_VERSION) != 0) {
    std::fprintf(stderr, "consumer: version %s, numbers %s\n", SPECCORE_VERSION, numbers);
    return 1;
  }
  const int32_t width = 4, height = 2;
  Plane plane = planeAlloc(sizeof(Complex), width, height);
  if (plane == nullptr) return 1;
  const double levels[2][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) complexRow(plane, y)[x] = Complex{levels[y][x], 0.0};
  int status = dft2d(plane, width, height, kDftForward);
  // F(0, 0) is the sum of the levels; F(0, 1) the top row's sum minus the bottom's.
  const Complex dc = complexRow(plane, 0)[0], row = complexRow(plane, 1)[0];
  if (status != 0 || dc.re != 36.0 || dc.im != 0.0 || row.re != -16.0) {
    std::fprintf(stderr, "consumer: unexpected transform (%g, %g) (%g)\n", dc.re, dc.im, row.re);
    status = 1;
  } else {
    status = writeSpectrumFile("consumer.dat", nullptr, complexRow(plane, 0), width, height);
  }
  std::free(plane);
  if (status != 0) return 1;
  std::printf("speccore %s\n", SPECCORE_VERSION);
  return 0;
}
