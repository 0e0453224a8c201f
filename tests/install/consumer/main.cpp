// Transforms a 4 x 2 picture with the installed library, checks two
// coefficients and writes the spectrum to consumer.dat for the installed
// programs to read; prints the version the installed header gives. It has a
// Complex and a planeAlloc of its own, as any program may: the library's
// names are in their namespace.
#include <speccore.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

struct Complex {
  float real, imaginary;
};

static int planeAlloc(Complex* c) { return c != nullptr ? 0 : 1; }

int main() {
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, "%d.%d.%d", SPECCORE_VERSION_MAJOR, SPECCORE_VERSION_MINOR,
                SPECCORE_VERSION_PATCH);
  if (std::strcmp(numbers, SPECCORE_VERSION) != 0) {
    std::fprintf(stderr, "consumer: version %s, numbers %s\n", SPECCORE_VERSION, numbers);
    return 1;
  }
  Complex own = {1.0f, 2.0f};
  const int32_t width = 4, height = 2;
  speccore::Plane plane = speccore::planeAlloc(sizeof(speccore::Complex), width, height);
  if (plane == nullptr || planeAlloc(&own) != 0) return 1;
  const double levels[2][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      speccore::complexRow(plane, y)[x] = speccore::Complex{levels[y][x], 0.0};
  int status = speccore::dft2d(plane, width, height, speccore::kDftForward);
  // F(0, 0) is the sum of the levels; F(0, 1) the top row's sum minus the bottom's.
  const speccore::Complex dc = speccore::complexRow(plane, 0)[0];
  const speccore::Complex row = speccore::complexRow(plane, 1)[0];
  if (status != speccore::kStatusOk || dc.re != 36.0 || dc.im != 0.0 || row.re != -16.0) {
    std::fprintf(stderr, "consumer: unexpected transform (%g, %g) (%g)\n", dc.re, dc.im, row.re);
    status = 1;
  } else {
    status = speccore::writeSpectrumFile("consumer.dat", nullptr, speccore::complexRow(plane, 0),
                                         width, height);
  }
  std::free(plane);
  if (status != 0) return 1;
  std::printf("speccore %s\n", SPECCORE_VERSION);
  return 0;
}
