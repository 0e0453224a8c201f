#include "spectruminput.h"

#include <sys/stat.h>

#include <cstdio>

#include "speccore.h"

uint8_t* spectrumInputLoad(const char* path, uint32_t* size, int* status) {
  *size = 0;
  struct stat st;
  const int query = stat(path, &st);
  if (query != 0) {
    std::fprintf(stderr, "'%s' stat error.\n", path);
    *status = query;
    return nullptr;
  }
  // Compared in the width stat gives, so a file of 4 GiB and a few bytes is
  // not taken for a few bytes; files too large to load are refused by the loader.
  if (int64_t(st.st_size) < kCpxHeaderSize) {
    std::fprintf(stderr, "'%s' size error.\n", path);
    *status = 0;
    return nullptr;
  }
  uint8_t* file = readSpectrumFile(path, size);
  if (file == nullptr) {
    std::fprintf(stderr, "'%s' read error.\n", path);
    *status = 0;
  }
  return file;
}
