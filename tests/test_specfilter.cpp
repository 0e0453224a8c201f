// specfilter as a user runs it: ideal gains and 0/255 masks keep a sample or
// make it exactly 0, the filter is recorded in the text that the readers
// skip, and every refusal leaves nothing behind. The Gaussian and
// Butterworth values are compared with numpy in the interoperability tests.
#include <functional>

#include "speccore/dft.h"
#include "speccore/plane.h"
#include "speccore/render.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "toolfixture.h"

using namespace speccore;

namespace {

// The frequency of index i of n, and the squared distance between two
// frequencies around the spectrum's edges.
int64_t frequencyOf(int64_t i, int64_t n) {
  i = ((i % n) + n) % n;
  return i <= n / 2 ? i : i - n;
}

int64_t torus2(int32_t u, int32_t v, int32_t fu, int32_t fv, int32_t w, int32_t h) {
  const int64_t du = frequencyOf(u - fu, w), dv = frequencyOf(v - fv, h);
  return du * du + dv * dv;
}

typedef std::function<bool(int32_t u, int32_t v, int32_t w, int32_t h)> Keep;

// A mask that keeps the samples `keep` names: natural order, or centred as
// specshow draws the spectrum.
Bytes maskBmp(int32_t w, int32_t h, const Keep& keep, bool centred) {
  std::vector<double> levels;
  for (int32_t v = 0; v < h; ++v)
    for (int32_t u = 0; u < w; ++u) levels.push_back(keep(u, v, w, h) ? 255 : 0);
  PlaneHolder plane = planeOf(levels, w, h);
  if (centred) swapQuadrants(plane.get(), w, h);
  return grayBmp(w, h, [&](int32_t x, int32_t y) { return int(complexRow(plane.get(), y)[x].re); });
}

Bytes samplesOf(const Bytes& file) {
  return Bytes(file.begin() + le32(file, kCxOffByts), file.end());
}

std::string textOf(const Bytes& file) {
  const uint32_t offset = le32(file, kCxOffByts);
  return offset > 32 ? std::string(reinterpret_cast<const char*>(&file[32])) : "";
}

}  // namespace

