// Spectrum files built in memory for the tests and the fuzz seeds.
#ifndef SPECTRUMBUILD_H
#define SPECTRUMBUILD_H

#include <cstring>

#include "filebytes.h"
#include "speccore/types.h"

// A spectrum file: header, optional text of `textBytes` bytes ('t'... then a
// zero), samples. Fields can be changed afterwards with putLe32.
inline Bytes spectrumBytes(int32_t w, int32_t h, const std::vector<speccore::Complex>& samples,
                           uint32_t textBytes = 0) {
  const uint32_t data = uint32_t(samples.size() * sizeof(speccore::Complex)),
                 offset = 32 + textBytes;
  Bytes f(offset + data, 0);
  putLe32(f, 0, 0x00585043);
  putLe32(f, 8, offset + data);
  putLe32(f, 12, 16);
  putLe32(f, 16, offset);
  putLe32(f, 20, data);
  putLe32(f, 24, uint32_t(w));
  putLe32(f, 28, uint32_t(h));
  for (uint32_t i = 0; i + 1 < textBytes; ++i) f[32 + i] = 't';
  if (data > 0) std::memcpy(f.data() + offset, samples.data(), data);
  return f;
}

// Offsets of the spectrum header fields.
enum CpxField : size_t { kCxOffByts = 16, kCxWidth = 24, kCxHeight = 28 };

// W x H samples with distinct magnitudes spread over several decades.
inline std::vector<speccore::Complex> testSpectrum(int32_t w, int32_t h) {
  std::vector<speccore::Complex> s(size_t(w) * size_t(h));
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = speccore::Complex{(i % 7) * 1000.0 + 0.5 * double(i),
                             (i % 3 == 0 ? -1.0 : 2.5) * double(i * i)};
  s[0] = speccore::Complex{123456.0, 0.0};
  return s;
}

#endif
