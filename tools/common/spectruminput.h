// The steps the readers of spectrum files share: size query, minimum size,
// whole-file load, and for the two that work on the samples, the header
// check and the planes.
#ifndef SPECTRUMINPUT_H
#define SPECTRUMINPUT_H

#include <cstdint>

#include "speccore.h"

// Loads the spectrum file at `path`. Returns the block (the caller frees it)
// and the number of bytes loaded in *size; or null with *status set to the
// program's exit status after the messages: -1 when the size query fails,
// 0 for a file shorter than a header or one that cannot be read.
uint8_t* spectrumInputLoad(const char* path, uint32_t* size, int* status);

// What specinv and specshow work on: the loaded file, a row table over its
// samples and a zero-filled picture of the same size.
struct SpectrumWork {
  uint8_t* file = nullptr;
  Plane samples = nullptr;  // rows inside `file`
  Plane pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// Loads and checks the file at `path` and makes the two planes. Returns true
// when all is ready; otherwise false with *status set to the exit status
// after the messages (1 for a file that is no usable spectrum). Either way
// the caller ends with spectrumWorkFree.
bool spectrumWorkOpen(const char* path, SpectrumWork* work, int* status);

// Frees the row table, the picture and then the file the table points into.
void spectrumWorkFree(SpectrumWork* work);

#endif