TEST(Specfilter, IdealGainsAndBlackAndWhiteMasksKeepOrZeroEverySample) {
  const Keep all = [](int32_t, int32_t, int32_t, int32_t) { return true; };
  const Keep diagonal = [](int32_t u, int32_t v, int32_t, int32_t) { return (u + 2 * v) % 3 != 0; };
  const struct {
    std::vector<std::string> options;
    Keep keep;
    Keep mask = nullptr;  // written as mask.bmp when set
    bool centred = false;
  } cases[] = {
      {{"-l3"},
       [](int32_t u, int32_t v, int32_t w, int32_t h) { return torus2(u, v, 0, 0, w, h) <= 9; }},
      {{"-e2.5"},
       [](int32_t u, int32_t v, int32_t w, int32_t h) { return torus2(u, v, 0, 0, w, h) > 6.25; }},
      {{"-b2,3"},
       [](int32_t u, int32_t v, int32_t w, int32_t h) {
         const int64_t d2 = torus2(u, v, 0, 0, w, h);
         return d2 >= 4 && d2 <= 9;
       }},
      {{"-r2,3"},
       [](int32_t u, int32_t v, int32_t w, int32_t h) {
         const int64_t d2 = torus2(u, v, 0, 0, w, h);
         return d2 < 4 || d2 > 9;
       }},
      {{"-n2,-1,1", "-n-1,0,0.5"},
       [](int32_t u, int32_t v, int32_t w, int32_t h) {
         return torus2(u, v, 2, -1, w, h) > 1 && torus2(u, v, -2, 1, w, h) > 1 &&
                torus2(u, v, 1, 0, w, h) > 0 && torus2(u, v, -1, 0, w, h) > 0;
       }},
      {{"-n4,-3,1"},  // its own mirror on the even size
       [](int32_t u, int32_t v, int32_t w, int32_t h) {
         return torus2(u, v, 4, -3, w, h) > 1 && torus2(u, v, -4, 3, w, h) > 1;
       }},
      {{"-mmask.bmp"}, diagonal, diagonal, true},
      {{"-mmask.bmp", "-d"}, diagonal, diagonal, false},
      // Identity gains: the samples come back byte for byte.
      {{"-l6.5"}, all},
      {{"-mmask.bmp", "-s"}, all, all, true},
  };
  for (const auto& size : {std::pair<int32_t, int32_t>{8, 6}, {9, 7}}) {
    const int32_t w = size.first, h = size.second;
    std::vector<Complex> s = testSpectrum(w, h);
    s[1].re = -s[1].re;  // a negative part gives -0 where it is removed
    const Bytes input = spectrumBytes(w, h, s);
    for (const auto& c : cases) {
      TempDir dir;
      ASSERT_TRUE(writeBytes(dir.file("dft_complex.dat"), input));
      if (c.mask) {
        ASSERT_TRUE(writeBytes(dir.file("mask.bmp"), maskBmp(w, h, c.mask, c.centred)));
      }
      const ToolRun run = runTool(kSpecfilter, c.options, dir.path);
      std::string trace = std::to_string(w) + "x" + std::to_string(h);
      for (const std::string& o : c.options) trace += " " + o;
      SCOPED_TRACE(trace);
      ASSERT_EQ(0, run.status) << run.err;
      EXPECT_EQ("", run.err);
      EXPECT_EQ("", run.out);
      const Bytes out = readBytes(dir.file("dft_filtered.dat"));
      const Bytes samples = samplesOf(out);
      ASSERT_EQ(s.size() * sizeof(Complex), samples.size());
      bool identity = true;
      for (int32_t v = 0; v < h; ++v)
        for (int32_t u = 0; u < w; ++u) {
          const Complex in = s[size_t(v * w + u)];
          Complex got;
          std::memcpy(&got, &samples[size_t(v * w + u) * sizeof(Complex)], sizeof got);
          const double gain = c.keep(u, v, w, h) ? 1.0 : 0.0;
          identity = identity && gain == 1.0;
          EXPECT_EQ(bitsOf(in.re * gain), bitsOf(got.re)) << u << "," << v;
          EXPECT_EQ(bitsOf(in.im * gain), bitsOf(got.im)) << u << "," << v;
        }
      if (identity) {
        EXPECT_EQ(samplesOf(input), samples);
      }
    }
  }
}

TEST(Specfilter, RecordsEachRunInTheTextThatEveryReaderSkips) {
  // specfwd, two filters one after the other, then every reader on the
  // result: the second run's text keeps the first's line above its own, and
  // the readers give what they give for the same samples without a text.
  const int32_t w = 9, h = 6;
  TempDir dir, scratch;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(w, h, testLevel)));
  ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, dir.path).status);
  ASSERT_EQ(0, runTool(kSpecfilter, {"-g", "-l2.5", "-n1,1,1"}, dir.path).status);
  EXPECT_EQ("specfilter -g -l2.5 -n1,1,1", textOf(readBytes(dir.file("dft_filtered.dat"))));
  const ToolRun run =
      runTool(kSpecfilter, {"-o3", "-d", "-e1", "dft_filtered.dat", "twice.dat"}, dir.path);
  ASSERT_EQ(0, run.status) << run.err;
  const Bytes twice = readBytes(dir.file("twice.dat"));
  const std::string text = "specfilter -g -l2.5 -n1,1,1\nspecfilter -o3 -e1";
  EXPECT_EQ(text, textOf(twice));
  EXPECT_EQ(32 + text.size() + 1, le32(twice, kCxOffByts));

  Bytes plain(twice.begin() + le32(twice, kCxOffByts), twice.end());
  std::vector<Complex> samples(size_t(w * h));
  std::memcpy(samples.data(), plain.data(), plain.size());
  PlaneHolder plane = planeOf(samples, w, h);
  PlaneHolder pixels(planeAlloc(sizeof(Pixel32), w, h));
  ASSERT_EQ(0, idft2dToImage(plane.get(), pixels.get(), w, h));
  ASSERT_EQ(0, runTool(kSpecinv, {"twice.dat", "back.bmp"}, dir.path).status);
  EXPECT_EQ(libraryBmp(scratch, pixels.get(), w, h), readBytes(dir.file("back.bmp")));
  ASSERT_EQ(0, runTool(kSpecshow, {"twice.dat", "power.bmp"}, dir.path).status);
  EXPECT_EQ(expectedPowerBmp(scratch, samples, w, h, true, false),
            readBytes(dir.file("power.bmp")));
  const ToolRun info = runTool(kSpecinfo, {"twice.dat"}, dir.path);
  EXPECT_EQ(0, info.status);
  EXPECT_NE(std::string::npos,
            info.out.find("cxOffByts:  " + std::to_string(32 + text.size() + 1)));
}

