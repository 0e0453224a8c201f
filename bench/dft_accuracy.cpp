// How far a spectrum file lies from the exact DFT of a gray picture:
//
//   dft_accuracy SourceToGray.bmp dft_complex.dat [sampled_columns [seed]]
//
// The reference is summed in long double with compensated sums, whose error
// is some thousand times below the one measured. A full reference of a photo
// would take hours, so it covers a chosen set: every coefficient of the two
// axes u = 0 and v = 0, where the error is largest (their terms all add up
// to sums as large as the zero frequency), and a random sample of the rest
// (sampled_columns columns u, default 16, with 64 rows v each).
// The axes come cheap: F(u, 0) is the 1-D DFT of the picture's exact integer
// column sums, F(0, v) that of its row sums.
//
// The axis u = 0 is also split by cause. The row pass hands the column pass
// the exact row sums there, so the suite's column sums can be redone outside
// it: once with the suite's own factors summed exactly, once with exact
// factors (rounded to double) summed the suite's way, a running sum from zero.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "speccore/bmp.h"
#include "speccore/spectrumfile.h"
#include "speccore/types.h"

using namespace speccore;

static_assert(LDBL_MANT_DIG >= 64, "the reference needs a long double wider than a double");

namespace {

struct Exact {
  long double re = 0, im = 0;
};

// Kahan's compensated sum of one complex series.
struct Sum {
  Exact total, carry;
};

void sumAdd(long double* total, long double* carry, long double term) {
  const long double y = term - *carry;
  const long double t = *total + y;
  *carry = (t - *total) - y;
  *total = t;
}

void sumAdd(Sum* sum, long double re, long double im) {
  sumAdd(&sum->total.re, &sum->carry.re, re);
  sumAdd(&sum->total.im, &sum->carry.im, im);
}

// exp(-2 pi i k / n) for k = 0 .. n-1; an index is reduced exactly, as an
// integer, before it is looked up.
std::vector<Exact> twiddles(int32_t n) {
  const long double turn = 6.283185307179586476925286766559L / n;
  std::vector<Exact> table(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) table[k] = Exact{std::cos(turn * k), -std::sin(turn * k)};
  return table;
}

// The 1-D DFT of `series` at frequency f, with the table of its length.
Exact dft1(const std::vector<Exact>& series, const std::vector<Exact>& table, int64_t f) {
  const int64_t n = int64_t(series.size());
  Sum sum;
  for (int64_t k = 0; k < n; ++k) {
    const Exact t = table[size_t(f * k % n)], s = series[size_t(k)];
    sumAdd(&sum, s.re * t.re - s.im * t.im, s.re * t.im + s.im * t.re);
  }
  return sum.total;
}

// The same for a line of gray levels.
Exact dft1(const uint8_t* levels, const std::vector<Exact>& table, int64_t f) {
  const int64_t n = int64_t(table.size());
  Sum sum;
  for (int64_t k = 0; k < n; ++k) {
    const Exact t = table[size_t(f * k % n)];
    sumAdd(&sum, levels[k] * t.re, levels[k] * t.im);
  }
  return sum.total;
}

struct Worst {
  double error = 0;  // |file - reference| / largest coefficient
  int32_t u = 0, v = 0;
  int64_t count = 0;
};

void judge(Worst* worst, Complex got, Exact exact, long double largest, int32_t u, int32_t v) {
  const long double dr = got.re - exact.re, di = got.im - exact.im;
  const double e = double(std::sqrt(dr * dr + di * di) / largest);
  if (e > worst->error || worst->count == 0) *worst = Worst{e, u, v, worst->count};
  ++worst->count;
}

// The suite's factor for output j and input k of a pass of length n: the
// angle formed in double as max(j, k) * (min(j, k) * s), as its table does.
Complex suiteTwiddle(int64_t j, int64_t k, int64_t n) {
  const double s = -6.283185307179586 / double(n);
  const double theta = j <= k ? double(k) * (double(j) * s) : double(j) * (double(k) * s);
  return Complex{std::cos(theta), std::sin(theta)};
}

// F(0, v) of the axis u = 0 with the suite's factors summed exactly, and with
// exact factors summed the suite's way.
void axisCauses(const std::vector<Exact>& rowSums, const std::vector<Exact>& table, int32_t v,
                Exact* suiteFactors, Exact* suiteSums) {
  const int64_t n = int64_t(rowSums.size());
  Sum exactSum;
  double re = 0.0, im = 0.0;
  for (int64_t k = 0; k < n; ++k) {
    const double r = double(rowSums[size_t(k)].re);
    const Complex t = suiteTwiddle(v, k, n);
    sumAdd(&exactSum, r * static_cast<long double>(t.re), r * static_cast<long double>(t.im));
    const Exact e = table[size_t(v * k % n)];
    re = re + r * double(e.re);
    im = im + r * double(e.im);
  }
  *suiteFactors = exactSum.total;
  *suiteSums = Exact{re, im};
}

void report(const char* what, const Worst& w) {
  std::printf("%-28s %8lld coefficients  largest error %.2e at (u, v) = (%d, %d)\n", what,
              static_cast<long long>(w.count), w.error, w.u, w.v);
}

// Gray levels of the picture, row 0 at the bottom as the transform sees it;
// null after a message.
Plane loadGray(const char* path, int32_t* width, int32_t* height) {
  uint8_t* image = nullptr;
  uint32_t size = 0;
  if (bmpLoad(path, &image, &size) != 0) return nullptr;
  BmpPicture picture = {nullptr, 0, 0, 0};
  if (bmpCheck(image, size) != 0 || bmpDecodePicture(image, &picture) != 0) {
    std::fprintf(stderr, "'%s' is no picture this suite reads\n", path);
    std::free(image);
    return nullptr;
  }
  std::free(image);
  *width = picture.width;
  *height = picture.height;
  return picture.pixels;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "usage: %s gray_bmp spectrum.dat [sampled_columns [seed]]\n", argv[0]);
    return 1;
  }
  const int columns = argc > 3 ? std::atoi(argv[3]) : 16;
  const unsigned seed = argc > 4 ? unsigned(std::atoi(argv[4])) : 1u;
  int32_t w = 0, h = 0;
  Plane pixels = loadGray(argv[1], &w, &h);
  if (pixels == nullptr) return 1;
  uint32_t size = 0;
  uint8_t* file = readSpectrumFile(argv[2], &size);
  SpectrumView view = {nullptr, 0, 0};
  if (file == nullptr || spectrumViewOpen(file, size, &view) != 0 || view.width != w ||
      view.height != h) {
    std::fprintf(stderr, "'%s' is no spectrum of a %d x %d picture\n", argv[2], w, h);
    std::free(view.samples);
    std::free(file);
    std::free(pixels);
    return 1;
  }

  std::vector<uint8_t> gray(size_t(w) * size_t(h));
  std::vector<Exact> columnSums(static_cast<size_t>(w)), rowSums(static_cast<size_t>(h));
  long double total = 0;  // sums of at most 2^31 levels of 255: exact
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int g = pixelToGray(pixelRow(pixels, y)[x]);
      gray[size_t(y) * w + x] = uint8_t(g);
      columnSums[x].re += g;
      rowSums[y].re += g;
      total += g;
    }
  }
  std::free(pixels);
  const std::vector<Exact> rowTable = twiddles(w), columnTable = twiddles(h);
  // F(0, 0) is the sum of the levels: the largest coefficient of a picture.
  const long double largest = total > 0 ? total : 1;
  std::printf("%d x %d, largest coefficient |F(0, 0)| = %.0Lf\n", w, h, total);

  Worst axisV, axisU, sample;
  for (int32_t u = 0; u < w; ++u)
    judge(&axisV, complexRow(view.samples, 0)[u], dft1(columnSums, rowTable, u), largest, u, 0);
  for (int32_t v = 0; v < h; ++v)
    judge(&axisU, complexRow(view.samples, v)[0], dft1(rowSums, columnTable, v), largest, 0, v);
  report("axis v = 0 (row 0)", axisV);
  report("axis u = 0 (column 0)", axisU);
  Worst factorsOnly, sumsOnly;
  for (int32_t v = 0; v < h; ++v) {
    const Exact exact = dft1(rowSums, columnTable, v);
    Exact withFactors, withSums;
    axisCauses(rowSums, columnTable, v, &withFactors, &withSums);
    judge(&factorsOnly, Complex{double(withFactors.re), double(withFactors.im)}, exact, largest, 0,
          v);
    judge(&sumsOnly, Complex{double(withSums.re), double(withSums.im)}, exact, largest, 0, v);
  }
  report("  its factors, exact sums", factorsOnly);
  report("  exact factors, its sums", sumsOnly);

  // The sample: for each column u, the row pass of every picture row at u
  // once, then the column sums at the sampled rows v.
  std::mt19937 random(seed);
  std::vector<Exact> rowPass(static_cast<size_t>(h));
  for (int c = 0; c < columns && w > 1 && h > 1; ++c) {
    const int32_t u = 1 + int32_t(random() % uint32_t(w - 1));
    for (int32_t y = 0; y < h; ++y) rowPass[y] = dft1(&gray[size_t(y) * w], rowTable, u);
    for (int r = 0; r < 64; ++r) {
      const int32_t v = 1 + int32_t(random() % uint32_t(h - 1));
      judge(&sample, complexRow(view.samples, v)[u], dft1(rowPass, columnTable, v), largest, u, v);
    }
  }
  report("sample off the axes", sample);
  std::free(view.samples);
  std::free(file);
  return 0;
}
