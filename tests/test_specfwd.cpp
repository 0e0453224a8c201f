// specfwd as a user runs it: the four outputs of a successful run, the
// default names, and every failure with its lines and status.
#include <pty.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "speccore/bmp.h"
#include "speccore/dft.h"
#include "speccore/plane.h"
#include "speccore/render.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "spectrumdiff.h"
#include "toolfixture.h"

using namespace speccore;

namespace {

const int32_t kW = 6, kH = 4;

// The gray plane of testLevel, as the pipeline builds it.
PlaneHolder graySamples(int32_t w, int32_t h) {
  PlaneHolder plane(planeAlloc(sizeof(Complex), w, h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      complexRow(plane.get(), y)[x] = Complex{double(testLevel(x, y)), 0.0};
  return plane;
}

}  // namespace

TEST(Specfwd, Usage) {
  expectUsage(kSpecfwd, "specfwd",
              "\nusage: NAME [-f] [-h] [input_bmp [complex_out.dat]]\n\n"
              "\t-f: fast: transform by FFT (FFTW), not by the exact direct DFT.\n"
              "\t-h: This option shows only this message.\n");
}

TEST(Specfwd, WritesGrayPictureSpectrumAndPowerSpectrum) {
  TempDir dir, scratch;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(kW, kH, testLevel)));
  const ToolRun run = runTool(kSpecfwd, {"in.bmp"}, dir.path);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(names({"PowerSpectrum.bmp", "SourceToGray.bmp", "dft_2D.bmp", "dft_complex.dat",
                   "in.bmp"}),
            filesIn(dir.path));

  // The gray picture: the levels themselves, rendered directly.
  PlaneHolder samples = graySamples(kW, kH);
  PlaneHolder pixels(planeAlloc(sizeof(Pixel32), kW, kH));
  complexToImage(samples.get(), pixels.get(), kW, kH);
  EXPECT_EQ(libraryBmp(scratch, pixels.get(), kW, kH), readBytes(dir.file("SourceToGray.bmp")));

  // The spectrum in natural order, to the last bit; from a program with
  // another C library's cos and sin, to within the cross-build bound.
  ASSERT_EQ(0, dft2d(samples.get(), kW, kH, kDftForward));
  const Bytes spectrum = readBytes(dir.file("dft_complex.dat"));
  ASSERT_EQ(size_t(kW * kH + 2) * 16, spectrum.size());
  EXPECT_EQ(32u, le32(spectrum, 16));
  EXPECT_EQ(uint32_t(kW), le32(spectrum, 24));
  EXPECT_EQ(uint32_t(kH), le32(spectrum, 28));
  const uint8_t* expected = reinterpret_cast<const uint8_t*>(complexRow(samples.get(), 0));
  if (kWindowsTools) {
    EXPECT_LE(compareSamples(expected, spectrum.data() + 32, size_t(kW * kH) * 2).maxScaledUlp,
              kCrossBuildUlpBound);
    std::memcpy(complexRow(samples.get(), 0), spectrum.data() + 32, size_t(kW * kH) * 16);
  } else {
    EXPECT_EQ(0, std::memcmp(spectrum.data() + 32, expected, size_t(kW * kH) * 16));
  }

  // The centred log power spectrum of those samples, twice.
  swapQuadrants(samples.get(), kW, kH);
  renderPowerSpectrum(samples.get(), pixels.get(), kW, kH, false);
  const Bytes power = libraryBmp(scratch, pixels.get(), kW, kH);
  EXPECT_EQ(power, readBytes(dir.file("PowerSpectrum.bmp")));
  EXPECT_EQ(power, readBytes(dir.file("dft_2D.bmp")));
}

