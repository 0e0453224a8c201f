#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <new>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "dftkernel.h"
#include "parallel.h"
#include "speccore/dft.h"
#include "speccore/status.h"

namespace speccore {

// 2*pi as the double every angle is formed from.
static const double kTwoPi = 6.283185307179586;

// sum + x*t with the two products of each part rounded separately: the
// compiler may not fuse them (the project builds with -ffp-contract=off).
static inline Complex cpxMulAdd(Complex sum, Complex x, Complex t) {
  sum.re = sum.re + (x.re * t.re - x.im * t.im);
  sum.im = sum.im + (x.re * t.im + t.re * x.im);
  return sum;
}

// The factor for output j and input k of a pass with angle step s. The
// angle of the pair {j, k} is always formed as max * (min * s), whichever of
// the two is the output, so the factor has the same bits wherever it is
// evaluated: in the table, in a strip, or term by term. Example: the pair
// {3, 5} is 5 * (3 * s) for output 3 and for output 5. (The compiler turns
// the adjacent cos and sin into one sincos call where the C library has it;
// the values are the same.)
static inline Complex twiddle(int32_t j, int32_t k, double s) {
  const int32_t lo = j < k ? j : k, hi = j < k ? k : j;
  const double theta = double(hi) * (double(lo) * s);
  return Complex{std::cos(theta), std::sin(theta)};
}

static double angleStep(int32_t n, int direction) {
  return (direction == kDftInverse ? kTwoPi : -kTwoPi) / double(n);
}

static inline Complex finishSum(Complex sum, int32_t n, int direction) {
  if (direction != kDftInverse) return sum;
  const double divisor = double(n);
  return Complex{sum.re / divisor, sum.im / divisor};
}

// ---- Factors in strips -----------------------------------------------------
// The factors of a pass of length n are used as strips of 8 outputs (the last
// strip padded with zero factors): strip p, group k holds the cosines and
// then the sines of outputs 8p ... 8p+7 for input k. A table holds every
// strip of a pass; without one, a strip is computed when it is needed.

static size_t stripCount(int32_t n) { return (size_t(n) + kStripOutputs - 1) / kStripOutputs; }

static int32_t stripOutputs(int32_t n, size_t p) {
  const int32_t left = n - int32_t(p) * kStripOutputs;
  return left < kStripOutputs ? left : int32_t(kStripOutputs);
}

static double* factorAt(double* strips, int32_t n, int32_t j, int32_t k) {
  return strips + size_t(j / kStripOutputs) * size_t(n) * kGroupDoubles +
         size_t(k) * kGroupDoubles + size_t(j % kStripOutputs);
}

// Row j of a table from the diagonal on, written to both places: the table is
// symmetric, so each factor is evaluated once per unordered pair. Two rows
// never write the same place, so rows can be filled side by side.
static void fillTableRow(double* strips, int32_t n, int32_t j, double s) {
  for (int32_t k = j; k < n; ++k) {
    const Complex t = twiddle(j, k, s);
    double* a = factorAt(strips, n, j, k);
    double* b = factorAt(strips, n, k, j);
    a[0] = b[0] = t.re;
    a[kStripOutputs] = b[kStripOutputs] = t.im;
  }
}

// Row j has n - j factors to evaluate, so rows go in pairs j, n-1-j of
// n + 1 factors together: every thread gets the same share of the work.
static void fillTable(double* strips, int32_t n, double s, int threads) {
  const int64_t pairs = (int64_t(n) + 1) / 2;
  parallelRanges(pairs, threads, [=](int, int64_t first, int64_t last) {
    for (int64_t i = first; i < last; ++i) {
      fillTableRow(strips, n, int32_t(i), s);
      if (n - 1 - i != i) fillTableRow(strips, n, int32_t(n - 1 - i), s);
    }
  });
  const int32_t padded = int32_t(stripCount(n) * kStripOutputs);
  for (int32_t j = n; j < padded; ++j) {
    for (int32_t k = 0; k < n; ++k) {
      double* a = factorAt(strips, n, j, k);
      a[0] = a[kStripOutputs] = 0.0;
    }
  }
}

// Strip p on its own, with the factors the table would hold.
static void computeStrip(double* strip, int32_t n, size_t p, double s) {
  for (int32_t k = 0; k < n; ++k) {
    double* group = strip + size_t(k) * kGroupDoubles;
    for (int o = 0; o < kStripOutputs; ++o) {
      const int32_t j = int32_t(p) * kStripOutputs + o;
      const Complex t = j < n ? twiddle(j, k, s) : Complex{0.0, 0.0};
      group[o] = t.re;
      group[kStripOutputs + o] = t.im;
    }
  }
}

// ---- Tiles -----------------------------------------------------------------
// Lines are copied into tiles (group k = input k of 8 lines), so the kernels
// read their inputs contiguously, and the results can go straight back in
// place: a tile's inputs are no longer read from the plane.

static size_t tileDoubles(int32_t n) { return size_t(n) * kGroupDoubles; }

// Copies lines first ... first + lines - 1 (at most 8) into `tile`, zeros after
// the last line. Returns whether every x.im is zero (false for a NaN).
template <typename At>
static bool gatherTile(At at, int32_t first, int32_t lines, int32_t n, double* tile) {
  bool realInput = true;
  // For each input k the tile's lines are read side by side: in the column
  // pass they are neighbours in one row.
  for (int32_t k = 0; k < n; ++k) {
    for (int l = 0; l < kTileLines; ++l) {
      const Complex x = l < lines ? at(first + l, k) : Complex{0.0, 0.0};
      tile[size_t(k) * kGroupDoubles + 2 * l] = x.re;
      tile[size_t(k) * kGroupDoubles + 2 * l + 1] = x.im;
      if (x.im != 0.0) realInput = false;
    }
  }
  return realInput;
}

// Writes one strip of one tile's sums back: output o of the tile's line l
// becomes element output0 + o of line line0 + l.
template <typename At>
static void scatterSums(At at, const double* sums, int32_t line0, int32_t lines, int32_t output0,
                        int32_t outputs, int32_t n, int direction) {
  for (int32_t o = 0; o < outputs; ++o) {
    for (int32_t l = 0; l < lines; ++l) {
      const Complex sum{sums[l * kGroupDoubles + o], sums[l * kGroupDoubles + kStripOutputs + o]};
      at(line0 + l, output0 + o) = finishSum(sum, n, direction);
    }
  }
}

// ---- Passes ----------------------------------------------------------------
// Every output of a pass is the same running sum, by the same kernel, however
// the lines and strips are shared among threads, so the bits never depend on
// the thread count.

struct Pass {
  int32_t n;      // line length
  int32_t count;  // lines
  int direction;
  double step;
  DftKernels kernels;
  DftProgress* progress;  // or null
};

static int32_t linesIn(const Pass& pass, int32_t first, int32_t most) {
  const int32_t left = pass.count - first;
  return left < most ? left : most;
}

static void addProgress(const Pass& pass, int32_t lines, int32_t outputs) {
  if (pass.progress != nullptr)
    pass.progress->done.fetch_add(uint64_t(lines) * uint64_t(pass.n) * uint64_t(outputs),
                                  std::memory_order_relaxed);
}

// A strip of one tile: kernel, then the sums back in place.
template <typename At>
static void tileStrip(At at, const Pass& pass, const double* strip, size_t p, const double* tile,
                      bool realInput, int32_t line0) {
  double sums[kTileLines * kGroupDoubles];
  (realInput ? pass.kernels.realInput : pass.kernels.complexInput)(strip, tile, pass.n, sums);
  scatterSums(at, sums, line0, linesIn(pass, line0, kTileLines), int32_t(p) * kStripOutputs,
              stripOutputs(pass.n, p), pass.n, pass.direction);
}

// With a table: the lines are cut into blocks of 4 tiles, which share each
// strip while it is in cache; each thread takes a run of blocks, with tiles
// of its own.
enum { kBlockTiles = 4, kBlockLines = kBlockTiles * kTileLines };

template <typename At>
static void tablePass(At at, const Pass& pass, const double* table, double* tiles, int threads) {
  const int64_t blocks = (int64_t(pass.count) + kBlockLines - 1) / kBlockLines;
  parallelRanges(blocks, threads, [&](int part, int64_t firstBlock, int64_t lastBlock) {
    double* block = tiles + size_t(part) * kBlockTiles * tileDoubles(pass.n);
    for (int64_t b = firstBlock; b < lastBlock; ++b) {
      const int32_t first = int32_t(b * kBlockLines);
      const int32_t lines = linesIn(pass, first, kBlockLines);
      const int count = (lines + kTileLines - 1) / kTileLines;
      bool realInput[kBlockTiles];
      for (int t = 0; t < count; ++t) {
        const int32_t line0 = first + t * kTileLines;
        realInput[t] = gatherTile(at, line0, linesIn(pass, line0, kTileLines), pass.n,
                                  block + size_t(t) * tileDoubles(pass.n));
      }
      for (size_t p = 0; p < stripCount(pass.n); ++p) {
        for (int t = 0; t < count; ++t)
          tileStrip(at, pass, table + p * tileDoubles(pass.n), p,
                    block + size_t(t) * tileDoubles(pass.n), realInput[t], first + t * kTileLines);
        addProgress(pass, lines, stripOutputs(pass.n, p));
      }
    }
  });
}

// Without a table: every line of the pass is copied into tiles first, then
// each thread computes a run of strips, one at a time, and takes it through
// every tile. Each factor is evaluated once per pass, in memory of the size
// of the lines themselves.
template <typename At>
static void stripPass(At at, const Pass& pass, double* tiles, bool* realInput, double* strips,
                      int threads) {
  const int64_t tileCount = (int64_t(pass.count) + kTileLines - 1) / kTileLines;
  parallelRanges(tileCount, threads, [&](int, int64_t first, int64_t last) {
    for (int64_t t = first; t < last; ++t) {
      const int32_t line0 = int32_t(t * kTileLines);
      realInput[t] = gatherTile(at, line0, linesIn(pass, line0, kTileLines), pass.n,
                                tiles + size_t(t) * tileDoubles(pass.n));
    }
  });
  parallelRanges(int64_t(stripCount(pass.n)), threads, [&](int part, int64_t first, int64_t last) {
    double* strip = strips + size_t(part) * tileDoubles(pass.n);
    for (int64_t p = first; p < last; ++p) {
      computeStrip(strip, pass.n, size_t(p), pass.step);
      for (int64_t t = 0; t < tileCount; ++t)
        tileStrip(at, pass, strip, size_t(p), tiles + size_t(t) * tileDoubles(pass.n), realInput[t],
                  int32_t(t * kTileLines));
      addProgress(pass, pass.count, stripOutputs(pass.n, size_t(p)));
    }
  });
}

// ---- Direct passes ----------------------------------------------------------
// When not even a strip can be had, each factor is evaluated term by term.
// The whole line is accumulated in `scratch` first so no input is
// overwritten while still needed.
template <typename At>
static void directLine(At at, int32_t n, double s, Complex* scratch, int direction,
                       DftProgress* progress) {
  for (int32_t j = 0; j < n; ++j) {
    Complex sum = {0.0, 0.0};
    for (int32_t k = 0; k < n; ++k) sum = cpxMulAdd(sum, at(k), twiddle(j, k, s));
    scratch[j] = sum;
  }
  for (int32_t j = 0; j < n; ++j) at(j) = finishSum(scratch[j], n, direction);
  if (progress != nullptr) progress->done.fetch_add(uint64_t(n) * uint64_t(n));
}

// The direct passes over the rows, the columns or both, with a scratch line
// of max(W, H) samples.
static void directPasses(Plane plane, int32_t width, int32_t height, int direction, bool rows,
                         bool columns, Complex* scratch, DftProgress* progress) {
  if (progress != nullptr) progress->termByTerm.store(true);
  double s = angleStep(width, direction);
  for (int32_t y = 0; rows && y < height; ++y) {
    Complex* row = complexRow(plane, y);
    directLine([row](int32_t k) -> Complex& { return row[k]; }, width, s, scratch, direction,
               progress);
  }
  s = angleStep(height, direction);
  for (int32_t x = 0; columns && x < width; ++x)
    directLine([plane, x](int32_t k) -> Complex& { return complexRow(plane, k)[x]; }, height, s,
               scratch, direction, progress);
}

// ---- Working memory ---------------------------------------------------------
// A table, or the copied lines of a pass without one, is written once and
// read many times: its block is aligned to 2 MiB and, on Linux, asks for
// transparent huge pages, because at 4 KiB a page the first touch of each
// page costs more than filling it. The per-thread tiles or strips follow.
static const size_t kHugePage = size_t(2) << 20;

struct WorkMemory {
  void* raw = nullptr;        // what malloc returned; the one pointer to free
  double* shared = nullptr;   // the table, or the copied lines
  double* own = nullptr;      // each thread's tiles or strip, one after the other
  bool* realInput = nullptr;  // per tile of the copied lines
};

// On 32-bit systems the total must also fit in size_t, which the check of
// the total ensures; the callers keep every count below 2^60.
static bool workAlloc(uint64_t sharedDoubles, uint64_t ownDoubles, uint64_t flags,
                      WorkMemory* work) {
  const uint64_t sharedBytes = sharedDoubles * sizeof(double);
  const uint64_t total = sharedBytes + ownDoubles * sizeof(double) + flags + kHugePage;
  if (total > uint64_t(PTRDIFF_MAX)) return false;
  work->raw = std::malloc(size_t(total));
  if (work->raw == nullptr) return false;
  const uintptr_t start = (uintptr_t(work->raw) + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
  work->shared = reinterpret_cast<double*>(start);
  work->own = work->shared + sharedDoubles;
  work->realInput = reinterpret_cast<bool*>(work->own + ownDoubles);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only whole huge pages, so no page is made resident that is not filled
  // anyway. A refusal just keeps small pages.
  const size_t advised = size_t(sharedBytes) & ~(kHugePage - 1);
  if (advised > 0) madvise(work->shared, advised, MADV_HUGEPAGE);
#endif
  return true;
}

// How a pass keeps its factors.
//   - A table costs 16 n^2 bytes and one evaluation per unordered pair.
//   - Strips cost the bytes of the pass's lines (copied into tiles) and one
//     evaluation per factor, twice the table's.
// The table is the choice while it is no larger than 64 MiB or twice the
// lines: for a square picture that is always. A thin picture's long pass
// (20000 x 2: a table of 6.4 GB for two lines) takes strips.
static const uint64_t kSmallTable = uint64_t(64) << 20;

static uint64_t tableDoubles(int32_t n) {
  return uint64_t(stripCount(n)) * kStripOutputs * uint64_t(n) * 2;
}

static uint64_t tiledLinesDoubles(int32_t n, int32_t count) {
  return (uint64_t(count) + kTileLines - 1) / kTileLines * tileDoubles(n);
}

static DftFactors chooseFactors(int32_t n, int32_t count) {
  const uint64_t table = tableDoubles(n), lines = tiledLinesDoubles(n, count);
  return table * sizeof(double) <= kSmallTable || table <= 2 * lines ? kDftTable : kDftStrips;
}

// The factors and working memory of a pass, kept for the next pass when it
// can use the same table (a square plane's column pass needs exactly the
// factors of its row pass).
struct PassMemory {
  WorkMemory work;
  DftFactors factors = kDftAuto;
  int32_t tableLength = 0;  // n of the table in work.shared, or 0
  int threads = 0;
};

static void passMemoryFree(PassMemory* memory) {
  std::free(memory->work.raw);
  *memory = PassMemory();
}

// Memory for a pass with these factors, on as many of `threads` threads as
// it can be had for. False when not even one thread's can.
static bool passMemoryGet(const Pass& pass, DftFactors factors, int threads, PassMemory* memory) {
  if (factors == kDftTable && memory->factors == kDftTable && memory->tableLength == pass.n &&
      memory->threads >= threads)
    return true;
  passMemoryFree(memory);
  for (int t = threads; t >= 1; t /= 2) {
    const uint64_t own = uint64_t(t) * tileDoubles(pass.n);
    const uint64_t tiles = tiledLinesDoubles(pass.n, pass.count);
    const bool got = factors == kDftTable
                         ? workAlloc(tableDoubles(pass.n), own * kBlockTiles, 0, &memory->work)
                         : workAlloc(tiles, own, tiles / tileDoubles(pass.n), &memory->work);
    if (got) {
      memory->factors = factors;
      memory->threads = t;
      if (factors == kDftTable) {
        fillTable(memory->work.shared, pass.n, pass.step, t);
        memory->tableLength = pass.n;
      }
      return true;
    }
  }
  return false;
}

// Transforms `count` lines of length n. Returns false, with the lines
// untouched, when the memory for the factors cannot be had, either kind.
// A line past 2^28 would need a table of more than 2^60 bytes, which no
// machine has: refusing it keeps every count of the memory below 2^63.
template <typename At>
static bool runPass(At at, const Pass& pass, DftFactors factors, int threads, PassMemory* memory) {
  if (pass.n > (int32_t(1) << 28)) return false;
  if (factors == kDftAuto) factors = chooseFactors(pass.n, pass.count);
  if (!passMemoryGet(pass, factors, threads, memory) &&
      !passMemoryGet(pass, factors == kDftTable ? kDftStrips : kDftTable, threads, memory))
    return false;
  if (memory->factors == kDftTable)
    tablePass(at, pass, memory->work.shared, memory->work.own, memory->threads);
  else
    stripPass(at, pass, memory->work.shared, memory->work.realInput, memory->work.own,
              memory->threads);
  return true;
}

// ---- Kernel choice ----------------------------------------------------------
// Every instruction set of this build, narrowest first: dft2d runs the last
// one the CPU has. A new set is one row here, its kernels' file and its line
// in CMakeLists.txt.

namespace {

bool always() { return true; }
DftKernels plainKernels() {
  return DftKernels{tileSums<Lanes<double>, 1, false>, tileSums<Lanes<double>, 1, true>};
}
#if defined(SPECCORE_X86_KERNELS)
bool cpuHasAvx2() { return __builtin_cpu_supports("avx2"); }
bool cpuHasAvx512() { return __builtin_cpu_supports("avx512f"); }
#endif

const DftIsa kIsas[] = {
    {"scalar", always, plainKernels},
#if defined(SPECCORE_X86_KERNELS)
    {"avx2", cpuHasAvx2, dftKernelsAvx2}, {"avx512", cpuHasAvx512, dftKernelsAvx512},
#endif
#if defined(SPECCORE_NEON_KERNELS)
    {"neon", always, dftKernelsNeon},  // every aarch64 processor has AdvSIMD
#endif
#if defined(SPECCORE_WASM_KERNELS)
    {"wasm", always, dftKernelsWasm},  // a build for 128-bit SIMD runs only where it is
#endif
};

}  // namespace

DftIsaList dftIsas() { return DftIsaList{std::begin(kIsas), std::end(kIsas)}; }

const DftIsa& dftBestIsa() {
  const DftIsa* best = &kIsas[0];
  for (const DftIsa& isa : kIsas)
    if (isa.available()) best = &isa;
  return *best;
}

// ---- Entry points -----------------------------------------------------------

// Threads are worth starting for a transform of this many multiply-adds or more.
static const uint64_t kThreadedWork = uint64_t(1) << 20;

// Lines of up to this many samples accumulate on the stack in the direct
// passes; longer ones take their scratch line from the heap, which a large
// stack array could overflow.
enum { kStackLine = 1024 };

int dft2dWith(Plane plane, int32_t width, int32_t height, int direction,
              const DftOptions& options) {
  if (width <= 0 || height <= 0) return kStatusOk;  // nothing to transform
  if (plane == nullptr) return kStatusArgument;
  // The direct passes' scratch line is had first: with it, a transform can
  // always be finished, whatever memory the faster passes find.
  const int32_t m = width > height ? width : height;
  Complex stackLine[kStackLine];
  Complex* scratch = stackLine;
  if (m > kStackLine) {
    scratch = static_cast<Complex*>(std::malloc(size_t(m) * sizeof(Complex)));
    if (scratch == nullptr) return kStatusMemory;
  }
  const uint64_t work = uint64_t(width) * uint64_t(height) * (uint64_t(width) + height);
  if (options.progress != nullptr) options.progress->total.store(work);
  // A count asked for is taken as it is; "every processor" only for work
  // that pays for starting threads.
  const int threads =
      options.threads > 0 ? options.threads : (work < kThreadedWork ? 1 : availableProcessors());
  const DftKernels kernels = (options.isa != nullptr ? *options.isa : kIsas[0]).kernels();
  const Pass rows = {width,   height,          direction, angleStep(width, direction),
                     kernels, options.progress};
  const Pass columns = {height,  width,           direction, angleStep(height, direction),
                        kernels, options.progress};
  PassMemory memory;
  // Without memory for a pass the direct passes do it: the row pass has then
  // changed nothing yet, the column pass only its own lines.
  const bool direct = options.factors == kDftDirect;
  const bool rowsDone =
      !direct &&
      runPass([plane](int32_t y, int32_t k) -> Complex& { return complexRow(plane, y)[k]; }, rows,
              options.factors, threads, &memory);
  const bool columnsDone =
      rowsDone &&
      runPass([plane](int32_t x, int32_t k) -> Complex& { return complexRow(plane, k)[x]; },
              columns, options.factors, threads, &memory);
  passMemoryFree(&memory);
  if (!columnsDone)
    directPasses(plane, width, height, direction, !rowsDone, true, scratch, options.progress);
  if (scratch != stackLine) std::free(scratch);
  return kStatusOk;
}

int dft2dDirect(Plane plane, int32_t width, int32_t height, int direction) {
  DftOptions options;
  options.factors = kDftDirect;
  return dft2dWith(plane, width, height, direction, options);
}

// ---- One pass in runs of lines ----------------------------------------------

struct DftLinePass {
  int32_t n;
  int direction;
  DftFactors factors;  // as chosen for the whole pass
  int threads;
  DftKernels kernels;
  PassMemory memory;  // the table, kept for the next run
  Complex* scratch;   // the direct passes' line
};

DftLinePass* dftLinePassNew(int32_t n, int32_t lines, int direction, const DftOptions& options) {
  if (n <= 0 || lines <= 0) return nullptr;
  DftLinePass* pass = new (std::nothrow) DftLinePass();
  if (pass == nullptr) return nullptr;
  pass->scratch = static_cast<Complex*>(std::malloc(size_t(n) * sizeof(Complex)));
  if (pass->scratch == nullptr) {
    delete pass;
    return nullptr;
  }
  pass->n = n;
  pass->direction = direction;
  pass->factors = options.factors == kDftAuto ? chooseFactors(n, lines) : options.factors;
  pass->threads = options.threads > 0 ? options.threads : availableProcessors();
  pass->kernels = (options.isa != nullptr ? *options.isa : kIsas[0]).kernels();
  return pass;
}

void dftLinePassRun(DftLinePass* pass, Complex* lines, int32_t count, DftProgress* progress) {
  const int32_t n = pass->n;
  const Pass run = {n,       count, pass->direction, angleStep(n, pass->direction), pass->kernels,
                    progress};
  auto at = [lines, n](int32_t line, int32_t k) -> Complex& {
    return lines[size_t(line) * size_t(n) + size_t(k)];
  };
  if (count <= 0) return;
  if (pass->factors != kDftDirect && runPass(at, run, pass->factors, pass->threads, &pass->memory))
    return;
  for (int32_t l = 0; l < count; ++l) {
    Complex* line = lines + size_t(l) * size_t(n);
    directLine([line](int32_t k) -> Complex& { return line[k]; }, n, run.step, pass->scratch,
               pass->direction, progress);
  }
}

void dftLinePassFree(DftLinePass* pass) {
  if (pass == nullptr) return;
  passMemoryFree(&pass->memory);
  std::free(pass->scratch);
  delete pass;
}

int dft2dThreads(Plane plane, int32_t width, int32_t height, int direction, int threads,
                 DftProgress* progress) {
  DftOptions options;
  options.isa = &dftBestIsa();
  options.threads = threads;
  options.progress = progress;
  return dft2dWith(plane, width, height, direction, options);
}

int dft2d(Plane plane, int32_t width, int32_t height, int direction) {
  return dft2dThreads(plane, width, height, direction, 1, nullptr);
}

}  // namespace speccore
