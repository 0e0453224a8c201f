// libFuzzer target: any bytes as a BMP file given to specfwd.
#include "fuzzpaths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzBmpPath(data, size);
  return 0;
}
