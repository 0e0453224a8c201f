// libFuzzer target: any bytes as a spectrum file given to specinv and specshow.
#include "fuzzpaths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzSpectrumPath(data, size);
  return 0;
}
