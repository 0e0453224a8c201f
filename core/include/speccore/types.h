// speccore/types.h: the types every topic shares (a spectrum sample, a
// picture pixel, a plane's handle), what a shared library exports, and what a
// thread count means.
#ifndef SPECCORE_TYPES_H
#define SPECCORE_TYPES_H

#include <cfloat>
#include <cstdint>

// What a shared library exports: every function the public headers declare
// with SPECCORE_API, and nothing else (it is built with hidden visibility).
// The inline functions are compiled into their callers and need no export.
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

namespace speccore {

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
// address of the whole block. Entry r points at row r; the rows are
// contiguous, so row 0 is also the start of every element in row order.
typedef void** Plane;

// Row `row` of a plane, which must have it: the one precondition in these
// headers that nothing checks, since a plane does not keep its size.
inline Complex* complexRow(Plane plane, int32_t row) { return static_cast<Complex*>(plane[row]); }
inline Pixel32* pixelRow(Plane plane, int32_t row) { return static_cast<Pixel32*>(plane[row]); }

// ---- Threads ---------------------------------------------------------------
// An operation that takes a thread count gives the same result for every
// count; 0 or less stands for every processor this process may run on.
enum { kEveryProcessor = 0 };

// The number of processors this process may run on (its affinity mask where
// the system keeps one), at least 1.
SPECCORE_API int availableProcessors();

}  // namespace speccore

#endif
