// speccore/bmp.h: BMP files (loading, checking, writing), their decoding to
// 32-bit pixels, and gray levels. The decoder expands uncompressed pictures
// of 1, 8, 24 and 32 bits per pixel, in either row order; every picture the
// suite writes is a 32-bit uncompressed bottom-up BMP.
#ifndef SPECCORE_BMP_H
#define SPECCORE_BMP_H

#include <cstdint>

#include "status.h"
#include "types.h"

namespace speccore {

struct OutputFile;  // speccore/output.h

// The 54-byte header of a BMP file (14-byte file header, 40-byte info header).
struct BmpHeader {
  uint16_t bfType;
  uint32_t bfSize;
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};

// A picture decoded from a BMP: H rows of W pixels, row 0 the bottom row.
struct BmpPicture {
  Plane pixels;  // the caller frees it
  int32_t width;
  int32_t height;  // |biHeight|
  int bitCount;
};

enum { kBmpHeaderSize = 54 };

// ---- Files -------------------------------------------------------------------

// Reads the whole file at path into one new block. Returns 0, or kStatusOpen
// ("'%s' open error."), kStatusStat ("'%s' stat error."), kStatusSize (54
// bytes or fewer, or 2 GiB or more: "'%s' file size erro. too small(%d
// Byte)" or "... too large(%lld Byte)"), kStatusMemory ("Couldn't allocate
// memory."), kStatusRead ("'%s' read error."); kStatusOpen also for a null
// argument. On failure *image is null and *size 0. The caller frees *image.
SPECCORE_API int bmpLoad(const char* path, uint8_t** image, uint32_t* size);

// Judges a loaded file: 0 when bmpDecode may decode it, else kBmpNoImage ...
// kBmp1BitPalette (kBmp8BitPalette and kBmp1BitPalette after a palette line).
// kBmpSizeMismatch also refuses a file too short for the rows or palette that
// its header describes. A bit count the decoder does not expand passes here
// and is refused by the decoder.
SPECCORE_API int bmpCheck(const uint8_t* image, uint32_t size);

// Reads the first 54 bytes of `bytes` into *header, field by field. `bytes`
// must hold 54 bytes (any file bmpLoad accepts does); nothing is done for a
// null argument.
SPECCORE_API void bmpHeaderRead(const uint8_t* bytes, BmpHeader* header);

// Writes W x |H| contiguous pixels as a 32-bit uncompressed BMP with height H,
// replacing `path` whole (see speccore/output.h). Returns 0, or -1 after a
// message when the file cannot be created or written, or the picture is too
// large for a BMP ("File '%s' cannot create. unsupported size(%d x %d)").
SPECCORE_API int bmpWrite32(const char* path, const void* pixels, int32_t width, int32_t height);

// The same BMP into an opened output, which it closes. Returns 0, or
// kStatusOutput after a message (none for a null output); the caller then
// discards the output.
SPECCORE_API int bmpWrite32To(OutputFile* out, const void* pixels, int32_t width, int32_t height);

// ---- Decoding ----------------------------------------------------------------

// Expands the pixels of an image that bmpCheck accepted into |biHeight| rows
// of biWidth Pixel32, bottom row first. Returns 0, or 1 for a bit count
// bmpBitCountSupported refuses or a null argument (nothing written).
// Allocates nothing. The image must be a whole file that bmpCheck accepted
// and `out` must hold its pixels: neither comes with a size that could be
// checked.
SPECCORE_API int bmpDecode(const uint8_t* image, Pixel32* out);

// Decodes an image that bmpCheck accepted into a new zero-filled plane of
// biWidth x |biHeight|. Returns 0; kStatusBitCount for a bit count bmpDecode
// does not expand (checked before any plane is sized from the header, which
// bmpCheck bounds only for the bit counts it decodes); kStatusMemory when the
// plane cannot be had, also for a width or height of 0 or a negative width.
// kStatusArgument for a null argument. Prints nothing. Width, height and
// bitCount are set in every case; pixels only on success, and the caller
// frees it. The image must be a whole file that bmpCheck accepted.
SPECCORE_API int bmpDecodePicture(const uint8_t* image, BmpPicture* picture);

// True for the bit counts bmpDecode expands (see the top of this header). bmpCheck
// proves that the rows of these lie inside the file, which bounds the planes
// a caller sizes from the header; for any other bit count it proves nothing.
SPECCORE_API bool bmpBitCountSupported(int bitCount);

// ---- Gray levels -------------------------------------------------------------

// Gray level 0..255 of one pixel: (306 red + 601 green + 117 blue) >> 10.
SPECCORE_API int pixelToGray(Pixel32 pixel);

// Turns every pixel of the W x H `picture` into its gray level g as (g, g, g,
// 0), and the sample at the same place of `samples` into (g, 0): the samples
// a picture is transformed from, and the gray picture complexToImage draws
// of them, in one pass. On `threads` threads (see speccore/types.h). Does
// nothing for a null plane or a size below 1.
SPECCORE_API void pictureToGray(Plane picture, Plane samples, int32_t width, int32_t height,
                                int threads);

}  // namespace speccore

#endif
