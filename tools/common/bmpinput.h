// Reading a BMP picture the way the programs do: load, header check and
// decoding, each failure with its lines and status.
#ifndef BMPINPUT_H
#define BMPINPUT_H

#include "speccore/bmp.h"

// Loads, checks and decodes the BMP at `path`. Returns 0 with the picture
// (the caller frees its pixels), or the exit status after the messages:
// bmpLoad's statuses followed by "'%s' read error.", bmpCheck's after
// "'%s' unknown file", kStatusBitCount and kStatusMemory; then
// picture->pixels is null.
int bmpInputDecode(const char* path, speccore::BmpPicture* picture);

#endif
