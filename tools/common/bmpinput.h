// Reading a BMP picture the way the programs do: load, header check and
// decoding, each failure with its lines and status.
#ifndef BMPINPUT_H
#define BMPINPUT_H

#include "speccore/bmp.h"

// Loads and checks the BMP at `path`. Returns 0 with the file in *image (the
// caller frees it), or the exit status after the messages: bmpLoad's
// statuses followed by "'%s' read error.", bmpCheck's after "'%s' unknown
// file"; then *image is null.
int bmpInputLoad(const char* path, uint8_t** image);

// Decodes a file that bmpInputLoad accepted, and frees it. Returns 0 with the
// picture (the caller frees its pixels), or kStatusBitCount or kStatusMemory
// after the messages; then picture->pixels is null.
int bmpInputDecodeLoaded(const char* path, uint8_t* image, speccore::BmpPicture* picture);

// bmpInputLoad, then bmpInputDecodeLoaded.
int bmpInputDecode(const char* path, speccore::BmpPicture* picture);

#endif
