// speccore: planes, BMP files, spectrum files, the 2-D DFT and the pictures
// made from spectra, and filters. Everything the programs share lives here.
//
// Conventions
//   - Failures come back as an integer status (0 is success) or a null
//     pointer; the operation that meets a failure prints its one line on
//     standard error. Nothing throws.
//   - A plane is one heap block: a table of H row pointers followed by H
//     contiguous rows. Whoever obtains a block frees it with one free().
//   - Every multi-byte field on disk is little-endian and is read and written
//     byte by byte; samples are the one exception: a Complex has the file's
//     layout, so loaded samples are used in place.
//   - Picture planes keep row 0 as the bottom row of the picture.

#ifndef SPECCORE_H
#define SPECCORE_H

#include <atomic>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "speccore_version.h"

// What a shared library exports: every function declared below, and nothing
// else (it is built with hidden visibility). The inline functions are
// compiled into their callers and need no export.
#if defined(__GNUC__) && !defined(_WIN32)
#define SPECCORE_API __attribute__((visibility("default")))
#else
#define SPECCORE_API
#endif

// The spectrum's bits depend on every double operation being rounded to
// binary64 on its own. A target that keeps intermediates wider (the x87 unit
// of 32-bit x86 without SSE2 arithmetic) would write other spectra.
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD > 0
#error "double arithmetic must not keep wider intermediates (32-bit x86: -msse2 -mfpmath=sse)"
#endif

// ---- Shared types ----------------------------------------------------------

// One spectrum sample: real part first, exactly as it lies in a spectrum file.
struct Complex {
  double re;
  double im;
};
static_assert(sizeof(Complex) == 16, "Complex must match the file's 16-byte sample");

// One picture pixel, in the byte order of a 32-bit BMP row.
struct Pixel32 {
  uint8_t blue;
  uint8_t green;
  uint8_t red;
  uint8_t reserved;  // 0 in every picture the suite renders
};
static_assert(sizeof(Pixel32) == 4, "Pixel32 must match a 32-bit BMP pixel");

// Handle of a plane: the address of its row-pointer table, which is also the
// address of the whole block. Entry r points at row r.
typedef void** Plane;

inline Complex* complexRow(Plane plane, int32_t row) { return static_cast<Complex*>(plane[row]); }
inline Pixel32* pixelRow(Plane plane, int32_t row) { return static_cast<Pixel32*>(plane[row]); }

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

// The 32-byte header of a spectrum file.
struct CpxHeader {
  uint32_t cxType;  // the bytes "CPX\0" read as a little-endian number
  int32_t zero;
  int32_t cxSize;
  int32_t cxDataByte;
  int32_t cxOffByts;
  int32_t cxSizeData;
  int32_t cxWidth;
  int32_t cxHeight;
};

// ---- Status codes ------------------------------------------------------------
// One family for what the library's operations return and what the programs
// end with. Some values have two names: each program meets only one of them.
enum SpecStatus {
  kStatusOk = 0,
  kStatusUsage = 1,        // a bad command line, after the usage
  kStatusUnknownFile = 1,  // a spectrum file the readers refuse
  // bmpCheck's refusals
  kBmpNoImage = 1,       // no image, or 54 bytes or fewer
  kBmpNotBmp = 2,        // not "BM", or a reserved word not 0
  kBmpCompressed = 3,    // biPlanes not 1, or compressed
  kBmpSizeMismatch = 4,  // biSizeImage, rows or palette not inside the file
  kBmp32BitOffset = 5,   // 32 bits with bfOffBits not 54
  kBmp24BitOffset = 6,   // 24 bits with bfOffBits not 54
  kBmp8BitPalette = 7,   // 8 bits with a palette of no whole number of entries
  kBmp1BitPalette = 8,   // 1 bit with a palette of other than 2 entries
  kStatusBitCount = 9,   // a bit count the decoder cannot expand (4, 16, ...)
  // a filter that does not fit the spectrum: a notch outside it, a mask of another size
  kStatusFilterMismatch = 10,
  // whole-file loads
  kStatusOpen = 11,
  kStatusStat = 12,
  kStatusSize = 13,       // too small or too large (or, in the spectrum readers, under 32 bytes)
  kStatusMemory = 14,     // a block that cannot be had
  kStatusRead = 15,       // the read falls short
  kStatusOutput = 16,     // an output that cannot be created or written whole
  kStatusStatQuery = -1,  // the spectrum readers' size query failed (exit status 255)
  kStatusTooSmall = -1,   // a picture 1 pixel wide or high, which has no transform to show
};