TEST(Specfwd, NamesComeFromTheCommandLineOrTheDefaults) {
  const Bytes picture = grayBmp(4, 3, testLevel);
  {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("sample.bmp"), picture));
    EXPECT_EQ(0, runTool(kSpecfwd, {}, dir.path).status);
    EXPECT_EQ(names({"PowerSpectrum.bmp", "SourceToGray.bmp", "dft_2D.bmp", "dft_complex.dat",
                     "sample.bmp"}),
              filesIn(dir.path));
  }
  {
    // The second positional names the output picture; the spectrum file keeps its fixed name.
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("in.bmp"), picture));
    EXPECT_EQ(0, runTool(kSpecfwd, {"in.bmp", "out.bmp"}, dir.path).status);
    EXPECT_EQ(names({"PowerSpectrum.bmp", "SourceToGray.bmp", "dft_complex.dat", "in.bmp",
                     "out.bmp"}),
              filesIn(dir.path));
    EXPECT_EQ(readBytes(dir.file("PowerSpectrum.bmp")), readBytes(dir.file("out.bmp")));
  }
}

TEST(Specfwd, UniformPictureHasItsSumAsFirstCoefficient) {
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(5, 3, [](int32_t, int32_t) { return 77; })));
  ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, dir.path).status);
  const Bytes spectrum = readBytes(dir.file("dft_complex.dat"));
  ASSERT_EQ(size_t(17 * 16), spectrum.size());
  Complex first;
  std::memcpy(&first, spectrum.data() + 32, sizeof first);
  EXPECT_EQ(77.0 * 15, first.re);
  EXPECT_EQ(0.0, first.im);
  const Bytes gray = readBytes(dir.file("SourceToGray.bmp"));
  for (size_t i = 54; i < gray.size(); i += 4)
    EXPECT_EQ((std::vector<uint8_t>{77, 77, 77, 0}), Bytes(gray.begin() + i, gray.begin() + i + 4));
}

TEST(Specfwd, SameGrayLevelsGiveTheSameOutputs) {
  // Top-down rows, and colours with the same gray levels, change nothing.
  const int32_t w = 5, h = 3;
  BmpBuild colour;
  colour.bits = 32;
  colour.width = w;
  colour.height = h;
  for (int32_t y = 0; y < h; ++y) {
    Bytes row;
    for (int32_t x = 0; x < w; ++x) {
      // A colour of the same gray level, as far from gray as the weights
      // allow: red from high to low, blue from low to high, green solved
      // from (306 red + 601 green + 117 blue) >> 10.
      const int g = testLevel(x, y);
      Pixel32 p{0, 0, 0, 0x7f};
      for (int red = 255; red >= 0 && pixelToGray(p) != g; --red) {
        for (int blue = 0; blue < 256; ++blue) {
          const int green = (g * 1024 - 306 * red - 117 * blue + 600) / 601;
          if (green < 0 || green > 255) continue;
          p = Pixel32{uint8_t(blue), uint8_t(green), uint8_t(red), 0x7f};
          if (pixelToGray(p) == g) break;
        }
      }
      ASSERT_EQ(g, pixelToGray(p)) << x << "," << y;
      row.insert(row.end(), {p.blue, p.green, p.red, p.reserved});
    }
    colour.rows.push_back(row);
  }
  const Bytes variants[] = {grayBmp(w, h, testLevel, true), makeBmp(colour)};
  TempDir reference;
  ASSERT_TRUE(writeBytes(reference.file("in.bmp"), grayBmp(w, h, testLevel)));
  ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, reference.path).status);
  for (const Bytes& v : variants) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("in.bmp"), v));
    ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, dir.path).status);
    for (const char* f : {"SourceToGray.bmp", "dft_complex.dat", "PowerSpectrum.bmp", "dft_2D.bmp"})
      EXPECT_EQ(readBytes(reference.file(f)), readBytes(dir.file(f))) << f;
  }
}

