#include "speccore/filter.h"

#include <algorithm>
#include <cmath>

#include "parallel.h"
#include "speccore/bmp.h"

namespace speccore {

namespace {

// The frequency of index i of n: i up to n/2, i - n above. Index i and its
// mirror (n - i) mod n get frequencies of one magnitude, which is what makes
// every radial factor exactly symmetric.
int64_t frequency(int64_t i, int32_t n) { return i <= n / 2 ? i : i - n; }

// The squared distance from index (u, v) to the frequency (fu, fv), measured
// around the spectrum's edges as the DFT's periodicity has it. Exact: the
// sizes a spectrum file allows keep the sum far below 2^53.
double distance2(int32_t u, int32_t v, int64_t fu, int64_t fv, int32_t width, int32_t height) {
  const int64_t du = frequency(((u - fu) % width + width) % width, width);
  const int64_t dv = frequency(((v - fv) % height + height) % height, height);
  return double(du * du + dv * dv);
}

double lowPass(const SpectrumFilter& f, double d2, double radius) {
  // Every shape passes its centre whole, also for a radius whose square
  // underflows to 0 (where the Gaussian would divide 0 by 0).
  if (d2 == 0.0) return 1.0;
  const double r2 = radius * radius;
  switch (f.shape) {
    case kShapeGaussian:
      return std::exp(-d2 / (2.0 * r2));
    case kShapeButterworth:
      return 1.0 / (1.0 + std::pow(d2 / r2, f.order));
    default:
      return d2 <= r2 ? 1.0 : 0.0;
  }
}

double bandPass(const SpectrumFilter& f, double d2, double inner, double outer) {
  if (f.shape == kShapeIdeal) return d2 >= inner * inner && d2 <= outer * outer ? 1.0 : 0.0;
  // s runs from -infinity at the zero frequency through -1 at the inner
  // radius and 1 at the outer one, so the ring's edges get the low-pass
  // gain at its cut-off.
  if (d2 == 0.0) return 0.0;
  double s = (d2 - inner * outer) / (std::sqrt(d2) * (outer - inner));
  // Radii near the largest double overflow the products (-b5,1e308 makes
  // inf / inf). The same s from terms that stay finite (distances are whole
  // numbers, so d >= 1): s = d / (r2 - r1) - (r1 / d) (r2 / (r2 - r1)), which
  // is never inf - inf. Only then, so that every other gain keeps its bits.
  if (!std::isfinite(s)) {
    const double d = std::sqrt(d2);
    s = d / (outer - inner) - (inner / d) * (outer / (outer - inner));
  }
  return lowPass(f, s * s, 1.0);
}

// Where swapQuadrants puts sample (u, v): it exchanges the quadrants of the
// first 2 (W/2) columns and 2 (H/2) rows, and leaves an odd side's last
// column and last row whole where they are. It swaps disjoint pairs, so the
// same mapping leads back.
int maskLevel(const SpectrumFilter& f, const BmpPicture& mask, int32_t u, int32_t v) {
  const int32_t hw = mask.width / 2, hh = mask.height / 2;
  int32_t x = u, y = v;
  if (!f.maskNatural && u < 2 * hw && v < 2 * hh) {
    x = u < hw ? u + hw : u - hw;
    y = v < hh ? v + hh : v - hh;
  }
  return pixelToGray(pixelRow(mask.pixels, y)[x]);
}

double factorGain(const SpectrumFilter& f, const FilterFactor& k, int32_t u, int32_t v,
                  int32_t width, int32_t height) {
  const double d2 = distance2(u, v, 0, 0, width, height);
  switch (k.kind) {
    case kFilterLowPass:
      return lowPass(f, d2, k.radius);
    case kFilterHighPass:
      return 1.0 - lowPass(f, d2, k.radius);
    case kFilterBandPass:
      return bandPass(f, d2, k.radius, k.outer);
    case kFilterBandStop:
      return 1.0 - bandPass(f, d2, k.radius, k.outer);
    case kFilterNotch: {
      const double a = 1.0 - lowPass(f, distance2(u, v, k.u, k.v, width, height), k.radius);
      // A frequency that is its own mirror (the zero frequency, or half the
      // size of an even side) is removed once, not twice.
      const bool ownMirror = (2 * int64_t(k.u)) % width == 0 && (2 * int64_t(k.v)) % height == 0;
      if (ownMirror) return a;
      return a * (1.0 - lowPass(f, distance2(u, v, -int64_t(k.u), -int64_t(k.v), width, height),
                                k.radius));
    }
    default: {
      int level = maskLevel(f, k.mask, u, v);
      if (f.maskSymmetric)
        level = std::min(level, maskLevel(f, k.mask, (width - u) % width, (height - v) % height));
      return level / 255.0;
    }
  }
}

// Whether the factors make sense for a W x H spectrum: see filterSpectrum.
bool usable(const SpectrumFilter* f, int32_t width, int32_t height) {
  if (f == nullptr || width < 1 || height < 1 || f->count < 0 ||
      (f->count > 0 && f->factors == nullptr))
    return false;
  if (f->shape != kShapeIdeal && f->shape != kShapeGaussian &&
      (f->shape != kShapeButterworth || f->order < 1))
    return false;
  const auto radius = [](double r) { return r > 0 && std::isfinite(r); };
  for (int i = 0; i < f->count; ++i) {
    const FilterFactor& k = f->factors[i];
    if (k.kind < kFilterLowPass || k.kind > kFilterMask || !filterFactorFits(&k, width, height))
      return false;
    if (k.kind == kFilterMask) {
      if (k.mask.pixels == nullptr) return false;
    } else if (!radius(k.radius) || ((k.kind == kFilterBandPass || k.kind == kFilterBandStop) &&
                                     !(radius(k.outer) && k.outer > k.radius))) {
      return false;
    }
  }
  return true;
}

double gainOf(const SpectrumFilter* filter, int32_t u, int32_t v, int32_t width, int32_t height) {
  double gain = 1.0;
  for (int i = 0; i < filter->count; ++i)
    gain *= factorGain(*filter, filter->factors[i], u, v, width, height);
  return gain;
}

}  // namespace

double filterGain(const SpectrumFilter* filter, int32_t u, int32_t v, int32_t width,
                  int32_t height) {
  if (!usable(filter, width, height) || u < 0 || u >= width || v < 0 || v >= height)
    return std::nan("");
  return gainOf(filter, u, v, width, height);
}

bool filterFactorFits(const FilterFactor* factor, int32_t width, int32_t height) {
  if (factor == nullptr || width < 1 || height < 1) return false;
  if (factor->kind == kFilterNotch) {
    // Compared doubled, so an odd side's half is not rounded down.
    return 2 * std::abs(int64_t(factor->u)) <= width && 2 * std::abs(int64_t(factor->v)) <= height;
  }
  if (factor->kind == kFilterMask)
    return factor->mask.width == width && factor->mask.height == height;
  return true;
}

// Below this many samples, starting threads costs more than they save.
static const int64_t kThreadedSamples = int64_t(1) << 16;

int filterSpectrum(Plane samples, int32_t width, int32_t height, const SpectrumFilter* filter,
                   int threads) {
  if (samples == nullptr || !usable(filter, width, height)) return kStatusArgument;
  if (threads <= 0 && int64_t(width) * height < kThreadedSamples) threads = 1;
  parallelRows(height, threads, [&](int32_t first, int32_t last) {
    for (int32_t v = first; v < last; ++v) {
      Complex* row = complexRow(samples, v);
      for (int32_t u = 0; u < width; ++u) {
        const double gain = gainOf(filter, u, v, width, height);
        row[u].re *= gain;
        row[u].im *= gain;
      }
    }
  });
  return kStatusOk;
}

}  // namespace speccore