// A picture decoded from a BMP: H rows of W pixels, row 0 the bottom row.
struct BmpPicture {
  Plane pixels;  // the caller frees it
  int32_t width;
  int32_t height;  // |biHeight|
  int bitCount;
};

// The samples of a loaded spectrum file, used where they lie in its block.
struct SpectrumView {
  Plane samples;  // row table into the file's block; the caller frees it first
  int32_t width;
  int32_t height;
};

// How far a transform has come, for a program to show while it runs: the
// complex multiply-adds done of all it needs, W x H x (W + H). The transform
// sets `total` first and adds to `done` from its threads as it goes.
struct DftProgress {
  std::atomic<uint64_t> done{0};
  std::atomic<uint64_t> total{0};
};

// A file being written, that replaces its final name only once it is whole.
struct OutputFile {
  const char* path;  // the name the caller gave: messages name it
  char* target;      // what the temporary replaces; null when written directly
  char* temporary;   // the file written until it is renamed; null when written directly
  FILE* stream;      // open until outputClose
  bool failed;       // a write fell short
};

// One factor of a filter's gain (see Frequency-domain filters).
struct FilterFactor {
  int kind;         // kFilterLowPass ... kFilterMask
  double radius;    // positive: the cut-off D0, a band's inner radius, a notch's radius
  double outer;     // a band's outer radius, above `radius`
  int32_t u, v;     // a notch's frequency
  BmpPicture mask;  // kFilterMask: the gains as gray levels; the caller frees its pixels
};

// A real gain for every sample: the product of the factors, in order.
struct SpectrumFilter {
  int shape;  // kShapeIdeal, kShapeGaussian or kShapeButterworth
  int order;  // the Butterworth order n, 1 or more
  const FilterFactor* factors;
  int count;
  bool maskNatural;    // masks laid out in natural order, not centred like PowerSpectrum.bmp
  bool maskSymmetric;  // each mask gain the smaller of its own and its mirror's
};

// One strong coefficient of a spectrum (spectrumPeaks), named every way a
// user meets it.
struct SpectrumPeak {
  int32_t u, v;      // its frequency as specfilter -n takes it: column u and row v of the
                     // file, counted from W or H down when above W/2 or H/2 (-1 is the last)
  double magnitude;  // |F(u, v)|
  double phase;      // its angle in radians, -pi < phase <= pi (0 for a zero coefficient)
  int32_t x, y;      // the pixel that shows it in PowerSpectrum.bmp, counted from the
                     // picture's top-left corner as a picture viewer counts
};

enum FilterKind {
  kFilterLowPass,
  kFilterHighPass,
  kFilterBandPass,
  kFilterBandStop,
  kFilterNotch,
  kFilterMask,
};

enum FilterShape { kShapeIdeal, kShapeGaussian, kShapeButterworth };

enum {
  kBmpHeaderSize = 54,
  kCpxHeaderSize = 32,
  kCpxType = 0x00585043,  // "CPX\0"
  kDftForward = 0,        // direction arguments of dft2d: any value but
  kDftInverse = 1,        // kDftInverse is forward
  kEveryProcessor = 0,    // a thread count: every processor this process may run on
};

// ---- Processors (parallel.cpp) ---------------------------------------------

// The number of processors this process may run on (its affinity mask where
// the system keeps one), at least 1: what an operation's thread count of 0
// or less stands for.
SPECCORE_API int availableProcessors();

// ---- Plane buffers (plane.cpp) ---------------------------------------------

// New zero-filled plane of H rows of W elements of E bytes; null when an
// argument is not positive or the block cannot be had (also when its true size
// does not fit in size_t). The rows follow the table, after a gap up to a
// 2 MiB boundary when they take 4 MiB or more (for huge pages). The caller
// frees it.
SPECCORE_API Plane planeAlloc(int32_t elementSize, int32_t width, int32_t height);

