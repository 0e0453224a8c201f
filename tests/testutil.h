// Small helpers shared by the test files: a scratch directory per test and
// whole-file reads and writes.
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

#include "speccore.h"

typedef std::vector<uint8_t> Bytes;

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

inline bool writeBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  size_t n = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return n == bytes.size();
}

inline Bytes readBytes(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return out;
}

inline uint32_t le32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

inline void putLe16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}

inline void putLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (8 * i));
}

// Owns a plane (or any block from the library) and frees it once.
struct FreeDeleter {
  void operator()(void** p) const { std::free(p); }
};
typedef std::unique_ptr<void*, FreeDeleter> PlaneHolder;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// A w x h complex plane holding `samples`, row 0 first.
inline PlaneHolder planeOf(const std::vector<Complex>& samples, int32_t w, int32_t h) {
  PlaneHolder p(planeAlloc(sizeof(Complex), w, h));
  if (p) std::memcpy(complexRow(p.get(), 0), samples.data(), size_t(w) * size_t(h) * sizeof(Complex));
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