TEST(Specfwd, RefusedInputsWriteNothing) {
  const Bytes eight = plainBmp(8, 4, 4, 2), one = plainBmp(1, 8, 4, 2);
  expectRefusals(
      kSpecfwd, "in.bmp", {},
      {
          {"missing", {}, kStatusOpen, "'in.bmp' open error.\n'in.bmp' read error.\n"},
          {"54 bytes", Bytes(54, 'B'), kStatusSize,
           "'in.bmp' file size erro. too small(54 Byte)\n'in.bmp' read error.\n"},
          {"not BM", withFields(plainBmp(24, 4, 4), {{kBfType, 0x5842}}), kBmpNotBmp,
           "'in.bmp' unknown file\n"},
          {"bit fields", withFields(plainBmp(32, 4, 4), {{kBiCompression, 3}}), kBmpCompressed,
           "'in.bmp' unknown file\n"},
          {"rows past the end", truncated(plainBmp(24, 4, 4), 80), kBmpSizeMismatch,
           "'in.bmp' unknown file\n"},
          {"32-bit palette", withFields(plainBmp(32, 4, 4), {{kBfOffBits, 58}, {kBiSizeImage, 0}}),
           5, "'in.bmp' unknown file\n"},
          {"24-bit palette", withFields(plainBmp(24, 4, 4), {{kBfOffBits, 58}, {kBiSizeImage, 0}}),
           6, "'in.bmp' unknown file\n"},
          {"8-bit lut", withFields(eight, {{kBfOffBits, 55}, {kBiSizeImage, 0}}), kBmp8BitPalette,
           "Unexpected lut size. 55, 0\n'in.bmp' unknown file\n"},
          {"1-bit lut", withFields(one, {{kBfOffBits, 54}, {kBiSizeImage, 0}}), kBmp1BitPalette,
           "Unexpected, requirement is 2, lut size. 54, 0\n'in.bmp' unknown file\n"},
          {"4 bits", plainBmp(4, 4, 4, 16), kStatusBitCount,
           "Unsupported bit count. 4\n'in.bmp' unknown file\n"},
          {"16 bits", plainBmp(16, 4, 4), kStatusBitCount,
           "Unsupported bit count. 16\n'in.bmp' unknown file\n"},
          {"width 0", withFields(plainBmp(24, 4, 4), {{kBiWidth, 0}}), kStatusMemory,
           "Couldn't allocate memory. destination\n"},
          {"height 0", withFields(plainBmp(24, 4, 4), {{kBiHeight, 0}}), kStatusMemory,
           "Couldn't allocate memory. destination\n"},
          {"negative width",
           withFields(plainBmp(24, 4, 4), {{kBiWidth, uint32_t(-4)}, {kBiSizeImage, 0}}),
           kStatusMemory, "Couldn't allocate memory. destination\n"},
          // A pass of one sample has nothing to show.
          {"one column", plainBmp(24, 1, 5), kExitTooSmall,
           "'in.bmp' too small to transform(1 x 5)\n"},
          {"one row", plainBmp(24, 5, 1), kExitTooSmall,
           "'in.bmp' too small to transform(5 x 1)\n"},
          {"one pixel, top-down", plainBmp(32, 1, -1), kExitTooSmall,
           "'in.bmp' too small to transform(1 x 1)\n"},
      });
}