// New row table over `data` (nothing copied or cleared); null for null data, a
// non-positive argument or no memory. The caller frees the table; the data
// stays with its owner.
SPECCORE_API Plane planeWrap(void* data, int32_t elementSize, int32_t width, int32_t height);

// ---- Output files (output.cpp) ---------------------------------------------
// An output replaces its final name whole or not at all: it is written to a
// new temporary file beside it, ".NAME.<process id>.tmp", which outputCommit
// renames over NAME once every byte is written. A path that exists and is not
// a regular file (a device such as /dev/null, a FIFO, a terminal) is written
// directly instead, and nothing is created beside it. A symbolic link is
// followed, as a shell redirection does: the file it leads to is replaced.

// Creates the file that will become `path`. Returns 0, or kStatusOutput after
// "File '%s' cannot create.\n" (nothing left behind; also for an existing file
// without write permission). Ends with outputCommit or outputDiscard.
SPECCORE_API int outputOpen(OutputFile* out, const char* path);

// Appends `count` bytes. A short write is remembered, later writes are
// skipped, and outputClose reports it. Returns false once a write failed.
SPECCORE_API bool outputWrite(OutputFile* out, const void* bytes, size_t count);

// Flushes and closes the stream. Returns 0, or kStatusOutput after "File '%s'
// cannot write.\n" when a write, the flush or the close failed (a full disk, a
// file-size limit); the final name is untouched either way.
SPECCORE_API int outputClose(OutputFile* out);

// outputClose if still open, then the temporary renamed over the final name.
// Returns 0, or kStatusOutput after "File '%s' cannot write.\n" (the temporary
// removed, the final name as it was).
SPECCORE_API int outputCommit(OutputFile* out);

// Closes and removes the temporary: the final name keeps what it had. Does
// nothing for an output already committed or discarded.
SPECCORE_API void outputDiscard(OutputFile* out);

// ---- BMP files (bmp.cpp) ---------------------------------------------------

// Reads the whole file at path into one new block. Returns 0, or 11 open,
// 12 stat, 13 size (54 bytes or fewer, or 2 GiB or more), 14 memory, 15 read,
// each after its own message; on failure *image is null and *size 0. The
// caller frees *image.
SPECCORE_API int bmpLoad(const char* path, uint8_t** image, uint32_t* size);

// Judges a loaded file: 0 when bmpDecode may decode it, else a code 1..8
// (codes 7 and 8 print a palette line). Code 4 also refuses a file too short
// for the rows or palette that its header describes.
SPECCORE_API int bmpCheck(const uint8_t* image, uint32_t size);

// Reads the first 54 bytes of `bytes` into *header, field by field.
SPECCORE_API void bmpHeaderRead(const uint8_t* bytes, BmpHeader* header);

// Writes W x |H| contiguous pixels as a 32-bit uncompressed BMP with height H,
// replacing `path` whole (see Output files). Returns 0, or -1 after a message
// when the file cannot be created or written, or the picture is too large for
// a BMP.
SPECCORE_API int bmpWrite32(const char* path, const void* pixels, int32_t width, int32_t height);

// The same BMP into an opened output, which it closes. Returns 0, or
// kStatusOutput after a message; the caller then discards the output.
SPECCORE_API int bmpWrite32To(OutputFile* out, const void* pixels, int32_t width, int32_t height);

// ---- BMP decoding and gray levels (bmpdecode.cpp) --------------------------

// Expands the pixels of an image that bmpCheck accepted into |biHeight| rows
// of biWidth Pixel32, bottom row first. Returns 0, or 1 for a bit count other
// than 1, 8, 24 and 32 (nothing written). Allocates nothing.
SPECCORE_API int bmpDecode(const uint8_t* image, Pixel32* out);

// Decodes an image that bmpCheck accepted into a new zero-filled plane of
// biWidth x |biHeight|. Returns 0; kStatusBitCount for a bit count bmpDecode
// does not expand (checked before any plane is sized from the header, which
// bmpCheck bounds only for the bit counts it decodes); kStatusMemory when the
// plane cannot be had, also for a width or height of 0 or a negative width.
// Prints nothing. Width, height and bitCount are set in every case; pixels
// only on success, and the caller frees it.
SPECCORE_API int bmpDecodePicture(const uint8_t* image, BmpPicture* picture);

