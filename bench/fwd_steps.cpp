// Where the time of a run of specfwd goes: its steps, one by one, timed in
// one process on a picture of the caller's choice.
//
//   fwd_steps [-f] picture.bmp [runs]     (runs: default 3; the median shows)
//
// -f takes the FFT as specfwd -f does. The outputs are written in the
// working directory under specfwd's names, each replacing the last run's
// as a second run of specfwd would, on every processor the process may use.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "speccore.h"
#include "speccore_fft.h"

using namespace speccore;

namespace {

enum Step { kLoad, kGray, kWriteGray, kTransform, kWriteSpectrum, kRender, kWritePower, kSteps };
const char* const kStepNames[kSteps] = {"load and decode",         "gray samples",
                                        "write SourceToGray.bmp",  "transform",
                                        "write dft_complex.dat",   "swap and render",
                                        "write the two power BMPs"};

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One run of the pipeline; false after a message when a step fails.
bool runOnce(const char* path, bool fast, double* times) {
  auto t = std::chrono::steady_clock::now();
  uint8_t* image = nullptr;
  uint32_t size = 0;
  BmpPicture picture = {};
  if (bmpLoad(path, &image, &size) != 0 || bmpCheck(image, size) != 0 ||
      bmpDecodePicture(image, &picture) != 0) {
    std::fprintf(stderr, "'%s' cannot be read as specfwd reads it\n", path);
    std::free(image);
    return false;
  }
  const int32_t w = picture.width, h = picture.height;
  Plane samples = planeAlloc(sizeof(Complex), w, h);
  bool ok = samples != nullptr;
  times[kLoad] = seconds(t);
  if (ok) {
    t = std::chrono::steady_clock::now();
    pictureToGray(picture.pixels, samples, w, h, kEveryProcessor);
    times[kGray] = seconds(t);
    t = std::chrono::steady_clock::now();
    ok = bmpWrite32("SourceToGray.bmp", picture.pixels[0], w, h) == 0;
    times[kWriteGray] = seconds(t);
    t = std::chrono::steady_clock::now();
    ok = ok && (fast ? fft2dThreads(samples, w, h, kDftForward, kEveryProcessor, nullptr)
                     : dft2dThreads(samples, w, h, kDftForward, kEveryProcessor, nullptr)) == 0;
    times[kTransform] = seconds(t);
    t = std::chrono::steady_clock::now();
    ok = ok && writeSpectrumFile("dft_complex.dat", fast ? "specfwd -f" : nullptr,
                                 complexRow(samples, 0), w, h) == 0;
    times[kWriteSpectrum] = seconds(t);
    t = std::chrono::steady_clock::now();
    swapQuadrants(samples, w, h, kEveryProcessor);
    renderPowerSpectrum(samples, picture.pixels, w, h, false, kEveryProcessor);
    times[kRender] = seconds(t);
    t = std::chrono::steady_clock::now();
    ok = ok && bmpWrite32("PowerSpectrum.bmp", picture.pixels[0], w, h) == 0 &&
         bmpWrite32("dft_2D.bmp", picture.pixels[0], w, h) == 0;
    times[kWritePower] = seconds(t);
  }
  std::free(samples);
  std::free(picture.pixels);
  std::free(image);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const bool fast = argc > 1 && std::strcmp(argv[1], "-f") == 0;
  const int first = fast ? 2 : 1;
  if (argc <= first || argc > first + 2) {
    std::fprintf(stderr, "usage: %s [-f] picture.bmp [runs]\n", argv[0]);
    return 1;
  }
  if (fast && !fftAvailable()) {
    std::fprintf(stderr, "%s: -f needs a build with FFTW (-DSPEC_FFTW=ON)\n", argv[0]);
    return 1;
  }
  const int runs = argc > first + 1 ? std::max(1, std::atoi(argv[first + 1])) : 3;
  std::vector<std::vector<double>> times(kSteps, std::vector<double>(size_t(runs)));
  for (int r = 0; r < runs; ++r) {
    double t[kSteps] = {};
    if (!runOnce(argv[first], fast, t)) return 1;
    for (int s = 0; s < kSteps; ++s) times[size_t(s)][size_t(r)] = t[s];
  }
  double total = 0, median[kSteps];
  for (int s = 0; s < kSteps; ++s) {
    std::vector<double>& v = times[size_t(s)];
    std::sort(v.begin(), v.end());
    median[s] = v[v.size() / 2];
    total += median[s];
  }
  std::printf("%-26s %9s %7s   (%s, median of %d, %d processors)\n", "step", "seconds", "share",
              fast ? "FFT" : "direct DFT", runs, availableProcessors());
  for (int s = 0; s < kSteps; ++s)
    std::printf("%-26s %9.3f %6.1f%%\n", kStepNames[s], median[s], 100 * median[s] / total);
  std::printf("%-26s %9.3f\n", "sum", total);
  return 0;
}
