// Speed of the 2-D DFT: the plain reference loop against the tile kernels, in
// one run, on square and non-square sizes; the machine's peak for the same
// mix of multiplies and adds; and specfwd as a whole process on a 1024 x 1024
// picture against its transform alone. A summary of ratios follows the table.
//
//   build/release/bench/bench_dft            (everything, about a minute)
//   build/release/bench/bench_dft --benchmark_filter=specfwd
#include <benchmark/benchmark.h>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BENCH_X86_PEAK 1
#endif
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dftkernel.h"
#include "dftreference.h"
#include "speccore.h"

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
    reference(g, z.w, z.h, kDftForward, true);
    benchmark::DoNotOptimize(g.data());
  }
  setRate(state, z);
}

// Each iteration transforms a fresh copy of the input (copied outside the
// timing), so the values never grow toward overflow.
void kernel(benchmark::State& state, Size z, DftIsa isa, bool gray) {
  const Grid in = input(z, gray);
  Plane p = planeAlloc(sizeof(Complex), z.w, z.h);
  if (p == nullptr) {
    state.SkipWithError("no memory");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(p[0], in.data(), in.size() * sizeof(Complex));
    state.ResumeTiming();
    dft2dWithIsa(p, z.w, z.h, kDftForward, isa);
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

void peak(benchmark::State& state, DftIsa isa) {
  const int64_t rounds = 1 << 20;
  for (auto _ : state)
    benchmark::DoNotOptimize(isa == kDftAvx512 ? peak512(rounds) : peak256(rounds));
  // 512-bit: 8 lines x 8 lanes per round; 256-bit: 2 lines x 8 lanes.
  const double perRound = isa == kDftAvx512 ? 64 : 16;
  state.counters["Gcmadd/s"] = benchmark::Counter(perRound * double(rounds) * 1e-9,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
#endif

// ---- specfwd as a whole process ---------------------------------------------
// A 1024 x 1024 picture (grain under a smooth ramp) in a scratch directory;
// each iteration runs specfwd there and waits for it. The largest resident
// size of the child is reported beside the memory budget: the input file,
// the source and destination pictures, the complex plane and the factor table
// (8*M + 16*M^2 bytes for M = 1024). The time reported is the child's
// processor time (user and system), comparable with the transform's alone.
std::string makePicture() {
  char tmpl[] = "/tmp/bench-specfwd-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return std::string();
  const int32_t w = 1024, h = 1024;
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

void specfwdProcess(benchmark::State& state) {
  const std::string dir = makePicture();
  if (dir.empty()) {
    state.SkipWithError("cannot write the picture");
    return;
  }
  long maxRssKiB = 0;
  for (auto _ : state) {
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) == 0)
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
    if (usage.ru_maxrss > maxRssKiB) maxRssKiB = usage.ru_maxrss;
    state.SetIterationTime(double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec));
  }
  std::system(("rm -rf '" + dir + "'").c_str());
  const double m = 1024, file = 54 + 4 * m * m, picture = 8 * m + 4 * m * m;
  const double budget = file + 2 * picture + (8 * m + 16 * m * m) + (8 * m + 16 * m * m);
  state.counters["maxRSS_MiB"] = double(maxRssKiB) / 1024;
  state.counters["budget_MiB"] = budget / (1 << 20);
}

// ---- Summary ----------------------------------------------------------------
// Collects each run's time per iteration so the ratios can be printed after
// the table. Every benchmark runs several times and the fastest run counts: a
// slower one was disturbed by other work on the machine.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds, rate, counters;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.run_name.function_name;
      // Processor time, not wall time: the two cores of a busy machine are
      // shared, and only the time a run actually computed is comparable.
      // specfwd's manual time is its own processor time, taken from wait4.
      const bool manual = name.compare(0, 8, "specfwd/") == 0;
      const double t =
          (manual ? run.real_accumulated_time : run.cpu_accumulated_time) / double(run.iterations);
      if (seconds.count(name) == 0 || t < seconds[name]) seconds[name] = t;
      auto it = run.counters.find("Gcmadd/s");
      if (it != run.counters.end() && it->second > rate[name]) rate[name] = it->second;
      for (const char* c : {"maxRSS_MiB", "budget_MiB"}) {
        auto found = run.counters.find(c);
        if (found != run.counters.end()) counters[c] = found->second;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void printSummary(SummaryReporter& r) {
  const std::string best = dftIsaName(dftBestIsa());
  std::printf("\nSummary: fastest of the repeated runs, processor time; rates in G cmadd/s\n");
  for (DftIsa vector : {kDftAvx512, kDftAvx2, kDftNeon}) {
    if (!dftIsaAvailable(vector)) continue;
    const std::string name = dftIsaName(vector);
    const double peakRate = r.rate["peak/" + name];
    if (peakRate > 0)
      std::printf("\nkernel %s, peak %.2f for this mix\n", name.c_str(), peakRate);
    else
      std::printf("\nkernel %s, no peak measured on this processor\n", name.c_str());
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
  const double whole = r.seconds["specfwd/1024x1024"], alone = r.seconds[best + "/gray/1024x1024"];
  if (whole > 0 && alone > 0)
    std::printf("specfwd whole process %.4f s, its dft2d alone %.4f s: %.2fx\n", whole, alone,
                whole / alone);
  if (r.counters["budget_MiB"] > 0)
    std::printf("specfwd peak resident %.1f MiB, budget %.1f MiB: %.1f%%\n",
                r.counters["maxRSS_MiB"], r.counters["budget_MiB"],
                100 * r.counters["maxRSS_MiB"] / r.counters["budget_MiB"]);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<benchmark::internal::Benchmark*> all;
#ifdef BENCH_X86_PEAK
  for (DftIsa isa : {kDftAvx2, kDftAvx512})
    if (dftIsaAvailable(isa))
      all.push_back(benchmark::RegisterBenchmark((std::string("peak/") + dftIsaName(isa)).c_str(),
                                                 peak, isa));
#endif
  for (const Size& z : kSizes) {
    const std::string n = sizeName(z);
    benchmark::RegisterBenchmark(("literal/" + n).c_str(), literal, z)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(3);
    for (DftIsa isa : kDftIsas) {
      if (!dftIsaAvailable(isa)) continue;
      for (bool gray : {false, true})
        all.push_back(
            benchmark::RegisterBenchmark(
                (std::string(dftIsaName(isa)) + (gray ? "/gray/" : "/complex/") + n).c_str(),
                kernel, z, isa, gray)
                ->Unit(benchmark::kMillisecond));
    }
  }
  for (benchmark::internal::Benchmark* b : all) b->Repetitions(5);
  // A process's time varies more from run to run than a transform's: seven
  // single runs, the fastest of which counts.
  benchmark::RegisterBenchmark("specfwd/1024x1024", specfwdProcess)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(1)
      ->Repetitions(7);
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