// True for the bit counts bmpDecode expands: 1, 8, 24 and 32. bmpCheck
// proves that the rows of these lie inside the file, which bounds the planes
// a caller sizes from the header; for any other bit count it proves nothing.
SPECCORE_API bool bmpBitCountSupported(int bitCount);

// Gray level 0..255 of one pixel: (306 red + 601 green + 117 blue) >> 10.
SPECCORE_API int pixelToGray(Pixel32 pixel);

// Turns every pixel of the W x H `picture` into its gray level g as (g, g, g,
// 0), and the sample at the same place of `samples` into (g, 0): the samples
// a picture is transformed from, and the gray picture complexToImage draws
// of them, in one pass. On `threads` threads as complexToImage.
SPECCORE_API void pictureToGray(Plane picture, Plane samples, int32_t width, int32_t height,
                                int threads);

// ---- Spectrum file (spectrumfile.cpp) --------------------------------------

// Writes header, optional text (null or "" for none) and width x height
// contiguous samples, replacing `path` whole (see Output files). Returns 0, or
// -1 after a message when the file cannot be created or written, or its sizes
// do not fit the header's 32-bit fields.
SPECCORE_API int writeSpectrumFile(const char* path, const char* text, const Complex* samples,
                                   int32_t width, int32_t height);

// The same file into an opened output, which it closes. Returns 0, or
// kStatusOutput after a message; the caller then discards the output.
SPECCORE_API int writeSpectrumTo(OutputFile* out, const char* text, const Complex* samples,
                                 int32_t width, int32_t height);

// 0 when a spectrum file can describe width x height samples after a text of
// textLength bytes (every size in its header is a signed 32-bit count), else
// kStatusOutput after "File '%s' cannot create. unsupported size(%d x %d)\n"
// with `path`: a program asks before its long work what the writer would
// refuse after it.
SPECCORE_API int spectrumFileSizeCheck(const char* path, int32_t width, int32_t height,
                                       size_t textLength);

// Loads the whole file into a new block of file size + 32 bytes; null after a
// message on failure. When loadedSize is given it receives the number of
// bytes actually read. The caller frees the block.
SPECCORE_API uint8_t* readSpectrumFile(const char* path, uint32_t* loadedSize = nullptr);

// A new copy of the text of a loaded file of `size` bytes: the bytes from
// offset 32 up to the first zero byte, cxOffByts or the end, and a
// terminating zero ("" when there are none). Copy it before spectrumSamples
// may move the samples over it. Null when the copy cannot be had; the caller
// frees it.
SPECCORE_API char* spectrumText(const uint8_t* file, uint32_t size);

// Reads the first 32 bytes of `bytes` into *header, field by field.
SPECCORE_API void cpxHeaderRead(const uint8_t* bytes, CpxHeader* header);

// 0 when the loaded file of `size` bytes is a usable spectrum whose samples,
// at cxOffByts, lie wholly inside it; 1 otherwise.
SPECCORE_API int checkSpectrumHeader(const uint8_t* file, uint32_t size);

// Checks a loaded file of `size` bytes (checkSpectrumHeader) and lays a row
// table over its samples (spectrumSamples). Returns 0; kStatusUnknownFile for
// a file that is no usable spectrum; kStatusMemory when the row table cannot
// be had. Prints nothing. The caller frees view->samples, before the block.
SPECCORE_API int spectrumViewOpen(uint8_t* file, uint32_t size, SpectrumView* view);

// Address of the samples of a loaded file that checkSpectrumHeader accepted.
// Samples at a cxOffByts that leaves them unaligned for a double (a text of
// three letters puts them at 36) are first moved down, once, to the nearest
// aligned address inside the block, which may overwrite header bytes: read
// the header before. The block stays the caller's.
SPECCORE_API Complex* spectrumSamples(uint8_t* file);

// ---- Two-dimensional DFT (dft.cpp) -----------------------------------------

