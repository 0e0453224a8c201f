// Whole-file loading shared by the BMP and spectrum loaders.
#ifndef SPECCORE_FILEIO_H
#define SPECCORE_FILEIO_H

#include <cstdint>

namespace speccore {

// Opens path, asks the open file for its size, refuses sizes at or below
// minSize or of 2 GiB and more (with the "file size erro." line), allocates
// size + slack bytes and reads the file with one read. Returns kStatusOk, or
// kStatusOpen, kStatusStat, kStatusSize, kStatusMemory or kStatusRead after
// reporting the matching line; on success *block (the caller frees it) and
// *size are set, otherwise they are null and 0.
int loadWholeFile(const char* path, int64_t minSize, uint32_t slack, uint8_t** block,
                  uint32_t* size);

}  // namespace speccore

#endif
