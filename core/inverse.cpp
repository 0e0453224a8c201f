#include "speccore.h"

int idft2dToImage(Plane plane, Plane destination, int32_t width, int32_t height) {
  if (dft2d(plane, width, height, kDftInverse) != 0) return -1;
  complexToImage(plane, destination, width, height);
  return 0;
}