TEST(Specfilter, RefusesWhatItCannotApply) {
  // A bad value ends like any bad command line, its line before the usage;
  // what does not fit the spectrum, and masks that are no usable BMP, end
  // with their own statuses. No output is left behind either way.
  const int32_t w = 8, h = 6;
  const Bytes spectrum = spectrumBytes(w, h, testSpectrum(w, h));
  const Bytes mask = grayBmp(w, h, testLevel);
  const struct {
    std::vector<std::string> args;
    Bytes mask;  // written as m.bmp when not empty
    int status;
    const char* err;
    bool usage = false;  // the usage follows the line
  } cases[] = {
      // What the command line asks for is read in-process (test_filterrequest):
      // a bad value here shows only that its line comes before the usage.
      {{"-l0"}, {}, kExitUsage, "Option '-l0': the radius is not a positive number.\n", true},
      {{"-n5,0,1"},
       {},
       kExitFilterMismatch,
       "Option '-n5,0,1': notch outside the spectrum(8 x 6)\n"},
      {{"-l3", "-n0,-4,1"},
       {},
       kExitFilterMismatch,
       "Option '-n0,-4,1': notch outside the spectrum(8 x 6)\n"},
      {{"-mm.bmp"},
       grayBmp(w, h + 1, testLevel),
       kExitFilterMismatch,
       "'m.bmp' mask size(8 x 7) is not the spectrum's(8 x 6)\n"},
      {{"-mm.bmp"}, {}, kStatusOpen, "'m.bmp' open error.\n'm.bmp' read error.\n"},
      {{"-mm.bmp"}, spectrum, kBmpNotBmp, "'m.bmp' unknown file\n"},
      {{"-mm.bmp"},
       plainBmp(16, w, h),
       kStatusBitCount,
       "Unsupported bit count. 16\n'm.bmp' unknown file\n"},
      // A notch is judged before any mask is read.
      {{"-mm.bmp", "-n9,0,1"},
       {},
       kExitFilterMismatch,
       "Option '-n9,0,1': notch outside the spectrum(8 x 6)\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("in.dat"), spectrum));
    if (!c.mask.empty()) {
      ASSERT_TRUE(writeBytes(dir.file("m.bmp"), c.mask));
    }
    std::vector<std::string> args = c.args;
    args.push_back("in.dat");
    const ToolRun run = runTool(kSpecfilter, args, dir.path);
    SCOPED_TRACE(c.args[0]);
    EXPECT_EQ(shellStatus(c.status), run.status);
    EXPECT_EQ(c.err, run.err.substr(0, std::strlen(c.err)));
    EXPECT_EQ(c.usage ? "\nusage: " : "", run.err.substr(std::strlen(c.err), c.usage ? 8 : 0));
    if (!c.usage) {
      EXPECT_EQ(c.err, run.err);
    }
    EXPECT_EQ("", run.out);
    EXPECT_EQ(c.mask.empty() ? names({"in.dat"}) : names({"in.dat", "m.bmp"}), filesIn(dir.path));
  }
  // Spectrum files are refused as specinv and specshow refuse them.
  expectRefusals(kSpecfilter, "in.dat", {"-l3", "out.dat"}, spectrumFailures());
}
