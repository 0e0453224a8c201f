#include "spectruminput.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

uint8_t* spectrumInputLoad(const char* path, uint32_t* size, int* status) {
  *size = 0;
  *status = 0;
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
    return nullptr;
  }
  uint8_t* file = readSpectrumFile(path, size);
  if (file == nullptr) std::fprintf(stderr, "'%s' read error.\n", path);
  return file;
}

bool spectrumWorkOpen(const char* path, SpectrumWork* work, int* status) {
  uint32_t size = 0;
  work->file = spectrumInputLoad(path, &size, status);
  if (work->file == nullptr) return false;
  // The size loaded, not the one queried before, bounds what may be read:
  // the file can have changed in between.
  if (checkSpectrumHeader(work->file, size) != 0) {
    std::fprintf(stderr, "'%s' unknown file\n", path);
    *status = 1;
    return false;
  }
  CpxHeader header;
  cpxHeaderRead(work->file, &header);
  work->width = header.cxWidth;
  work->height = header.cxHeight;
  work->pixels = planeAlloc(sizeof(Pixel32), work->width, work->height);
  if (work->pixels == nullptr) {
    std::fputs("Couldn't allocate memory. destination\n", stderr);
    return false;
  }
  work->samples = planeWrap(spectrumSamples(work->file), sizeof(Complex), work->width, work->height);
  if (work->samples == nullptr) {
    std::fputs("Couldn't allocate memory. source\n", stderr);
    return false;
  }
  return true;
}

void spectrumWorkFree(SpectrumWork* work) {
  std::free(work->samples);
  std::free(work->pixels);
  std::free(work->file);
  *work = SpectrumWork();
}
