#include "request.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "bmpinput.h"

using namespace speccore;

namespace {

// clang-format off
const ToolOption kOptions[] = {
    {'l', "<r>", "low-pass: keep the frequencies up to radius r."},
    {'e', "<r>", "high-pass: keep the frequencies above radius r (the edges)."},
    {'b', "<r1>,<r2>", "band-pass: keep the ring from radius r1 to r2."},
    {'r', "<r1>,<r2>", "band-stop: remove that ring."},
    {'n', "<u>,<v>,<r>", "notch: remove frequency (u, v) and its mirror, radius r. repeatable."},
    {'m', "<mask_bmp>", "mask: gray level / 255 of the picture laid out like PowerSpectrum.bmp."},
    {'g', "", "Gaussian shape. default ideal."},
    {'o', "<n>", "Butterworth shape of order n."},
    {'d', "", "masks in natural order, not centred."},
    {'s', "", "symmetric masks: each gain the smaller of its own and its mirror's."},
    {'h', "", "This option shows only this message."},
};
// clang-format on

// Reads `count` numbers separated by commas that make up the whole of
// `text`. Returns false for anything else: "", "30x", "1,,2", "1,2,".
bool readNumbers(const char* text, double* values, int count) {
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    values[i] = std::strtod(text, &end);
    if (end == text || *end != (i + 1 < count ? ',' : '\0')) return false;
    text = end + 1;
  }
  return true;
}

bool positive(double value) { return value > 0 && std::isfinite(value); }

// A whole number that an int32_t holds.
bool whole(double value) { return std::floor(value) == value && std::fabs(value) <= INT32_MAX; }

bool readRadius(const char* value, FilterFactor* factor) {
  double r = 0;
  if (!readNumbers(value, &r, 1) || !positive(r)) return false;
  factor->radius = r;
  return true;
}

bool readRing(const char* value, FilterFactor* factor) {
  double r[2] = {0, 0};
  if (!readNumbers(value, r, 2) || !positive(r[0]) || !positive(r[1]) || !(r[0] < r[1]))
    return false;
  factor->radius = r[0];
  factor->outer = r[1];
  return true;
}

bool readNotch(const char* value, FilterFactor* factor) {
  double n[3] = {0, 0, 0};
  if (!readNumbers(value, n, 3) || !whole(n[0]) || !whole(n[1]) || !positive(n[2])) return false;
  factor->u = int32_t(n[0]);
  factor->v = int32_t(n[1]);
  factor->radius = n[2];
  return true;
}

// The mask's file is read once the spectrum's size is known.
bool readMaskName(const char* value, FilterFactor*) { return value[0] != '\0'; }

// The filters: each option's kind, how its value reads, and what the line
// says when it does not ("Option '-l0': the radius is not a positive
// number."). The order of the usage is kOptions's.
struct FilterOption {
  char letter;
  FilterKind kind;
  bool (*read)(const char* value, FilterFactor* factor);
  const char* complaint;
};

const FilterOption kFilters[] = {
    {'l', kFilterLowPass, readRadius, "the radius is not a positive number."},
    {'e', kFilterHighPass, readRadius, "the radius is not a positive number."},
    {'b', kFilterBandPass, readRing, "not two positive radii, the smaller first."},
    {'r', kFilterBandStop, readRing, "not two positive radii, the smaller first."},
    {'n', kFilterNotch, readNotch, "not a frequency u,v of whole numbers and a positive radius."},
    {'m', kFilterMask, readMaskName, "no mask file named."},
};

// Reads one valued option into a factor; returns false when its value is no
// good, after the line that says why.
bool readFactor(const OptionValue& option, FilterFactor* factor) {
  for (const FilterOption& f : kFilters) {
    if (f.letter != option.letter) continue;
    factor->kind = f.kind;
    if (f.read(option.value, factor)) return true;
    std::fprintf(stderr, "Option '-%c%s': %s\n", option.letter, option.value, f.complaint);
    return false;
  }
  return false;  // no valued letter of kOptions is left without a row
}

}  // namespace

const ToolCommandLine kFilterCommandLine = {
    kOptions,
    int(std::size(kOptions)),
    "[complex_in.dat [complex_out.dat]]",
    2,
    {"dft_complex.dat", "dft_filtered.dat"},
};

