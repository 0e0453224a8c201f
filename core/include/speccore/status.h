// speccore/status.h: the codes the library's operations return, one name
// for each value, and the text of each code.
//
// An operation that returns an int status returns one of these: 0 for
// success, else the code of what stopped it. A few keep the results they
// have always had and say so in their comments: the writers by path
// (bmpWrite32, writeSpectrumFile, writePowerSpectrum) return 0 or -1, and
// bmpDecode and checkSpectrumHeader 0 or 1.
//
// Codes 1 to 16 are also the exit statuses the programs end with when one of
// these operations stops them; the programs' other statuses (a bad command
// line, a filter that does not fit, ...) are theirs alone and no library code.
#ifndef SPECCORE_STATUS_H
#define SPECCORE_STATUS_H

#include "types.h"

namespace speccore {

enum SpecStatus {
  kStatusOk = 0,
  // bmpCheck's refusals of a loaded BMP file
  kBmpNoImage = 1,       // no image, or 54 bytes or fewer
  kBmpNotBmp = 2,        // not "BM", or a reserved word not 0
  kBmpCompressed = 3,    // biPlanes not 1, or compressed
  kBmpSizeMismatch = 4,  // biSizeImage, rows or palette not inside the file
  kBmp32BitOffset = 5,   // 32 bits with bfOffBits not 54
  kBmp24BitOffset = 6,   // 24 bits with bfOffBits not 54
  kBmp8BitPalette = 7,   // 8 bits with a palette of no whole number of entries
  kBmp1BitPalette = 8,   // 1 bit with a palette of other than 2 entries
  kStatusBitCount = 9,   // a bit count the decoder does not expand (4, 16, ...)
  // whole-file loads, and outputs
  kStatusOpen = 11,
  kStatusStat = 12,
  kStatusSize = 13,    // a file too short for its kind, or 2 GiB or longer
  kStatusMemory = 14,  // a block that cannot be had
  kStatusRead = 15,    // the read falls short
  kStatusOutput = 16,  // an output that cannot be created or written whole
  // what the library refuses to work on
  kStatusNotSpectrum = 17,  // a loaded file that is no usable spectrum
  kStatusNotFinite = 18,    // an inverse transform with a real part that is not finite
  kStatusTooSmall = 19,     // a picture 1 pixel wide or high, whose spectrum no reader takes
  kStatusArgument = 20,     // an argument the operation cannot take: a null pointer
  kStatusNoFft = 21,        // a transform by FFT asked of a build without FFTW
};

// A short English text for `status` ("the file cannot be opened"), or
// "unknown status" for a value that is no code above. Never null; the text
// is static and must not be freed.
SPECCORE_API const char* statusText(int status);

}  // namespace speccore

#endif