// Transforms H rows of W samples in place: forward (unnormalised) unless
// direction is kDftInverse, which divides by W after the row pass and by H
// after the column pass. The sums run in vector kernels picked for this CPU
// (AVX-512, AVX2 or plain), all giving the bits of the plain loops, with the
// factors in a table, or strip by strip for a thin picture's long lines,
// or term by term when no memory is left; each factor has the same bits
// wherever it is evaluated, so free memory never changes a result. Single-
// threaded. Returns 0, or -1 (plane untouched) when not even a scratch line
// can be had.
SPECCORE_API int dft2d(Plane plane, int32_t width, int32_t height, int direction);

// dft2d on `threads` threads; 0 or less means every processor this process
// may run on (availableProcessors). The result has the same bits for every
// thread count. `progress` may be null. Returns as dft2d.
SPECCORE_API int dft2dThreads(Plane plane, int32_t width, int32_t height, int direction,
                              int threads, DftProgress* progress);

// ---- Complex plane to image (compleximage.cpp) -----------------------------

// Renders the real parts of `source` into `destination` (both W x H): truncated
// when all lie in [0, 256), else stretched through a 1024-bin histogram that
// clips 1 % at each end. On `threads` threads (0 or less: every processor
// this process may run on), with the same pixels for every count. Cannot
// fail; does nothing when a size is below 1.
SPECCORE_API void complexToImage(Plane source, Plane destination, int32_t width, int32_t height,
                                 int threads = 1);

// Renders each real part of `source` rounded to the nearest gray level
// (halves away from zero) and clamped to 0..255: no stretch, so a level that
// comes back from a round trip as 254.9999999 or -0.0000001 is 255 or 0. A
// real part that is not a number gives 0. On `threads` threads as
// complexToImage. Cannot fail; does nothing when a size is below 1.
SPECCORE_API void complexToImageRounded(Plane source, Plane destination, int32_t width,
                                        int32_t height, int threads = 1);

// complexToImage, then the destination written as a 32-bit BMP at path.
SPECCORE_API void writeComplexImage(const char* path, Plane source, Plane destination,
                                    int32_t width, int32_t height);

// ---- Power spectrum and quadrant swap (powerspectrum.cpp) ------------------

// Exchanges the quadrants in place, moving (0, 0) to (H/2, W/2) for even
// sizes; for odd sizes the last row and column stay put. Cannot fail.
SPECCORE_API void swapQuadrants(Plane plane, int32_t width, int32_t height, int threads = 1);

// Gray picture of the magnitudes: log10 scale, or linear when `linear`. On
// `threads` threads as complexToImage. Cannot fail; does nothing when a size
// is below 1.
SPECCORE_API void renderPowerSpectrum(Plane source, Plane destination, int32_t width,
                                      int32_t height, bool linear, int threads = 1);

// Gray picture of the magnitudes on a log scale that does not wrap: with m
// and M the smallest and largest magnitude and x = |F| - m, the level is
// 256 log(1 + x) / log(1 + M - m) rounded down, 255 at most. So m is black,
// M white, a larger magnitude is never darker, and every level takes an
// equal share of the log range; a coefficient within 1 of m (round-off) is
// nearly black. Zero samples are black and count in the range, as in
// renderPowerSpectrum; all black when M = m; a magnitude that is not a
// number is black. The levels' edges are computed with +, *, / and sqrt
// alone, so every IEEE machine draws the same bytes. On `threads` threads as
// complexToImage. Cannot fail; does nothing when a size is below 1.
SPECCORE_API void renderLogMagnitude(Plane source, Plane destination, int32_t width, int32_t height,
                                     int threads = 1);

// Gray picture of the phases: the angle theta of each sample, -pi < theta <=
// pi, mapped linearly onto 256 equal steps, level 128 + 128 theta / pi
// rounded down, 255 at most: -pi is black, 0 is 128, pi/2 is 192, pi is
// 255. A zero sample has the angle 0 and is 128; -0 counts as 0, so a
// negative real sample is 255. The steps' edges are fixed tangents compared
// with products, with no C library function, so every IEEE machine draws
// the same bytes. On `threads` threads as complexToImage. Cannot fail; does
// nothing when a size is below 1.
SPECCORE_API void renderPhase(Plane source, Plane destination, int32_t width, int32_t height,
                              int threads = 1);

// renderPowerSpectrum on the log scale into `destination`, then bmpWrite32.
// Returns bmpWrite32's result.
SPECCORE_API int writePowerSpectrum(const char* path, Plane source, Plane destination,
                                    int32_t width, int32_t height);