// Headers that claim huge sizes. Each is refused with a code of the header
// check or the unsupported bit count, before any plane is sized from it: the
// programs run with a capped address space (see runtool.cpp), so a block of
// gigabytes requested first would show as a memory message instead.
TEST(Specfwd, HostileSizesAreRefusedBeforeAnyAllocation) {
  const uint32_t maxInt = 0x7fffffff, minInt = 0x80000000;
  const Bytes rgb = withFields(plainBmp(24, 4, 4), {{kBiSizeImage, 0}});
  const Bytes eight = withFields(plainBmp(8, 4, 2, 2), {{kBiSizeImage, 0}});
  const Bytes four = withFields(plainBmp(4, 4, 4, 16), {{kBiSizeImage, 0}});
  const char* const unknown = "'in.bmp' unknown file\n";
  const char* const fourBits = "Unsupported bit count. 4\n'in.bmp' unknown file\n";
  expectRefusals(
      kSpecfwd, "in.bmp", {},
      {
          {"width 2^31 - 1", withFields(rgb, {{kBiWidth, maxInt}}), kBmpSizeMismatch, unknown},
          {"height 2^31 - 1", withFields(rgb, {{kBiHeight, maxInt}}), kBmpSizeMismatch, unknown},
          {"height -2^31", withFields(rgb, {{kBiHeight, minInt}}), kBmpSizeMismatch, unknown},
          // 2^30 x 4 x 4 bytes is 2^34, 0 in 32 bits: biSizeImage 1 passes the size test.
          {"W x H x 4 wraps 32 bits",
           withFields(plainBmp(32, 4, 4), {{kBiWidth, 0x40000000}, {kBiSizeImage, 1}}),
           kBmpSizeMismatch, unknown},
          {"biSizeImage 0, rows cut short", truncated(rgb, 100), kBmpSizeMismatch, unknown},
          {"bfOffBits past the end", withFields(eight, {{kBfOffBits, 0xfffffffe}}),
           kBmpSizeMismatch, unknown},
          {"bfOffBits near 2^31", withFields(eight, {{kBfOffBits, 0x7ffffffe}}), kBmpSizeMismatch,
           unknown},
          {"8-bit palette past the end", withFields(eight, {{kBfOffBits, 54 + 4 * 256}}),
           kBmpSizeMismatch, unknown},
          {"1-bit palette cut",
           truncated(withFields(plainBmp(1, 8, 2, 2), {{kBiSizeImage, 0}}), 60), kBmpSizeMismatch,
           unknown},
          // The check bounds no size for bit counts the decoder does not read.
          {"4 bits, W x H x 4 past 64 bits",
           withFields(four, {{kBiWidth, maxInt}, {kBiHeight, maxInt}}), kStatusBitCount, fourBits},
          {"4 bits, 10 GB planes", withFields(four, {{kBiWidth, 50000}, {kBiHeight, 50000}}),
           kStatusBitCount, fourBits},
          {"16 bits, top-down -2^31",
           withFields(plainBmp(16, 4, 4),
                      {{kBiWidth, maxInt}, {kBiHeight, minInt}, {kBiSizeImage, 0}}),
           9, "Unsupported bit count. 16\n'in.bmp' unknown file\n"},
      });
}

TEST(Specfwd, OutputInAMissingDirectoryWritesNothing) {
  // Every output is made before the work, so none is written when one fails.
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(3, 2, testLevel)));
  const ToolRun run = runTool(kSpecfwd, {"in.bmp", "no/such/out.bmp"}, dir.path);
  EXPECT_EQ(kStatusOutput, run.status);
  EXPECT_EQ("File 'no/such/out.bmp' cannot create.\n", run.err);
  EXPECT_EQ(names({"in.bmp"}), filesIn(dir.path));
}

TEST(Specfwd, SmallestPictureIsTwoByTwo) {
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(2, 2, testLevel)));
  EXPECT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, dir.path).status);
  EXPECT_EQ(size_t(96), readBytes(dir.file("dft_complex.dat")).size());
  EXPECT_EQ(size_t(70), readBytes(dir.file("dft_2D.bmp")).size());
}

TEST(Specfwd, NoMemoryForTheTransformIsReported) {
  if (kWindowsTools) GTEST_SKIP() << "Windows programs run without the address-space ceiling";
  // 11585 x 11585 pixels, as many as a spectrum file can hold: the picture's
  // plane (537 MB) fits under the 2 GiB ceiling the tests give every
  // program, the transform's plane (2 GiB and its row table) not, also under
  // the sanitizers' cap on one block.
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), plainBmp(1, 11585, 11585, 2)));
  const ToolRun run = runTool(kSpecfwd, {"in.bmp"}, dir.path);
  EXPECT_EQ(kStatusMemory, run.status);
  // A sanitized build notes the refused block on a line of its own first.
  std::string err = run.err;
  if (err.rfind("==", 0) == 0) err.erase(0, err.find('\n') + 1);
  EXPECT_EQ("Couldn't allocate memory.\n", err);
  EXPECT_EQ(names({"in.bmp"}), filesIn(dir.path));
}