int filterRequestRead(const CommandLine& line, FilterRequest* request) {
  SpectrumFilter& f = request->filter;
  f.factors = request->factors;
  f.count = 0;
  f.shape = flagGiven(line, 'g') ? kShapeGaussian : kShapeIdeal;
  f.order = 1;
  f.maskNatural = flagGiven(line, 'd');
  f.maskSymmetric = flagGiven(line, 's');
  for (int i = 0; i < line.valuedCount; ++i) {
    const OptionValue& option = line.valued[i];
    if (option.letter == 'o') {
      double n = 0;
      if (!readNumbers(option.value, &n, 1) || !whole(n) || n < 1) {
        std::fprintf(stderr, "Option '-o%s': the order is not a whole number from 1 on.\n",
                     option.value);
        return kExitUsage;
      }
      f.order = int(n);
      request->order = option.value;
      continue;
    }
    if (!readFactor(option, &request->factors[f.count])) return kExitUsage;
    request->given[f.count++] = &option;
  }
  if (request->order != nullptr) {
    if (f.shape == kShapeGaussian) {
      std::fputs("Options -g and -o: one shape only.\n", stderr);
      return kExitUsage;
    }
    f.shape = kShapeButterworth;
  }
  if (f.count == 0) {
    std::fputs("No filter: give -l, -e, -b, -r, -n or -m.\n", stderr);
    return kExitUsage;
  }
  return kExitOk;
}

int filterRequestFit(FilterRequest* request, int32_t width, int32_t height) {
  const SpectrumFilter& f = request->filter;
  for (int i = 0; i < f.count; ++i) {
    if (request->factors[i].kind == kFilterNotch &&
        !filterFactorFits(&f.factors[i], width, height)) {
      std::fprintf(stderr, "Option '-n%s': notch outside the spectrum(%d x %d)\n",
                   request->given[i]->value, width, height);
      return kExitFilterMismatch;
    }
  }
  for (int i = 0; i < f.count; ++i) {
    FilterFactor& k = request->factors[i];
    if (k.kind != kFilterMask) continue;
    const char* path = request->given[i]->value;
    const int status = bmpInputDecode(path, &k.mask);
    if (status != kExitOk) return status;
    if (!filterFactorFits(&k, width, height)) {
      std::fprintf(stderr, "'%s' mask size(%d x %d) is not the spectrum's(%d x %d)\n", path,
                   k.mask.width, k.mask.height, width, height);
      return kExitFilterMismatch;
    }
  }
  return kExitOk;
}

int filterRequestMasks(const FilterRequest& request, const char** paths) {
  int count = 0;
  for (int i = 0; i < request.filter.count; ++i)
    if (request.factors[i].kind == kFilterMask) paths[count++] = request.given[i]->value;
  return count;
}

void filterRequestFree(FilterRequest* request) {
  for (FilterFactor& k : request->factors) {
    std::free(k.mask.pixels);
    k.mask.pixels = nullptr;
  }
}

char* filterRequestText(const FilterRequest& request, const char* inputText) {
  const SpectrumFilter& f = request.filter;
  bool masks = false;
  size_t length = std::strlen(inputText) + 64 + (request.order ? std::strlen(request.order) : 0);
  for (int i = 0; i < f.count; ++i) {
    length += 4 + std::strlen(request.given[i]->value);
    masks = masks || f.factors[i].kind == kFilterMask;
  }
  char* text = static_cast<char*>(std::malloc(length));
  if (text == nullptr) return nullptr;
  // Each run adds its line under those of the runs before it.
  int at = std::snprintf(text, length, "%s%sspecfilter%s", inputText, *inputText ? "\n" : "",
                         f.shape == kShapeGaussian ? " -g" : "");
  if (request.order != nullptr) at += std::snprintf(text + at, length - at, " -o%s", request.order);
  if (masks && f.maskNatural) at += std::snprintf(text + at, length - at, " -d");
  if (masks && f.maskSymmetric) at += std::snprintf(text + at, length - at, " -s");
  for (int i = 0; i < f.count; ++i) {
    const OptionValue& given = *request.given[i];
    at += std::snprintf(text + at, length - at, " -%c%s", given.letter, given.value);
  }
  return text;
}
