// speccore/spectrumfile.h: the spectrum file. A 32-byte header of eight
// little-endian 32-bit fields, an optional text, then W x H samples as
// row-major Complex values, zero frequency first (natural order).
#ifndef SPECCORE_SPECTRUMFILE_H
#define SPECCORE_SPECTRUMFILE_H

#include <cstddef>
#include <cstdint>

#include "status.h"
#include "types.h"

namespace speccore {

struct OutputFile;  // speccore/output.h

// The 32-byte header of a spectrum file.
struct CpxHeader {
  uint32_t cxType;  // kCpxType: the bytes "CPX\0" read as a little-endian number
  int32_t zero;
  int32_t cxSize;
  int32_t cxDataByte;
  int32_t cxOffByts;
  int32_t cxSizeData;
  int32_t cxWidth;
  int32_t cxHeight;
};

// The samples of a loaded spectrum file, used where they lie in its block.
struct SpectrumView {
  Plane samples;  // row table into the file's block; the caller frees it first
  int32_t width;
  int32_t height;
};

enum {
  kCpxHeaderSize = 32,
  kCpxType = 0x00585043,  // "CPX\0"
};

// ---- Writing -----------------------------------------------------------------

// Writes header, optional text (null or "" for none) and width x height
// contiguous samples, replacing `path` whole (see speccore/output.h).
// Returns 0, or -1 after a message when the file cannot be created or
// written (also for null samples), or its sizes do not fit the header's
// 32-bit fields.
SPECCORE_API int writeSpectrumFile(const char* path, const char* text, const Complex* samples,
                                   int32_t width, int32_t height);

// The same file into an opened output, which it closes. Returns 0, or
// kStatusOutput after a message (none for a null output); the caller then
// discards the output.
SPECCORE_API int writeSpectrumTo(OutputFile* out, const char* text, const Complex* samples,
                                 int32_t width, int32_t height);

// 0 when a spectrum file can describe width x height samples after a text of
// textLength bytes (every size in its header is a signed 32-bit count), else
// kStatusOutput after "File '%s' cannot create. unsupported size(%d x %d)"
// with `path` ("(null)" for none): a program asks before its long work what the writer would
// refuse after it.
SPECCORE_API int spectrumFileSizeCheck(const char* path, int32_t width, int32_t height,
                                       size_t textLength);

// ---- Reading -----------------------------------------------------------------

// Loads the whole file into a new block of file size + 32 bytes; null after
// the loader's line (those of bmpLoad, without its minimum size) on failure;
// nothing is printed for a null path. When loadedSize is given it receives
// the number of bytes actually read, when status is given the loader's
// status: 0, or kStatusOpen, kStatusStat, kStatusSize (2 GiB or more),
// kStatusMemory or kStatusRead. The caller frees the block.
SPECCORE_API uint8_t* readSpectrumFile(const char* path, uint32_t* loadedSize = nullptr,
                                       int* status = nullptr);

// Reads the first 32 bytes of `bytes` into *header, field by field. `bytes`
// must hold 32 bytes; nothing is done for a null argument.
SPECCORE_API void cpxHeaderRead(const uint8_t* bytes, CpxHeader* header);

// 0 when the loaded file of `size` bytes is a usable spectrum whose samples,
// at cxOffByts, lie wholly inside it; 1 otherwise.
SPECCORE_API int checkSpectrumHeader(const uint8_t* file, uint32_t size);

// Checks a loaded file of `size` bytes (checkSpectrumHeader) and lays a row
// table over its samples (spectrumSamples). Returns 0; kStatusNotSpectrum for
// a file that is no usable spectrum (also a null file); kStatusArgument for a
// null view; kStatusMemory when the row table cannot
// be had. Prints nothing. The caller frees view->samples, before the block.
SPECCORE_API int spectrumViewOpen(uint8_t* file, uint32_t size, SpectrumView* view);

// A new copy of the text of a loaded file of `size` bytes: the bytes from
// offset 32 up to the first zero byte, cxOffByts or the end, and a
// terminating zero ("" when there are none). Copy it before spectrumSamples
// may move the samples over it (a null file has no text: ""). Null when the
// copy cannot be had; the caller frees it.
SPECCORE_API char* spectrumText(const uint8_t* file, uint32_t size);

// Address of the samples of a loaded file that checkSpectrumHeader accepted.
// Samples at a cxOffByts that leaves them unaligned for a double (a text of
// three letters puts them at 36) are first moved down, once, to the nearest
// aligned address inside the block, which may overwrite header bytes: read
// the header before. The block stays the caller's. Null for a null file.
SPECCORE_API Complex* spectrumSamples(uint8_t* file);

}  // namespace speccore

#endif
