#include "fileio.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

int loadWholeFile(const char* path, int64_t minSize, uint32_t slack, uint8_t** block,
                  uint32_t* size) {
  *block = nullptr;
  *size = 0;
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "'%s' open error.\n", path);
    return kLoadOpen;
  }
  struct stat st;
  if (stat(path, &st) != 0) {
    std::fprintf(stderr, "'%s' stat error.\n", path);
    std::fclose(f);
    return kLoadStat;
  }
  // Sizes are 32-bit signed counts in every format the suite reads, so a
  // file of 2 GiB or more is refused here rather than read with a wrapped size.
  const int64_t fileSize = static_cast<int64_t>(st.st_size);
  if (fileSize <= minSize) {
    std::fprintf(stderr, "'%s' file size erro. too small(%d Byte)\n", path,
                 static_cast<int>(fileSize));
    std::fclose(f);
    return kLoadSize;
  }
  if (fileSize > INT32_MAX - int64_t(slack)) {
    std::fprintf(stderr, "'%s' file size erro. too large(%lld Byte)\n", path,
                 static_cast<long long>(fileSize));
    std::fclose(f);
    return kLoadSize;
  }
  uint8_t* data = static_cast<uint8_t*>(std::malloc(size_t(fileSize) + slack));
  if (data == nullptr) {
    std::fprintf(stderr, "Couldn't allocate memory.\n");
    std::fclose(f);
    return kLoadMemory;
  }
  // One read of one item: an empty file delivers no item and is a read error.
  if (std::fread(data, size_t(fileSize), 1, f) != 1) {
    std::fprintf(stderr, "'%s' read error.\n", path);
    std::free(data);
    std::fclose(f);
    return kLoadRead;
  }
  std::fclose(f);
  *block = data;
  *size = static_cast<uint32_t>(fileSize);
  return kLoadOk;
}
