#include "fasttransform.h"

#include <cstdio>

#include "progress.h"
#include "speccore/dft.h"
#include "speccore/status.h"
#include "speccore_fft.h"

using namespace speccore;

int fastTransformCheck(bool fast) {
  if (!fast || fftAvailable()) return kExitOk;
  std::fputs("Option '-f': this build has no FFT (configure it with -DSPEC_FFTW=ON).\n", stderr);
  return exitStatusOf(kStatusNoFft);
}

int runTransform(bool fast, Plane samples, int32_t width, int32_t height, int direction) {
  DftProgress progress;
  ProgressShow show;
  progressShowStart(&show, &progress);
  const int transformed =
      fast ? fft2dThreads(samples, width, height, direction, kEveryProcessor, &progress)
           : dft2dThreads(samples, width, height, direction, kEveryProcessor, &progress);
  progressShowEnd(&show);
  // Only when not even the transform's working memory could be had: the
  // untransformed samples must not be taken for the result.
  if (transformed != kStatusOk) {
    std::fputs("Couldn't allocate memory.\n", stderr);
    return kStatusMemory;
  }
  return kStatusOk;
}
