// The histogram stretch of complexToImage, private to the library (and
// visible to its tests): the real parts are binned, and the bins below the
// lower cut and above the upper one become black and white.
#ifndef SPECCORE_HISTOGRAM_H
#define SPECCORE_HISTOGRAM_H

#include <cstdint>

namespace speccore {

enum { kHistogramBins = 1024 };

struct HistogramCuts {
  int32_t lo;  // bins up to lo are black
  int32_t hi;  // bins from hi on are white
};

// Where the stretch clips `clip` samples at each end: lo is the first bin at
// which the counts summed from bin 0 up reach `clip`, hi the last at which
// those summed from bin 1023 down reach it (1023 and 0 when they never do).
// Example: counts 5, 0, 3 in bins 0, 1, 2 and 8 in bin 1023 with clip 7 give
// lo = 2 and hi = 1023.
HistogramCuts histogramCuts(const int64_t* histogram, int64_t clip);

}  // namespace speccore

#endif
