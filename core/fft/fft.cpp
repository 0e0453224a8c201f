// The 2-D DFT by FFTW: the row pass, then the column pass, as the direct
// method does them, every line by the one plan of its length, in place;
// in the inverse direction each result is then divided by the length.
#include <fftw3.h>

#include <cstring>

#include "parallel.h"
#include "speccore_fft.h"

namespace speccore {

namespace {

// Lines are shared among threads in groups: the column pass copies a group's
// samples of one row side by side (8 samples, two cache lines) rather than
// one sample per row.
enum { kGroupLines = 8 };

// Threads are worth starting for a plane of this many samples or more.
const int64_t kThreadedSamples = int64_t(1) << 16;

// The lines of a group buffer lie a multiple of 64 bytes (4 samples) apart
// from its start, which fftw_malloc aligns for FFTW's widest vectors: every
// line then has the alignment the plan was made for, on which FFTW's choice
// of vector code depends, so every line gets the same code and the same bits
// whichever thread and buffer take it.
size_t lineStride(int32_t n) { return (size_t(n) + 3) / 4 * 4; }

struct FftPass {
  Plane plane;
  bool rows;      // the lines are rows; else columns
  int32_t n;      // line length
  int32_t count;  // lines
  int direction;
  fftw_plan plan;
  DftProgress* progress;  // or null
};

// The inverse divides each result by the line's length, as the direct
// passes do: a true division of both parts, not a product with 1/n.
inline Complex finish(Complex c, double n, int direction) {
  return direction == kDftInverse ? Complex{c.re / n, c.im / n} : c;
}

fftw_complex* asFftw(Complex* samples) { return reinterpret_cast<fftw_complex*>(samples); }

void addProgress(const FftPass& p, int32_t lines) {
  if (p.progress != nullptr)
    p.progress->done.fetch_add(uint64_t(lines) * uint64_t(p.n), std::memory_order_relaxed);
}

// Rows [first, last). FFTW tells arrays apart by fftw_alignment_of alone and
// picks its code by that, so a row aligned like the plan's buffer is
// transformed where it lies with the bits it would get in the buffer; any
// other goes through the buffer.
void transformRows(const FftPass& p, int32_t first, int32_t last, Complex* buffer) {
  const double n = double(p.n);
  for (int32_t y = first; y < last; ++y) {
    Complex* row = complexRow(p.plane, y);
    Complex* line = row;
    if (fftw_alignment_of(&row->re) != fftw_alignment_of(&buffer->re)) {
      std::memcpy(buffer, row, size_t(p.n) * sizeof(Complex));
      line = buffer;
    }
    fftw_execute_dft(p.plan, asFftw(line), asFftw(line));
    if (line != row || p.direction == kDftInverse)
      for (int32_t k = 0; k < p.n; ++k) row[k] = finish(line[k], n, p.direction);
    addProgress(p, 1);
  }
}

// Columns [first, first + lines), at most a group: row k holds sample k of
// every column, the group's side by side, so they are copied into the group's
// lines together and back.
void transformColumns(const FftPass& p, int32_t first, int32_t lines, Complex* group) {
  const size_t stride = lineStride(p.n);
  for (int32_t k = 0; k < p.n; ++k) {
    const Complex* row = complexRow(p.plane, k) + first;
    for (int32_t l = 0; l < lines; ++l) group[size_t(l) * stride + size_t(k)] = row[l];
  }
  for (int32_t l = 0; l < lines; ++l) {
    fftw_complex* line = asFftw(group + size_t(l) * stride);
    fftw_execute_dft(p.plan, line, line);
  }
  const double n = double(p.n);
  for (int32_t k = 0; k < p.n; ++k) {
    Complex* row = complexRow(p.plane, k) + first;
    for (int32_t l = 0; l < lines; ++l)
      row[l] = finish(group[size_t(l) * stride + size_t(k)], n, p.direction);
  }
  addProgress(p, lines);
}

// Each thread takes a run of groups of lines, with a group buffer of its own.
void runPass(const FftPass& p, Complex* buffers, int threads) {
  const size_t groupSamples = size_t(kGroupLines) * lineStride(p.n);
  const int64_t groups = (int64_t(p.count) + kGroupLines - 1) / kGroupLines;
  parallelRanges(groups, threads, [&](int part, int64_t firstGroup, int64_t lastGroup) {
    Complex* group = buffers + size_t(part) * groupSamples;
    const int32_t first = int32_t(firstGroup * kGroupLines);
    const int32_t last =
        int32_t(lastGroup * kGroupLines < p.count ? lastGroup * kGroupLines : int64_t(p.count));
    if (p.rows) {
      transformRows(p, first, last, group);
      return;
    }
    for (int32_t line = first; line < last; line += kGroupLines)
      transformColumns(p, line, last - line < kGroupLines ? last - line : kGroupLines, group);
  });
}

// A plan for lines of length n in place, made on `line`, which has the
// alignment of every line it will transform. Made without measuring, so it
// costs no trial transforms and leaves the buffer's contents alone.
fftw_plan planLine(int32_t n, int direction, Complex* line) {
  const int sign = direction == kDftInverse ? FFTW_BACKWARD : FFTW_FORWARD;
  return fftw_plan_dft_1d(int(n), asFftw(line), asFftw(line), sign, FFTW_ESTIMATE);
}

}  // namespace

bool fftAvailable() { return true; }

int fft2dThreads(Plane plane, int32_t width, int32_t height, int direction, int threads,
                 DftProgress* progress) {
  if (width <= 0 || height <= 0) return kStatusOk;  // nothing to transform
  if (plane == nullptr) return kStatusArgument;
  const int64_t samples = int64_t(width) * height;
  if (progress != nullptr) progress->total.store(uint64_t(samples) * 2);
  if (threads <= 0) threads = samples < kThreadedSamples ? 1 : availableProcessors();
  // The longer side is both the longest line and the most lines of a pass.
  const int32_t longest = width > height ? width : height;
  const int parts = threadsFor(threads, (int64_t(longest) + kGroupLines - 1) / kGroupLines);
  // At most 2^31 samples a line, 8 lines and a few thousand threads: the
  // product fits in 64 bits; the check keeps it inside what a block can be.
  const uint64_t bytes =
      uint64_t(parts) * kGroupLines * lineStride(longest) * uint64_t(sizeof(Complex));
  if (bytes > uint64_t(PTRDIFF_MAX)) return kStatusMemory;
  Complex* buffers = static_cast<Complex*>(fftw_malloc(size_t(bytes)));
  if (buffers == nullptr) return kStatusMemory;
  // Planned here, before any thread starts: executing a plan is thread-safe
  // in FFTW, planning is not.
  const fftw_plan rowPlan = planLine(width, direction, buffers);
  const fftw_plan columnPlan = height == width ? rowPlan : planLine(height, direction, buffers);
  int status = kStatusMemory;
  if (rowPlan != nullptr && columnPlan != nullptr) {
    runPass(FftPass{plane, true, width, height, direction, rowPlan, progress}, buffers, parts);
    runPass(FftPass{plane, false, height, width, direction, columnPlan, progress}, buffers, parts);
    status = kStatusOk;
  }
  if (columnPlan != nullptr && columnPlan != rowPlan) fftw_destroy_plan(columnPlan);
  if (rowPlan != nullptr) fftw_destroy_plan(rowPlan);
  fftw_free(buffers);
  return status;
}

}  // namespace speccore