// ---- Spectrum peaks (peaks.cpp) ---------------------------------------------

// The `count` strongest coefficients of a W x H spectrum in natural order
// (zero frequency at row 0, column 0), strongest first, into peaks[0 ..
// result - 1]; the caller owns the array. The zero frequency is left out and
// each mirror pair F(u, v), F(-u, -v) is listed once, by its stronger member
// (a real picture's pair are equal up to rounding: the one first in the file,
// v > 0 or v = 0 and u > 0, stands for the pair unless its mirror is
// stronger by more than one part in a million); a coefficient that is
// its own mirror (u and v each 0 or half the size) is listed as it is. Equal
// magnitudes come in the file's order; magnitudes that are not a number are
// passed over. Returns the number listed: `count`, or fewer when the spectrum
// has fewer pairs; 0 for a size or count below 1. Allocates nothing, cannot
// fail, does not change the samples.
SPECCORE_API int32_t spectrumPeaks(Plane samples, int32_t width, int32_t height,
                                   SpectrumPeak* peaks, int32_t count);

// ---- Frequency-domain filters (filter.cpp) ---------------------------------
// A filter multiplies both parts of every sample F(u, v) of a W x H spectrum
// by a real gain H(u, v). Frequencies above half the size count as negative:
// u' = u for u <= W/2 (whole division), else u - W, and likewise v', so
// D^2 = u'^2 + v'^2 is the squared distance from the zero frequency, and
// every factor, and so the gain, is exactly symmetric, H(u, v) = H(-u mod W,
// -v mod H), except a mask that is not. With the low-pass gain L(d^2, r) of
// the shape (ideal: 1 for d^2 <= r^2, else 0; Gaussian: exp(-d^2 / (2 r^2));
// Butterworth: 1 / (1 + (d^2 / r^2)^n); each 1 at d = 0), the factors are
//   low-pass   L(D^2, r); high-pass 1 - L(D^2, r);
//   band-pass  ideal: 1 for r1^2 <= D^2 <= r2^2, else 0; the others
//              L(s^2, 1) with s = (D^2 - r1 r2) / (D (r2 - r1)), 0 at D = 0
//              (s is -1 at r1 and 1 at r2); band-stop 1 - band-pass;
//   notch      (1 - L(Da^2, r)) (1 - L(Db^2, r)), Da and Db the distances
//              to (u, v) and (-u, -v) measured around the spectrum's edges
//              (one factor when they are the same frequency);
//   mask       the gray level / 255 of the mask pixel that shows the sample.

// The gain of the sample in column u and row v. Cannot fail.
SPECCORE_API double filterGain(const SpectrumFilter* filter, int32_t u, int32_t v, int32_t width,
                               int32_t height);

// True when the factor fits a W x H spectrum: a notch frequency with |u| <=
// W/2 and |v| <= H/2, a mask of W x H pixels; the other factors fit any.
SPECCORE_API bool filterFactorFits(const FilterFactor* factor, int32_t width, int32_t height);

// Multiplies every sample by its gain, rows shared among `threads` threads (0
// or less: availableProcessors(), for a plane large enough to pay for
// starting them); the result does not depend on their number. Cannot fail.
SPECCORE_API void filterSpectrum(Plane samples, int32_t width, int32_t height,
                                 const SpectrumFilter* filter, int threads);

// ---- Inverse transform to image (inverse.cpp) ------------------------------

// dft2dThreads inverse on `plane`, then complexToImage into `destination`,
// both on `threads` threads; `progress` (may be null) follows the transform.
// Returns 0; -1 (nothing done) when the transform could not run; 1
// (destination untouched) when the inverse has a real part that is not
// finite, for which there is no gray picture.
SPECCORE_API int idft2dToImage(Plane plane, Plane destination, int32_t width, int32_t height,
                               int threads = 1, DftProgress* progress = nullptr);

// idft2dToImage with complexToImageRounded for the rendering: the faithful
// inverse, whose picture of a round trip is the gray picture itself.
// Returns as idft2dToImage.
SPECCORE_API int idft2dToImageRounded(Plane plane, Plane destination, int32_t width, int32_t height,
                                      int threads = 1, DftProgress* progress = nullptr);

#endif
