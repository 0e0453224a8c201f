// Speed of the 2-D DFT: the plain reference loop against the tile kernels, in
// one run, on square and non-square sizes; the machine's peak for the same
// mix of multiplies and adds; specfwd as a whole process on 1024 x 1024 and
// 4000 x 3000 pictures on 1, 2, ... threads (as many as the machine offers);
// and thin pictures, 20000 x 2 and 100000 x 2, against the sin/cos
// evaluations they cannot avoid. A summary of ratios follows the table.
//
//   build/release/bench/bench_dft            (everything, a few minutes)
//   build/release/bench/bench_dft --benchmark_filter=specfwd
//   build/release/bench/bench_dft --benchmark_filter='^(peak|avx)'
#include <benchmark/benchmark.h>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BENCH_X86_PEAK 1
#endif
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dftkernel.h"
#include "dftreference.h"
#include "speccore/bmp.h"
#include "speccore/dft.h"
#include "speccore/plane.h"
#include "speccore/types.h"

using namespace speccore;

namespace {

struct Size {
  int32_t w, h;
};
const Size kSizes[] = {{256, 256}, {512, 512}, {1024, 1024}, {1000, 1024}, {1023, 771}};

std::string sizeName(Size z) { return std::to_string(z.w) + "x" + std::to_string(z.h); }

// Complex multiply-adds of one 2-D transform: every output of a line sums n
// products, W*H*W for the rows and W*H*H for the columns.
double cmaddCount(Size z) { return double(z.w) * z.h * (double(z.w) + z.h); }

Grid input(Size z, bool gray) {
  std::mt19937 rng(uint32_t(z.w * 7 + z.h));
  Grid g(size_t(z.w) * size_t(z.h));
  for (Complex& c : g)
    c = gray ? Complex{double(rng() % 256), 0.0}
             : Complex{double(rng() % 65536) / 256.0, double(rng() % 65536) / 256.0 - 128.0};
  return g;
}

void setRate(benchmark::State& state, Size z) {
  state.counters["Gcmadd/s"] =
      benchmark::Counter(cmaddCount(z) * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
}

void literal(benchmark::State& state, Size z) {
  const Grid in = input(z, false);
  for (auto _ : state) {
    Grid g = in;
    reference(g, z.w, z.h, kDftForward);
    benchmark::DoNotOptimize(g.data());
  }
  setRate(state, z);
}

// Each iteration transforms a fresh copy of the input (copied outside the
// timing), so the values never grow toward overflow.
void kernel(benchmark::State& state, Size z, const DftIsa* isa, bool gray) {
  const Grid in = input(z, gray);
  Plane p = planeAlloc(sizeof(Complex), z.w, z.h);
  if (p == nullptr) {
    state.SkipWithError("no memory");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(complexRow(p, 0), in.data(), in.size() * sizeof(Complex));
    state.ResumeTiming();
    DftOptions options;
    options.isa = isa;
    dft2dWith(p, z.w, z.h, kDftForward, options);
    benchmark::ClobberMemory();
  }
  std::free(p);
  setRate(state, z);
}

// ---- The machine's peak for this mix ----------------------------------------
// The tile kernel's arithmetic with everything in registers: per line and per
// vector, four multiplies and four adds, 8 lines x 8 outputs (512-bit) or
// 2 lines x 8 outputs (256-bit) of independent running sums. The empty asm
// statements make the factors opaque each round, so no product is hoisted out
// of the loop, and cost no instruction. Measured on x86 only.
#ifdef BENCH_X86_PEAK
__attribute__((target("avx512f"))) double peak512(int64_t rounds) {
  __m512d re[8], im[8];
  for (int l = 0; l < 8; ++l) re[l] = im[l] = _mm512_setzero_pd();
  __m512d c = _mm512_set1_pd(0.5), s = _mm512_set1_pd(-0.25);
  __m512d xr = _mm512_set1_pd(1e-9), xi = _mm512_set1_pd(2e-9);
  for (int64_t i = 0; i < rounds; ++i) {
    asm volatile("" : "+v"(c), "+v"(s));
#pragma GCC unroll 8
    for (int l = 0; l < 8; ++l) {
      asm volatile("" : "+v"(xr), "+v"(xi));
      re[l] = _mm512_add_pd(re[l], _mm512_sub_pd(_mm512_mul_pd(xr, c), _mm512_mul_pd(xi, s)));
      im[l] = _mm512_add_pd(im[l], _mm512_add_pd(_mm512_mul_pd(xr, s), _mm512_mul_pd(c, xi)));
    }
  }
  double out[8], sum = 0;
  for (int l = 0; l < 8; ++l) {
    _mm512_storeu_pd(out, _mm512_add_pd(re[l], im[l]));
    for (double v : out) sum += v;
  }
  return sum;
}

__attribute__((target("avx2"))) double peak256(int64_t rounds) {
  __m256d re[4], im[4];
  for (int r = 0; r < 4; ++r) re[r] = im[r] = _mm256_setzero_pd();
  __m256d c0 = _mm256_set1_pd(0.5), s0 = _mm256_set1_pd(-0.25);
  __m256d c1 = _mm256_set1_pd(0.75), s1 = _mm256_set1_pd(-0.5);
  __m256d xr = _mm256_set1_pd(1e-9), xi = _mm256_set1_pd(2e-9);
  for (int64_t i = 0; i < rounds; ++i) {
    asm volatile("" : "+x"(c0), "+x"(s0), "+x"(c1), "+x"(s1));
#pragma GCC unroll 2
    for (int l = 0; l < 2; ++l) {
      asm volatile("" : "+x"(xr), "+x"(xi));
      const __m256d c[2] = {c0, c1}, s[2] = {s0, s1};
#pragma GCC unroll 2
      for (int r = 0; r < 2; ++r) {
        const int a = 2 * l + r;
        re[a] =
            _mm256_add_pd(re[a], _mm256_sub_pd(_mm256_mul_pd(xr, c[r]), _mm256_mul_pd(xi, s[r])));
        im[a] =
            _mm256_add_pd(im[a], _mm256_add_pd(_mm256_mul_pd(xr, s[r]), _mm256_mul_pd(c[r], xi)));
      }
    }
  }
  double out[4], sum = 0;
  for (int r = 0; r < 4; ++r) {
    _mm256_storeu_pd(out, _mm256_add_pd(re[r], im[r]));
    sum += out[0] + out[1] + out[2] + out[3];
  }
  return sum;
}

// The same with 128-bit vectors (AVX's three-operand form, as a WebAssembly
// engine emits f64x2 arithmetic on this processor): the peak the page's
// kernel is measured against (bench/web_speed.sh).
__attribute__((target("avx"))) double peak128(int64_t rounds) {
  __m128d re[4], im[4];
  for (int r = 0; r < 4; ++r) re[r] = im[r] = _mm_setzero_pd();
  __m128d c0 = _mm_set1_pd(0.5), s0 = _mm_set1_pd(-0.25);
  __m128d c1 = _mm_set1_pd(0.75), s1 = _mm_set1_pd(-0.5);
  __m128d xr = _mm_set1_pd(1e-9), xi = _mm_set1_pd(2e-9);
  for (int64_t i = 0; i < rounds; ++i) {
    asm volatile("" : "+x"(c0), "+x"(s0), "+x"(c1), "+x"(s1));
#pragma GCC unroll 2
    for (int l = 0; l < 2; ++l) {
      asm volatile("" : "+x"(xr), "+x"(xi));
      const __m128d c[2] = {c0, c1}, s[2] = {s0, s1};
#pragma GCC unroll 2
      for (int r = 0; r < 2; ++r) {
        const int a = 2 * l + r;
        re[a] = _mm_add_pd(re[a], _mm_sub_pd(_mm_mul_pd(xr, c[r]), _mm_mul_pd(xi, s[r])));
        im[a] = _mm_add_pd(im[a], _mm_add_pd(_mm_mul_pd(xr, s[r]), _mm_mul_pd(c[r], xi)));
      }
    }
  }
  double out[2], sum = 0;
  for (int r = 0; r < 4; ++r) {
    _mm_storeu_pd(out, _mm_add_pd(re[r], im[r]));
    sum += out[0] + out[1];
  }
  return sum;
}

bool cpuHasAvx() { return __builtin_cpu_supports("avx"); }
bool cpuHasAvx2() { return __builtin_cpu_supports("avx2"); }
bool cpuHasAvx512() { return __builtin_cpu_supports("avx512f"); }

// The peak measures, by the name of the instruction set they run on, with
// the complex multiply-adds of one round: 512-bit, 8 lines x 8 lanes; 256-bit,
// 2 lines x 8 lanes; 128-bit, 2 lines x 4 lanes.
struct PeakMeasure {
  const char* isa;
  bool (*available)();
  double (*run)(int64_t rounds);
  double perRound;
};
const PeakMeasure kPeaks[] = {{"128-bit", cpuHasAvx, peak128, 8},
                              {"avx2", cpuHasAvx2, peak256, 16},
                              {"avx512", cpuHasAvx512, peak512, 64}};

void peak(benchmark::State& state, const PeakMeasure* measure) {
  const int64_t rounds = 1 << 20;
  for (auto _ : state) benchmark::DoNotOptimize(measure->run(rounds));
  state.counters["Gcmadd/s"] = benchmark::Counter(measure->perRound * double(rounds) * 1e-9,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
#endif

// ---- specfwd as a whole process ---------------------------------------------
// A picture (grain under a smooth ramp) in a scratch directory; each
// iteration runs specfwd there, on as many processors as the run allows it
// (its affinity mask, which is all specfwd asks for its thread count), and
// waits for it. Reported: the elapsed time (the figure threads improve), the
// child's processor time (user and system, from wait4) and its largest
// resident size.
std::string makePicture(int32_t w, int32_t h) {
  char tmpl[] = "/tmp/bench-specfwd-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return std::string();
  std::vector<Pixel32> pixels(size_t(w) * h);
  uint32_t seed = 12345;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const uint8_t v = uint8_t((x + y) / 8 + (seed >> 28));
      pixels[size_t(y) * w + x] = Pixel32{v, uint8_t(v / 2), uint8_t(255 - v), 0};
    }
  const std::string dir = tmpl;
  if (bmpWrite32((dir + "/in.bmp").c_str(), pixels.data(), w, h) != 0) return std::string();
  return dir;
}

// The first `threads` processors of this process's affinity mask.
bool keepProcessors(int threads) {
  cpu_set_t set, kept;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return false;
  CPU_ZERO(&kept);
  for (int cpu = 0, n = 0; cpu < CPU_SETSIZE && n < threads; ++cpu)
    if (CPU_ISSET(cpu, &set)) {
      CPU_SET(cpu, &kept);
      ++n;
    }
  return sched_setaffinity(0, sizeof kept, &kept) == 0;
}

void specfwdProcess(benchmark::State& state, Size z, int threads) {
  const std::string dir = makePicture(z.w, z.h);
  if (dir.empty()) {
    state.SkipWithError("cannot write the picture");
    return;
  }
  long maxRssKiB = 0;
  double processor = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      if (keepProcessors(threads) && chdir(dir.c_str()) == 0)
        execl(SPECFWD_PATH, "specfwd", "in.bmp", "out.bmp", (char*)nullptr);
      _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      state.SkipWithError("specfwd failed");
      break;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (usage.ru_maxrss > maxRssKiB) maxRssKiB = usage.ru_maxrss;
    processor += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  // The memory a square picture needs: the input file, the picture, the
  // complex plane and the factor table (8*M + 16*M^2 bytes for M = W = H).
  const double w = z.w, h = z.h, file = 54 + 4 * w * h, picture = 8 * h + 4 * w * h;
  const double plane = 8 * h + 16 * w * h, table = 16 * std::max(w, h) * std::max(w, h);
  state.counters["maxRSS_MiB"] = double(maxRssKiB) / 1024;
  state.counters["budget_MiB"] = (file + picture + plane + table) / (1 << 20);
  state.counters["cpu_s"] = processor / double(state.iterations());
}

// The sin/cos evaluations of a pass of length n without a table: one per
// factor, n^2 of them, each of an angle max * (min * s). Timed on whole rows
// of the factor matrix, 42 of them spread over its height, and scaled to all
// n^2: the angles, and so the cost of reducing them, grow with the indices.
void sincosTime(benchmark::State& state, int32_t n) {
  const double s = -6.283185307179586 / double(n);
  const int32_t rows = 42;
  double sum = 0;
  for (auto _ : state) {
    for (int32_t r = 0; r < rows; ++r) {
      const int32_t j = int32_t(int64_t(n) * r / rows);
      for (int32_t k = 0; k < n; ++k) {
        const double theta = double(std::max(j, k)) * (double(std::min(j, k)) * s);
        sum += std::cos(theta) + std::sin(theta);
      }
    }
  }
  benchmark::DoNotOptimize(sum);
  state.counters["pairs"] = double(rows) * n;
}

// ---- Summary ----------------------------------------------------------------
// Collects each run's time per iteration so the ratios can be printed after
// the table. Every benchmark runs several times and the fastest run counts: a
// slower one was disturbed by other work on the machine.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds, rate;
  std::map<std::string, std::map<std::string, double>> counters;  // of the fastest run
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.run_name.function_name;
      // Processor time for the transforms, not wall time: the cores of a busy
      // machine are shared, and only the time a run actually computed is
      // comparable. A whole process is timed as it ends: by the clock.
      const bool manual = name.compare(0, 8, "specfwd/") == 0 || name.compare(0, 5, "thin/") == 0;
      const double t =
          (manual ? run.real_accumulated_time : run.cpu_accumulated_time) / double(run.iterations);
      if (seconds.count(name) == 0 || t < seconds[name]) {
        seconds[name] = t;
        for (const auto& c : run.counters) counters[name][c.first] = c.second;
      }
      auto it = run.counters.find("Gcmadd/s");
      if (it != run.counters.end() && it->second > rate[name]) rate[name] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

const Size kPhotoSizes[] = {{1024, 1024}, {4000, 3000}};
const Size kThinSizes[] = {{20000, 2}, {100000, 2}};
const int32_t kSincosLength = 100000;

std::string processName(Size z, int threads) {
  return "specfwd/" + sizeName(z) + "/threads:" + std::to_string(threads);
}

void printSummary(SummaryReporter& r) {
  const std::string best = dftBestIsa().name;
  std::printf("\nSummary: fastest of the repeated runs; rates in G cmadd/s\n");
  // The vector kernels, widest first: every row of the table but the plain one.
  const DftIsaList isas = dftIsas();
  for (const DftIsa* vector = isas.end() - 1; vector != isas.begin(); --vector) {
    if (!vector->available()) continue;
    const std::string name = vector->name;
    const double peakRate = r.rate["peak/" + name];
    if (peakRate > 0)
      std::printf("\nkernel %s, one thread, processor time; peak %.2f for this mix\n", name.c_str(),
                  peakRate);
    else
      std::printf("\nkernel %s, one thread, processor time; no peak measured on this processor\n",
                  name.c_str());
    std::printf("%-10s %10s %10s %8s %8s %8s %12s\n", "size", "literal s", "fast s", "speedup",
                "rate", "of peak", "gray-input s");
    for (const Size& z : kSizes) {
      const std::string n = sizeName(z);
      const double lit = r.seconds["literal/" + n], fast = r.seconds[name + "/complex/" + n];
      const double rate = r.rate[name + "/complex/" + n];
      std::printf("%-10s %10.3f %10.4f %7.1fx %8.2f %7.0f%% %12.4f\n", n.c_str(), lit, fast,
                  fast > 0 ? lit / fast : 0, rate, peakRate > 0 ? 100 * rate / peakRate : 0,
                  r.seconds[name + "/gray/" + n]);
    }
  }
  std::printf("\n");
  const double squareRate = r.rate[best + "/complex/1024x1024"];
  for (const Size& z : kSizes)
    if (z.w != z.h && squareRate > 0)
      std::printf("%s %s rate relative to 1024x1024: %.1f%%\n", sizeName(z).c_str(), best.c_str(),
                  100 * r.rate[best + "/complex/" + sizeName(z)] / squareRate);

  std::printf("\nspecfwd as a whole process, by the threads it may use (elapsed time)\n");
  std::printf("%-10s %7s %10s %10s %8s %10s %10s %10s\n", "size", "threads", "elapsed s", "cpu s",
              "speedup", "per thread", "RSS MiB", "budget MiB");
  for (const Size& z : kPhotoSizes) {
    const double one = r.seconds[processName(z, 1)];
    for (int t = 1; t <= availableProcessors(); ++t) {
      const std::string n = processName(z, t);
      if (r.seconds[n] <= 0) continue;
      std::printf("%-10s %7d %10.3f %10.3f %7.2fx %9.0f%% %10.1f %10.1f\n", sizeName(z).c_str(), t,
                  r.seconds[n], r.counters[n]["cpu_s"], one / r.seconds[n],
                  100 * one / r.seconds[n] / t, r.counters[n]["maxRSS_MiB"],
                  r.counters[n]["budget_MiB"]);
    }
  }
  const std::string whole = processName(kPhotoSizes[0], 1);
  const double alone = r.seconds[best + "/gray/1024x1024"];
  if (r.seconds[whole] > 0 && alone > 0)
    std::printf("specfwd 1024x1024 on one thread: %.4f s elapsed, its dft2d alone %.4f s: %.2fx\n",
                r.seconds[whole], alone, r.seconds[whole] / alone);

  const std::string sincos = "sincos/" + std::to_string(kSincosLength);
  const double perPair =
      r.counters[sincos]["pairs"] > 0 ? r.seconds[sincos] / r.counters[sincos]["pairs"] : 0;
  for (const Size& z : kThinSizes) {
    const std::string n = "thin/" + sizeName(z);
    if (r.seconds[n] <= 0) continue;
    std::printf("thin %s: %.2f s elapsed, %.2f s of processor time, peak resident %.1f MiB\n",
                sizeName(z).c_str(), r.seconds[n], r.counters[n]["cpu_s"],
                r.counters[n]["maxRSS_MiB"]);
    if (z.w == kSincosLength && perPair > 0) {
      const double all = perPair * double(z.w) * z.w;
      std::printf(
          "  its %d^2 sin/cos evaluations take %.2f s on one thread: processor time %.2fx\n", z.w,
          all, r.counters[n]["cpu_s"] / all);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<benchmark::internal::Benchmark*> all;
#ifdef BENCH_X86_PEAK
  for (const PeakMeasure& measure : kPeaks)
    if (measure.available())
      all.push_back(benchmark::RegisterBenchmark((std::string("peak/") + measure.isa).c_str(), peak,
                                                 &measure));
#endif
  for (const Size& z : kSizes) {
    const std::string n = sizeName(z);
    benchmark::RegisterBenchmark(("literal/" + n).c_str(), literal, z)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(3);
    for (const DftIsa& isa : dftIsas()) {
      if (!isa.available()) continue;
      for (bool gray : {false, true})
        all.push_back(benchmark::RegisterBenchmark(
                          (std::string(isa.name) + (gray ? "/gray/" : "/complex/") + n).c_str(),
                          kernel, z, &isa, gray)
                          ->Unit(benchmark::kMillisecond));
    }
  }
  for (benchmark::internal::Benchmark* b : all) b->Repetitions(5);
  // A process's time varies more from run to run than a transform's: single
  // runs, the fastest of which counts.
  for (const Size& z : kPhotoSizes)
    for (int t = 1; t <= availableProcessors(); ++t)
      benchmark::RegisterBenchmark(processName(z, t).c_str(), specfwdProcess, z, t)
          ->Unit(benchmark::kMillisecond)
          ->UseManualTime()
          ->Iterations(1)
          ->Repetitions(z.w * z.h > 4000000 ? 3 : 7);
  benchmark::RegisterBenchmark(("sincos/" + std::to_string(kSincosLength)).c_str(), sincosTime,
                               kSincosLength)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(3);
  for (const Size& z : kThinSizes)
    benchmark::RegisterBenchmark(("thin/" + sizeName(z)).c_str(), specfwdProcess, z,
                                 availableProcessors())
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(1);
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
