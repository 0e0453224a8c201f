// The first steps of the three readers of spectrum files: size query,
// minimum size, whole-file load.
#ifndef SPECTRUMINPUT_H
#define SPECTRUMINPUT_H

#include <cstdint>

// Loads the spectrum file at `path`. Returns the block (the caller frees it)
// and the number of bytes loaded in *size; or null with *status set to the
// program's exit status after the messages: -1 when the size query fails,
// 0 for a file shorter than a header or one that cannot be read.
uint8_t* spectrumInputLoad(const char* path, uint32_t* size, int* status);

#endif
