// specshow as a user runs it: the same picture as specfwd by default, the
// four option combinations, and the failures shared with specinv.
#include "toolfixture.h"

TEST(Specshow, DefaultIsSpecfwdsPowerSpectrum) {
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(7, 6, testLevel)));
  ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, dir.path).status);
  const ToolRun run = runTool(kSpecshow, {}, dir.path);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(readBytes(dir.file("PowerSpectrum.bmp")), readBytes(dir.file("showPowerSpectrum.bmp")));
}

namespace {

// The pictures besides the classic and linear scales, as the library draws them.
Bytes expectedBmp(const TempDir& scratch, std::vector<Complex> samples, int32_t w, int32_t h,
                  bool swap, void (*render)(Plane, Plane, int32_t, int32_t, int)) {
  PlaneHolder plane = planeOf(samples, w, h);
  PlaneHolder pixels(planeAlloc(sizeof(Pixel32), w, h));
  if (swap) swapQuadrants(plane.get(), w, h);
  render(plane.get(), pixels.get(), w, h, 1);
  return libraryBmp(scratch, pixels.get(), w, h);
}

}  // namespace

TEST(Specshow, OptionsChooseSwapAndScale) {
  const int32_t w = 6, h = 4;
  const std::vector<Complex> s = testSpectrum(w, h);
  TempDir scratch;
  const struct {
    std::vector<std::string> args;
    bool swap, linear;
    void (*render)(Plane, Plane, int32_t, int32_t, int);  // null: renderPowerSpectrum
  } cases[] = {
      {{}, true, false, nullptr},
      {{"-d"}, false, false, nullptr},
      {{"-n"}, true, true, nullptr},
      {{"-d", "-n"}, false, true, nullptr},
      {{"-n", "-d", "-n"}, false, true, nullptr},
      {{"-dont", "-nope"}, false, true, nullptr},
      {{"dft_complex.dat", "showPowerSpectrum.bmp", "-d"}, false, false, nullptr},
      {{"-l"}, true, false, renderLogMagnitude},
      {{"-l", "-d"}, false, false, renderLogMagnitude},
      {{"-p"}, true, false, renderPhase},
      {{"-d", "-phase"}, false, false, renderPhase},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("dft_complex.dat"), spectrumBytes(w, h, s)));
    const ToolRun run = runTool(kSpecshow, c.args, dir.path);
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(c.render ? expectedBmp(scratch, s, w, h, c.swap, c.render)
                       : expectedPowerBmp(scratch, s, w, h, c.swap, c.linear),
              readBytes(dir.file("showPowerSpectrum.bmp")))
        << c.args.size() << " arguments, swap " << c.swap << ", linear " << c.linear;
    // The file on disk is never changed by the swap.
    EXPECT_EQ(spectrumBytes(w, h, s), readBytes(dir.file("dft_complex.dat")));
  }
}

TEST(Specshow, ZeroFrequencyIsInTheCornerOrTheCentre) {
  // One large coefficient at (0, 0) among small ones: it is the one white
  // pixel, at row 0, column 0 with -d and at row H/2, column W/2 without.
  const int32_t w = 6, h = 4;
  std::vector<Complex> s(size_t(w * h), Complex{3.0, 4.0});
  s[0] = Complex{1e6, 0.0};
  for (bool swap : {false, true}) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("in.dat"), spectrumBytes(w, h, s)));
    std::vector<std::string> args = {"in.dat", "out.bmp"};
    if (!swap) args.push_back("-d");
    ASSERT_EQ(0, runTool(kSpecshow, args, dir.path).status);
    const Bytes bmp = readBytes(dir.file("out.bmp"));
    ASSERT_EQ(size_t(54 + w * h * 4), bmp.size());
    const size_t white = swap ? size_t(h / 2 * w + w / 2) : 0;
    for (size_t i = 0; i < size_t(w * h); ++i) EXPECT_EQ(i == white, bmp[54 + 4 * i] >= 254) << i;
  }
}

TEST(Specshow, SamplesAreTakenFromTheirOffset) {
  TempDir scratch;
  const std::vector<Complex> s = testSpectrum(4, 2);
  for (uint32_t text : {4u, 5u, 8u}) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("dft_complex.dat"), spectrumBytes(4, 2, s, text)));
    EXPECT_EQ(0, runTool(kSpecshow, {"-n"}, dir.path).status);
    EXPECT_EQ(expectedPowerBmp(scratch, s, 4, 2, true, true),
              readBytes(dir.file("showPowerSpectrum.bmp")))
        << text;
  }
}

TEST(Specshow, NonFiniteSamplesFollowTheScaleRules) {
  // The rendering gives every NaN, infinity and overflow its gray level (a
  // NaN power changes neither end of the range; what is no number ends as 0),
  // so the picture is written as for any other spectrum.
  TempDir scratch;
  for (const Complex odd :
       {Complex{kNaN, 0}, Complex{kInf, 1}, Complex{0, -kInf}, Complex{1e200, 1e200}}) {
    std::vector<Complex> s = testSpectrum(4, 3);
    s[5] = odd;
    for (bool linear : {false, true}) {
      TempDir dir;
      ASSERT_TRUE(writeBytes(dir.file("in.dat"), spectrumBytes(4, 3, s)));
      const ToolRun run = runTool(kSpecshow, {"in.dat", "out.bmp", linear ? "-n" : "-d"}, dir.path);
      EXPECT_EQ(0, run.status) << odd.re << " " << odd.im;
      EXPECT_EQ("", run.err) << odd.re << " " << odd.im;
      EXPECT_EQ(expectedPowerBmp(scratch, s, 4, 3, linear, linear), readBytes(dir.file("out.bmp")))
          << odd.re << " " << odd.im << " linear " << linear;
    }
  }
}

TEST(Specshow, OnePictureARun) {
  // Two of -n, -l and -p ask for two pictures: refused before any file is read.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-n", "-l"}, {"-p", "-n"}, {"-l", "-d", "-p"}}) {
    TempDir dir;
    const ToolRun run = runTool(kSpecshow, args, dir.path);
    EXPECT_EQ(kStatusUsage, run.status);
    EXPECT_EQ(0u, run.err.find("Options '-n', '-l' and '-p' each choose the picture: give one of "
                               "them.\n\nusage: "))
        << run.err;
    EXPECT_TRUE(filesIn(dir.path).empty());
  }
}

TEST(Specshow, RefusesBadFiles) { expectSpectrumFailures(kSpecshow); }
TEST(Specshow, ReportsAFileThatCannotBeRead) { expectLoadFailure(kSpecshow); }
TEST(Specshow, OutputInAMissingDirectory) { expectMissingOutputDirectory(kSpecshow); }
