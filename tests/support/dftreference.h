// The plain scalar 2-D DFT that every optimised kernel must equal bit for
// bit. It is written as directly as the sums are defined and kept apart
// from the library, so the tests and the benchmark compare against code that
// shares nothing with the kernels.
#ifndef DFTREFERENCE_H
#define DFTREFERENCE_H

#include <cmath>
#include <cstddef>
#include <vector>

#include "speccore/dft.h"
#include "speccore/types.h"

typedef std::vector<speccore::Complex> Grid;  // row-major, W x H

// ---- Reference --------------------------------------------------------------
// Deliberately plain: one pass transforms `count` lines of length n, element k
// of line l being g[l * lineStep + k * elemStep]. The factor of the pair
// {j, k} is cos/sin of max * (min * s), kept in a full n x n table.
inline void refPass(Grid& g, int32_t n, int32_t count, size_t lineStep, size_t elemStep,
                    int direction) {
  const bool inverse = direction == speccore::kDftInverse;
  const double s = (inverse ? 6.283185307179586 : -6.283185307179586) / double(n);
  Grid table(size_t(n) * size_t(n));
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t k = j; k < n; ++k) {
      const double theta = k * (j * s);
      const speccore::Complex t{std::cos(theta), std::sin(theta)};
      table[size_t(j) * n + k] = t;
      table[size_t(k) * n + j] = t;
    }
  }
  Grid scratch(static_cast<size_t>(n));
  for (int32_t l = 0; l < count; ++l) {
    speccore::Complex* line = &g[l * lineStep];
    for (int32_t j = 0; j < n; ++j) {
      double re = +0.0, im = +0.0;
      for (int32_t k = 0; k < n; ++k) {
        const speccore::Complex x = line[k * elemStep];
        const speccore::Complex t = table[size_t(j) * n + k];
        re = re + (x.re * t.re - x.im * t.im);
        im = im + (x.re * t.im + t.re * x.im);
      }
      scratch[j] = speccore::Complex{re, im};
    }
    for (int32_t j = 0; j < n; ++j) {
      speccore::Complex v = scratch[j];
      if (inverse) v = speccore::Complex{v.re / double(n), v.im / double(n)};
      line[j * elemStep] = v;
    }
  }
}

inline void reference(Grid& g, int32_t w, int32_t h, int direction) {
  refPass(g, w, h, size_t(w), 1, direction);  // rows
  refPass(g, h, w, 1, size_t(w), direction);  // columns
}

#endif
