// The same pictures through the programs of every build: this one (64-bit),
// a 32-bit build, the Windows build under wine and the 64-bit ARM build under
// emulation. The files carry no trace of the pointer width or the platform,
// so the gray picture and the spectrum header must agree byte for byte
// everywhere. The samples depend on the order of operations, which is the
// same in every build, and on the C library's cos and sin, which is not: they
// must be byte-identical where cos and sin agree, and within a bound
// elsewhere. Every build must read every build's spectrum files as the file's
// own build reads it.
#include <cstdio>
#include <map>

#include "spectrumdiff.h"
#include "toolfixture.h"

namespace {

struct Build {
  std::string name;
  std::vector<std::string> launcher;  // empty for programs that run directly
  std::string dir;                    // the tools directory of a build, or C:\tools
  bool windows;
  std::string program(const char* tool) const {
    return windows ? dir + "\\" + tool + ".exe" : dir + "/" + tool + "/" + tool;
  }
};

// The 64-bit C library picks cos and sin code by processor; with fused
// multiply-add it uses code of its own that differs from the 32-bit
// library's in the last bit of a few angles. Without it, they agree.
const char* const kWithoutFma = "GLIBC_TUNABLES=glibc.cpu.hwcaps=-FMA,-FMA4,-AVX2";

// Whether this build's C library runs that code here: it does on processors
// with both FMA and AVX2.
bool fmaCosSin() {
#if defined(__x86_64__) && defined(__GLIBC__)
  return __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

std::vector<Build> builds() {
  std::vector<Build> all = {{"64-bit", {}, SPEC_OWN_TOOLS, false}};
#ifdef SPEC_M32_TOOLS
  all.push_back({"64-bit, libm without FMA", {"/usr/bin/env", kWithoutFma}, SPEC_OWN_TOOLS, false});
  all.push_back({"32-bit", {}, SPEC_M32_TOOLS, false});
#endif
#ifdef SPEC_WINE_RUN
  all.push_back({"Windows", {SPEC_WINE_RUN}, "C:\\tools", true});
#endif
#ifdef SPEC_ARM_TOOLS
  all.push_back({"64-bit ARM", {SPEC_ARM_RUN}, SPEC_ARM_TOOLS, false});
#endif
  return all;
}

struct Picture {
  std::string name;
  Bytes bmp;
};

// The demo scene, pictures of prime and tile-straddling sizes, and every
// bit count the decoder reads.
std::vector<Picture> pictures(const TempDir& scratch) {
  std::vector<Picture> all;
  EXPECT_EQ(0, runTool(SCENE_PATH, {"scene.bmp"}, scratch.path).status);
  all.push_back({"scene 256x192", readBytes(scratch.file("scene.bmp"))});
  all.push_back({"gray 97x61", grayBmp(97, 61, testLevel)});
  all.push_back({"gray 17x9 top-down", grayBmp(17, 9, testLevel, true)});

  uint32_t seed = 2024;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  BmpBuild noise;
  noise.bits = 32;
  noise.width = 136;
  noise.height = 72;
  for (int32_t y = 0; y < noise.height; ++y) {
    Bytes row;
    for (int32_t x = 0; x < noise.width * 4; ++x) row.push_back(uint8_t(next() >> 24));
    noise.rows.push_back(row);
  }
  all.push_back({"32-bit noise 136x72", makeBmp(noise)});

  BmpBuild palette;
  palette.bits = 8;
  palette.width = 40;
  palette.height = 33;
  for (int i = 0; i < 256; ++i)
    palette.palette.push_back(Pixel32{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0});
  for (int32_t y = 0; y < palette.height; ++y) {
    Bytes row;
    for (int32_t x = 0; x < palette.width; ++x) row.push_back(uint8_t(x * y + 3 * x));
    palette.rows.push_back(row);
  }
  all.push_back({"8-bit palette 40x33", makeBmp(palette)});

  BmpBuild mono;
  mono.bits = 1;
  mono.width = 50;
  mono.height = 20;
  mono.palette = {Pixel32{0, 0, 0, 0}, Pixel32{255, 255, 255, 0}};
  for (int32_t y = 0; y < mono.height; ++y) {
    Bytes row;
    for (int32_t x = 0; x < 7; ++x) row.push_back(uint8_t(0x5A ^ (y * 13 + x)));
    mono.rows.push_back(row);
  }
  all.push_back({"1-bit 50x20", makeBmp(mono)});
  return all;
}

// A BMP's pixel bytes, one 32-bit pixel after another.
Bytes pixelsOf(const Bytes& bmp) {
  return bmp.size() > 54 ? Bytes(bmp.begin() + 54, bmp.end()) : Bytes();
}

typedef std::map<std::string, Bytes> Files;

// specfwd's four outputs for `bmp`, from one build.
Files forward(const Build& build, const Bytes& bmp) {
  TempDir dir;
  Files files;
  EXPECT_TRUE(writeBytes(dir.file("in.bmp"), bmp));
  const ToolRun run = runToolWith(build.launcher, build.program("specfwd"), {"in.bmp"}, dir.path);
  EXPECT_EQ(0, run.status) << build.name << ": " << run.err;
  for (const char* name :
       {"SourceToGray.bmp", "dft_complex.dat", "PowerSpectrum.bmp", "dft_2D.bmp"})
    files[name] = readBytes(dir.file(name));
  return files;
}

// Smallest and largest power of a spectrum file's samples: the range that
// the power-spectrum picture is scaled to.
std::pair<double, double> powerRange(const Bytes& spectrum, size_t samples) {
  double low = INFINITY, high = -INFINITY;
  for (size_t i = 0; i < samples; ++i) {
    double re, im;
    std::memcpy(&re, &spectrum[32 + 16 * i], 8);
    std::memcpy(&im, &spectrum[40 + 16 * i], 8);
    low = std::fmin(low, re * re + im * im);
    high = std::fmax(high, re * re + im * im);
  }
  return {low, high};
}

// Pixels of two centred power-spectrum pictures that differ: those where a
// sample differs, and those elsewhere.
struct PixelDifference {
  size_t atDifferingSamples = 0, elsewhere = 0;
};

PixelDifference comparePower(const Bytes& a, const Bytes& b, const Bytes& spectrumA,
                             const Bytes& spectrumB, int32_t w, int32_t h) {
  // Where the samples differ, moved as the rendering moves them.
  std::vector<Complex> mark(size_t(w) * size_t(h));
  for (size_t i = 0; i < mark.size(); ++i)
    mark[i].re = std::memcmp(&spectrumA[32 + 16 * i], &spectrumB[32 + 16 * i], 16) != 0;
  PlaneHolder plane = planeOf(mark, w, h);
  swapQuadrants(plane.get(), w, h);
  PixelDifference d;
  const Bytes pa = pixelsOf(a), pb = pixelsOf(b);
  for (size_t i = 0; i < mark.size(); ++i) {
    if (std::memcmp(&pa[4 * i], &pb[4 * i], 4) == 0) continue;
    (complexRow(plane.get(), 0)[i].re != 0 ? d.atDifferingSamples : d.elsewhere)++;
  }
  return d;
}

// What the readers make of one spectrum file: specinv's and specshow's
// pictures by name, and specinfo's print-out with the strongest peaks. The
// log scale that does not wrap, the phase and the rounded inverse use no
// function of the C library that could round another way.
Files readAll(const Build& build, const Bytes& spectrum) {
  TempDir dir;
  EXPECT_TRUE(writeBytes(dir.file("in.dat"), spectrum));
  const std::vector<std::pair<const char*, std::vector<std::string>>> runs = {
      {"specinv", {"in.dat", "inverse.bmp"}},
      {"specinv", {"-r", "in.dat", "inverse_rounded.bmp"}},
      {"specshow", {"in.dat", "centred_log.bmp"}},
      {"specshow", {"-d", "in.dat", "natural_log.bmp"}},
      {"specshow", {"-n", "in.dat", "centred_linear.bmp"}},
      {"specshow", {"-d", "-n", "in.dat", "natural_linear.bmp"}},
      {"specshow", {"-l", "in.dat", "centred_log_nowrap.bmp"}},
      {"specshow", {"-p", "in.dat", "centred_phase.bmp"}},
  };
  Files r;
  for (const auto& run : runs) {
    const ToolRun result =
        runToolWith(build.launcher, build.program(run.first), run.second, dir.path);
    EXPECT_EQ(0, result.status) << build.name << " " << run.first;
    EXPECT_EQ("", result.err) << build.name << " " << run.first;
    r[run.second.back()] = readBytes(dir.file(run.second.back()));
  }
  const ToolRun info =
      runToolWith(build.launcher, build.program("specinfo"), {"-p8", "in.dat"}, dir.path);
  EXPECT_EQ(0, info.status) << build.name;
  r["specinfo"] = Bytes(info.out.begin(), info.out.end());
  return r;
}

}  // namespace

TEST(CrossBuild, SpecfwdWritesTheSameFilesEverywhere) {
  const std::vector<Build> all = builds();
  if (all.size() < 2) GTEST_SKIP() << "no other build to compare with";
  TempDir scratch;
  std::printf("%-20s %-25s %-4s %-6s %-15s %-12s %-9s %s\n", "picture", "build (against 64-bit)",
              "gray", "header", "samples differ", "max own ulp", "max ulp*",
              "power pixels differing");
  for (const Picture& picture : pictures(scratch)) {
    std::vector<Files> outputs;
    for (const Build& build : all) outputs.push_back(forward(build, picture.bmp));
    const Bytes& reference = outputs[0]["dft_complex.dat"];
    ASSERT_GE(reference.size(), 32u);
    const int32_t w = int32_t(le32(reference, 24)), h = int32_t(le32(reference, 28));
    const size_t samples = size_t(w) * size_t(h);
    ASSERT_EQ(samples * 16 + 32, reference.size()) << picture.name;

    for (size_t b = 1; b < all.size(); ++b) {
      SCOPED_TRACE(picture.name + ", " + all[b].name);
      Files& files = outputs[b];
      const Bytes& spectrum = files["dft_complex.dat"];
      ASSERT_EQ(reference.size(), spectrum.size());
      const bool gray = files["SourceToGray.bmp"] == outputs[0]["SourceToGray.bmp"];
      const bool header = std::equal(reference.begin(), reference.begin() + 32, spectrum.begin());
      EXPECT_TRUE(gray);
      EXPECT_TRUE(header);
      const SampleDifference d =
          compareSamples(reference.data() + 32, spectrum.data() + 32, 2 * samples);
      EXPECT_LE(d.maxScaledUlp, kCrossBuildUlpBound);
      // Where the C libraries agree, so do the programs, bit for bit.
      if (all[b].name == "32-bit") {
        EXPECT_EQ(outputs[1]["dft_complex.dat"], spectrum);
      }
      // The ARM library's cos and sin agree with the 64-bit library's code
      // for fused multiply-add (measured on every picture here).
      if (all[b].name == "64-bit ARM" && fmaCosSin()) {
        EXPECT_EQ(reference, spectrum);
      }
      // A differing sample changes its own pixel; it changes others only
      // when it is the smallest or largest power, which sets the scale.
      const PixelDifference p = comparePower(outputs[0]["PowerSpectrum.bmp"],
                                             files["PowerSpectrum.bmp"], reference, spectrum, w, h);
      const bool sameRange = powerRange(reference, samples) == powerRange(spectrum, samples);
      if (sameRange) {
        EXPECT_EQ(0u, p.elsewhere);
      }
      EXPECT_EQ(files["PowerSpectrum.bmp"], files["dft_2D.bmp"]);
      char counts[32], power[64];
      std::snprintf(counts, sizeof counts, "%zu/%zu", d.differing, d.values);
      std::snprintf(power, sizeof power, "%zu + %zu elsewhere%s of %zu", p.atDifferingSamples,
                    p.elsewhere, sameRange ? "" : " (scale differs)", samples);
      std::printf("%-20s %-25s %-4s %-6s %-15s %-12llu %-9.3g %s\n", picture.name.c_str(),
                  all[b].name.c_str(), gray ? "same" : "DIFF", header ? "same" : "DIFF", counts,
                  static_cast<unsigned long long>(d.maxOwnUlp), d.maxScaledUlp, power);
    }
  }
  std::printf("* largest difference in units in the last place of the largest sample value\n");
}

TEST(CrossBuild, EveryBuildReadsEveryBuildsSpectrumFiles) {
  const std::vector<Build> all = builds();
  if (all.size() < 2) GTEST_SKIP() << "no other build to compare with";
  TempDir scratch;
  for (const Picture& picture : pictures(scratch)) {
    for (const Build& writer : all) {
      const Bytes spectrum = forward(writer, picture.bmp)["dft_complex.dat"];
      const Files own = readAll(writer, spectrum);
      for (const Build& reader : all) {
        if (&reader == &writer) continue;
        SCOPED_TRACE(picture.name + ": " + writer.name + " file read by " + reader.name);
        const Files theirs = readAll(reader, spectrum);
        for (const auto& f : own) {
          const Bytes& other = theirs.at(f.first);
          if (f.first != "inverse.bmp") {
            EXPECT_EQ(f.second, other) << f.first;
            continue;
          }
          // The inverse transform runs on the reader's cos and sin: a value
          // within rounding of a whole gray level may land on either side.
          ASSERT_EQ(f.second.size(), other.size());
          EXPECT_TRUE(std::equal(f.second.begin(), f.second.begin() + 54, other.begin()));
          size_t differing = 0;
          int largest = 0;
          for (size_t i = 54; i < f.second.size(); i += 4) {
            if (std::memcmp(&f.second[i], &other[i], 4) == 0) continue;
            ++differing;
            largest = std::max(largest, std::abs(int(f.second[i]) - int(other[i])));
          }
          EXPECT_LE(largest, 1);
          EXPECT_LE(differing * 1000, f.second.size() / 4) << "more than 1 pixel in 1000 differs";
          if (differing > 0)
            std::printf("%-20s %-25s file read by %-25s specinv: %zu pixels differ by one level\n",
                        picture.name.c_str(), writer.name.c_str(), reader.name.c_str(), differing);
        }
      }
    }
  }
}
