#include "fileio.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "report.h"
#include "speccore/status.h"

namespace speccore {

// The size of the file behind an open stream, asked of the stream itself so
// that it is the size of the file being read, whatever the path names by now.
static bool openFileSize(FILE* f, int64_t* size) {
#if defined(_WIN32)
  struct _stat64 st;
  if (_fstat64(_fileno(f), &st) != 0) return false;
#else
  struct stat st;
  if (fstat(fileno(f), &st) != 0) return false;
#endif
  *size = static_cast<int64_t>(st.st_size);
  return true;
}

int loadWholeFile(const char* path, int64_t minSize, uint32_t slack, uint8_t** block,
                  uint32_t* size) {
  if (block != nullptr) *block = nullptr;
  if (size != nullptr) *size = 0;
  FILE* f =
      path != nullptr && block != nullptr && size != nullptr ? std::fopen(path, "rb") : nullptr;
  if (f == nullptr) {
    report("'%s' open error.", path != nullptr ? path : "(null)");
    return kStatusOpen;
  }
  int64_t fileSize = 0;
  if (!openFileSize(f, &fileSize)) {
    report("'%s' stat error.", path);
    std::fclose(f);
    return kStatusStat;
  }
  // Sizes are 32-bit signed counts in every format the suite reads, so a
  // file of 2 GiB or more is refused here rather than read with a wrapped size.
  if (fileSize <= minSize) {
    report("'%s' file size erro. too small(%d Byte)", path, static_cast<int>(fileSize));
    std::fclose(f);
    return kStatusSize;
  }
  if (fileSize > INT32_MAX) {
    report("'%s' file size erro. too large(%lld Byte)", path, static_cast<long long>(fileSize));
    std::fclose(f);
    return kStatusSize;
  }
  // At most 2^31 + 31 bytes with the callers' slack (32 at most), which
  // size_t holds on 32-bit systems too.
  uint8_t* data = static_cast<uint8_t*>(std::malloc(size_t(fileSize) + slack));
  if (data == nullptr) {
    report("Couldn't allocate memory.");
    std::fclose(f);
    return kStatusMemory;
  }
  // One read of one item: an empty file delivers no item and is a read error.
  if (std::fread(data, size_t(fileSize), 1, f) != 1) {
    report("'%s' read error.", path);
    std::free(data);
    std::fclose(f);
    return kStatusRead;
  }
  std::fclose(f);
  *block = data;
  *size = static_cast<uint32_t>(fileSize);
  return kStatusOk;
}

}  // namespace speccore
