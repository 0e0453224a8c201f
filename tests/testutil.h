// Small helpers shared by the test files: a scratch directory per test,
// planes held for the length of a test, and the byte helpers of filebytes.h.
#ifndef TESTUTIL_H
#define TESTUTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "filebytes.h"
#include "speccore.h"

// A fresh directory under the system's temporary folder, removed with its
// files when the object goes out of scope.
struct TempDir {
  std::string path;
  TempDir() {
    std::error_code ec;
    const char* base = std::getenv("TMPDIR");
    const std::filesystem::path parent =
        base && *base ? std::filesystem::path(base) : std::filesystem::temp_directory_path(ec);
    // create_directory reports whether it made the directory, so a name
    // another process took first is never shared.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
      char name[32];
      std::snprintf(name, sizeof name, "speccore-%08x", unsigned(random()));
      if (std::filesystem::create_directory(parent / name, ec)) path = (parent / name).string();
    }
  }
  ~TempDir() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string file(const std::string& name) const { return path + "/" + name; }
};

// Owns a plane (or any block from the library) and frees it once.
struct FreeDeleter {
  void operator()(void** p) const { std::free(p); }
};
typedef std::unique_ptr<void*, FreeDeleter> PlaneHolder;

const double kPi = 3.141592653589793;  // M_PI is not standard C++ (MinGW leaves it out)
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// The bits of a double, to compare values exactly (-0 and 0 apart, NaNs alike).
inline uint64_t bitsOf(double d) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// A w x h complex plane holding `samples`, row 0 first.
inline PlaneHolder planeOf(const std::vector<Complex>& samples, int32_t w, int32_t h) {
  PlaneHolder p(planeAlloc(sizeof(Complex), w, h));
  if (p)
    std::memcpy(complexRow(p.get(), 0), samples.data(), size_t(w) * size_t(h) * sizeof(Complex));
  return p;
}

// The same from real parts, every imaginary part being `im`.
inline PlaneHolder planeOf(const std::vector<double>& re, int32_t w, int32_t h, double im = 0) {
  std::vector<Complex> samples;
  for (double r : re) samples.push_back(Complex{r, im});
  return planeOf(samples, w, h);
}

// Gray levels of a rendered picture, row 0 first; every pixel must be gray
// (blue = green = red) with a zero fourth byte.
inline std::vector<int> grayLevels(Plane pixels, int32_t w, int32_t h) {
  std::vector<int> g;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const Pixel32 p = pixelRow(pixels, y)[x];
      EXPECT_TRUE(p.blue == p.green && p.blue == p.red && p.reserved == 0) << x << "," << y;
      g.push_back(p.blue);
    }
  }
  return g;
}

#endif