TEST(Specfwd, SpectrumTooLargeForItsFileIsRefusedBeforeDecoding) {
  // 12000 x 12000 samples take more bytes than a spectrum file's header can
  // count. The picture is 18 MB of one bit a pixel; decoded it would take
  // 576 MB, more than the limit: status 14 would show that it was decoded.
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), plainBmp(1, 12000, 12000, 2)));
  ToolLimits limits;
  limits.addressSpace = 256LL << 20;
  const ToolRun run = waitTool(startTool(kSpecfwd, {"in.bmp"}, dir.path, limits));
  EXPECT_EQ(kStatusOutput, run.status);
  EXPECT_EQ("File 'dft_complex.dat' cannot create. unsupported size(12000 x 12000)\n", run.err);
  EXPECT_EQ(names({"in.bmp"}), filesIn(dir.path));
}

TEST(Specfwd, SameBytesWhateverMemoryIsFree) {
  if (*kToolLauncher || kToolsSanitized)
    GTEST_SKIP() << "the address-space limit applies to plain programs started directly";
  // The row pass of 2000 x 200 would keep its factors in a table of 64 MiB,
  // more than the whole limit below: it takes them strip by strip instead,
  // and the bytes must not change.
  const Bytes picture = grayBmp(2000, 200, testLevel);
  TempDir free, tight;
  ToolLimits limits;
  limits.addressSpace = 48LL << 20;
  for (const TempDir* dir : {&free, &tight}) {
    ASSERT_TRUE(writeBytes(dir->file("in.bmp"), picture));
    const ToolRun run =
        waitTool(startTool(kSpecfwd, {"in.bmp"}, dir->path, dir == &tight ? limits : ToolLimits()));
    ASSERT_EQ(0, run.status) << run.err;
  }
  for (const char* f : {"SourceToGray.bmp", "dft_complex.dat", "PowerSpectrum.bmp", "dft_2D.bmp"})
    EXPECT_EQ(readBytes(free.file(f)), readBytes(tight.file(f))) << f;
}

TEST(Specfwd, ShowsProgressOnATerminalOnly) {
  // Standard error is a terminal here (every other test reads it from a file
  // and sees no progress). One processor, so that the transform of 2400 x
  // 2400 takes seconds even on a fast machine.
  if (*kToolLauncher) GTEST_SKIP() << "a pseudo-terminal for a program under a launcher";
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), plainBmp(1, 2400, 2400, 2)));
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
      int first = 0;
      while (!CPU_ISSET(first, &set)) ++first;
      CPU_ZERO(&set);
      CPU_SET(first, &set);
      sched_setaffinity(0, sizeof set, &set);
    }
    if (chdir(dir.path.c_str()) == 0) execl(kSpecfwd, "specfwd", "in.bmp", (char*)nullptr);
    _exit(127);
  }
  std::string shown;
  char buffer[256];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, size_t(n));
  close(terminal);
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
  // Lines that overwrite each other, then one of blanks that erases the last.
  const std::regex progress(
      "(\\rtransform +[0-9]+ %  [0-9]+:[0-9]{2} elapsed, [0-9]+:[0-9]{2} remaining *)+\\r +\\r");
  EXPECT_TRUE(std::regex_match(shown, progress)) << shown;
  EXPECT_EQ(names({"PowerSpectrum.bmp", "SourceToGray.bmp", "dft_2D.bmp", "dft_complex.dat",
                   "in.bmp"}),
            filesIn(dir.path));
}
