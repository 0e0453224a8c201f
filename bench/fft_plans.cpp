// What planning by measurement would cost and save for specfwd -f: for each
// size, the time to make the two plans of its passes with FFTW_ESTIMATE (what
// the library does) and with FFTW_MEASURE, and the time each pair takes to
// transform every line of both passes once, in one aligned buffer (so the
// memory traffic of a real plane is left out, which favours measuring).
//
//   fft_plans [WxH ...]     (default 1024x1024 1920x1080 4000x3000 4001x2999)
#include <fftw3.h>

#include <chrono>
#include <cstdio>

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void measure(int width, int height, unsigned flags, const char* name) {
  double plan = 0, lines = 0;
  for (int pass = 0; pass < 2; ++pass) {
    const int n = pass == 0 ? width : height, count = pass == 0 ? height : width;
    fftw_complex* line = fftw_alloc_complex(size_t(n));
    auto t = std::chrono::steady_clock::now();
    const fftw_plan p = fftw_plan_dft_1d(n, line, line, FFTW_FORWARD, flags);
    plan += seconds(t);
    for (int k = 0; k < n; ++k) line[k][0] = k % 251, line[k][1] = 0;  // measuring overwrote it
    t = std::chrono::steady_clock::now();
    for (int l = 0; l < count; ++l) fftw_execute_dft(p, line, line);
    lines += seconds(t);
    fftw_destroy_plan(p);
    fftw_free(line);
  }
  std::printf("%5d x %-5d %-14s plans %7.3f s   lines %7.3f s\n", width, height, name, plan, lines);
}

}  // namespace

int main(int argc, char** argv) {
  static const char* const kDefaults[] = {"1024x1024", "1920x1080", "4000x3000", "4001x2999"};
  const int count = argc > 1 ? argc - 1 : 4;
  for (int i = 0; i < count; ++i) {
    int w = 0, h = 0;
    if (std::sscanf(argc > 1 ? argv[i + 1] : kDefaults[i], "%dx%d", &w, &h) != 2 || w < 1 ||
        h < 1) {
      std::fprintf(stderr, "usage: %s [WxH ...]\n", argv[0]);
      return 1;
    }
    measure(w, h, FFTW_ESTIMATE, "FFTW_ESTIMATE");
    measure(w, h, FFTW_MEASURE, "FFTW_MEASURE");
    fftw_forget_wisdom();  // each size plans from nothing, as a run of specfwd -f does
  }
  return 0;
}
