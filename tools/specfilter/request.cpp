#include "request.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bmpinput.h"

// clang-format off
const ToolCommandLine kFilterCommandLine = {
    "[-l<r>] [-e<r>] [-b<r1>,<r2>] [-r<r1>,<r2>] [-n<u>,<v>,<r>] [-m<mask_bmp>] [-g] [-o<n>] [-d] [-s] [-h] ",
    "[complex_in.dat [complex_out.dat]]",
    "\t-l<r>: low-pass: keep the frequencies up to radius r.\n"
    "\t-e<r>: high-pass: keep the frequencies above radius r (the edges).\n"
    "\t-b<r1>,<r2>: band-pass: keep the ring from radius r1 to r2.\n"
    "\t-r<r1>,<r2>: band-stop: remove that ring.\n"
    "\t-n<u>,<v>,<r>: notch: remove frequency (u, v) and its mirror, radius r. repeatable.\n"
    "\t-m<mask_bmp>: mask: gray level / 255 of the picture laid out like PowerSpectrum.bmp.\n"
    "\t-g: Gaussian shape. default ideal.\n"
    "\t-o<n>: Butterworth shape of order n.\n"
    "\t-d: masks in natural order, not centred.\n"
    "\t-s: symmetric masks: each gain the smaller of its own and its mirror's.\n"
    "\t-h: This option shows only this message.\n",
    "gds",
    2,
    {"dft_complex.dat", "dft_filtered.dat"},
    "lebrnmo",
};
// clang-format on

namespace {

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

// Reads one valued option into a factor; returns false when its value is no
// good, after the line that says why.
bool readFactor(const OptionValue& option, FilterFactor* factor) {
  double n[3] = {0, 0, 0};
  const char letter = option.letter;
  if (letter == 'l' || letter == 'e') {
    factor->kind = letter == 'l' ? kFilterLowPass : kFilterHighPass;
    if (readNumbers(option.value, n, 1) && positive(n[0])) {
      factor->radius = n[0];
      return true;
    }
    std::fprintf(stderr, "Option '-%c%s': the radius is not a positive number.\n", letter,
                 option.value);
  } else if (letter == 'b' || letter == 'r') {
    factor->kind = letter == 'b' ? kFilterBandPass : kFilterBandStop;
    if (readNumbers(option.value, n, 2) && positive(n[0]) && positive(n[1]) && n[0] < n[1]) {
      factor->radius = n[0];
      factor->outer = n[1];
      return true;
    }
    std::fprintf(stderr, "Option '-%c%s': not two positive radii, the smaller first.\n", letter,
                 option.value);
  } else if (letter == 'n') {
    factor->kind = kFilterNotch;
    if (readNumbers(option.value, n, 3) && whole(n[0]) && whole(n[1]) && positive(n[2])) {
      factor->u = int32_t(n[0]);
      factor->v = int32_t(n[1]);
      factor->radius = n[2];
      return true;
    }
    std::fprintf(stderr,
                 "Option '-n%s': not a frequency u,v of whole numbers and a positive radius.\n",
                 option.value);
  } else {
    factor->kind = kFilterMask;
    if (option.value[0] != '\0') return true;
    std::fputs("Option '-m': no mask file named.\n", stderr);
  }
  return false;
}

}  // namespace

int filterRequestRead(const CommandLine& line, FilterRequest* request) {
  SpectrumFilter& f = request->filter;
  f.factors = request->factors;
  f.count = 0;
  f.shape = line.flagSeen[0] ? kShapeGaussian : kShapeIdeal;
  f.order = 1;
  f.maskNatural = line.flagSeen[1];
  f.maskSymmetric = line.flagSeen[2];
  for (int i = 0; i < line.valuedCount; ++i) {
    const OptionValue& option = line.valued[i];
    if (option.letter == 'o') {
      double n = 0;
      if (!readNumbers(option.value, &n, 1) || !whole(n) || n < 1) {
        std::fprintf(stderr, "Option '-o%s': the order is not a whole number from 1 on.\n",
                     option.value);
        return kStatusUsage;
      }
      f.order = int(n);
      request->order = option.value;
      continue;
    }
    if (!readFactor(option, &request->factors[f.count])) return kStatusUsage;
    request->given[f.count++] = &option;
  }
  if (request->order != nullptr) {
    if (f.shape == kShapeGaussian) {
      std::fputs("Options -g and -o: one shape only.\n", stderr);
      return kStatusUsage;
    }
    f.shape = kShapeButterworth;
  }
  if (f.count == 0) {
    std::fputs("No filter: give -l, -e, -b, -r, -n or -m.\n", stderr);
    return kStatusUsage;
  }
  return kStatusOk;
}

int filterRequestFit(FilterRequest* request, int32_t width, int32_t height) {
  const SpectrumFilter& f = request->filter;
  for (int i = 0; i < f.count; ++i) {
    if (request->factors[i].kind == kFilterNotch &&
        !filterFactorFits(&f.factors[i], width, height)) {
      std::fprintf(stderr, "Option '-n%s': notch outside the spectrum(%d x %d)\n",
                   request->given[i]->value, width, height);
      return kStatusFilterMismatch;
    }
  }
  for (int i = 0; i < f.count; ++i) {
    FilterFactor& k = request->factors[i];
    if (k.kind != kFilterMask) continue;
    const char* path = request->given[i]->value;
    const int status = bmpInputDecode(path, &k.mask);
    if (status != kStatusOk) return status;
    if (!filterFactorFits(&k, width, height)) {
      std::fprintf(stderr, "'%s' mask size(%d x %d) is not the spectrum's(%d x %d)\n", path,
                   k.mask.width, k.mask.height, width, height);
      return kStatusFilterMismatch;
    }
  }
  return kStatusOk;
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
