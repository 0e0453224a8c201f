// specinv as a user runs it: the round trip from specfwd, the samples at
// cxOffByts, and every failure with its lines and status.
#include "toolfixture.h"

namespace {

// specinv's picture of `spectrum`, rendered by the library.
Bytes expectedInverse(const TempDir& scratch, const std::vector<Complex>& spectrum, int32_t w,
                      int32_t h) {
  PlaneHolder plane = planeOf(spectrum, w, h);
  PlaneHolder pixels(planeAlloc(sizeof(Pixel32), w, h));
  EXPECT_EQ(0, idft2dToImage(plane.get(), pixels.get(), w, h));
  return libraryBmp(scratch, pixels.get(), w, h);
}

}  // namespace

TEST(Specinv, GivesBackTheGrayPictureOfSpecfwd) {
  const int32_t w = 9, h = 7;
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(w, h, testLevel)));
  ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, dir.path).status);
  const ToolRun run = runTool(kSpecinv, {}, dir.path);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("", run.out);
  // Levels 1..254 come back within rounding of themselves, all in [0, 256),
  // so they are truncated: the level itself or one below it.
  const Bytes gray = readBytes(dir.file("SourceToGray.bmp"));
  const Bytes back = readBytes(dir.file("idft_2D.bmp"));
  ASSERT_EQ(gray.size(), back.size());
  EXPECT_TRUE(std::equal(gray.begin(), gray.begin() + 54, back.begin()));
  int exact = 0;
  for (size_t i = 54; i < gray.size(); ++i) {
    EXPECT_TRUE(back[i] == gray[i] || back[i] + 1 == gray[i]) << i;
    exact += back[i] == gray[i];
  }
  EXPECT_GT(exact, int(gray.size() - 54) / 2);
}

TEST(Specinv, RoundedGivesBackEveryLevelWithBlackAndWhite) {
  // Pure black makes the plain inverse stretch when a level comes back a
  // hair below 0; rounded, the picture is the gray picture to the byte.
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(23, 17, [](int32_t x, int32_t y) {
                           return x == 0 ? 0 : x == 1 ? 255 : testLevel(x, y);
                         })));
  ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, dir.path).status);
  const ToolRun run = runTool(kSpecinv, {"-r"}, dir.path);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(readBytes(dir.file("SourceToGray.bmp")), readBytes(dir.file("idft_2D.bmp")));
}

TEST(Specinv, NamesComeFromTheCommandLineOrTheDefaults) {
  TempDir dir, scratch;
  const std::vector<Complex> s = testSpectrum(3, 4);
  const Bytes expected = expectedInverse(scratch, s, 3, 4);
  ASSERT_TRUE(writeBytes(dir.file("dft_complex.dat"), spectrumBytes(3, 4, s)));
  ASSERT_TRUE(writeBytes(dir.file("other.dat"), spectrumBytes(3, 4, s)));
  EXPECT_EQ(0, runTool(kSpecinv, {}, dir.path).status);
  EXPECT_EQ(expected, readBytes(dir.file("idft_2D.bmp")));
  std::remove(dir.file("idft_2D.bmp").c_str());
  EXPECT_EQ(0, runTool(kSpecinv, {"other.dat"}, dir.path).status);
  EXPECT_EQ(expected, readBytes(dir.file("idft_2D.bmp")));
  EXPECT_EQ(0, runTool(kSpecinv, {"other.dat", "mine.bmp"}, dir.path).status);
  EXPECT_EQ(expected, readBytes(dir.file("mine.bmp")));
}

TEST(Specinv, SamplesAreTakenFromTheirOffset) {
  // Texts of 4 and 8 bytes put the samples at 36 (not aligned for a double)
  // and 40; both must give the picture of the file without a text.
  TempDir scratch;
  const std::vector<Complex> s = testSpectrum(4, 2);
  const Bytes expected = expectedInverse(scratch, s, 4, 2);
  for (uint32_t text : {0u, 1u, 4u, 8u, 13u}) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("dft_complex.dat"), spectrumBytes(4, 2, s, text)));
    const ToolRun run = runTool(kSpecinv, {}, dir.path);
    EXPECT_EQ(0, run.status) << text;
    EXPECT_EQ("", run.err) << text;
    EXPECT_EQ(expected, readBytes(dir.file("idft_2D.bmp"))) << text;
  }
}

TEST(Specinv, SmallestSpectrumGivesASeventyBytePicture) {
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("dft_complex.dat"), spectrumBytes(2, 2, testSpectrum(2, 2))));
  ASSERT_EQ(size_t(96), readBytes(dir.file("dft_complex.dat")).size());
  EXPECT_EQ(0, runTool(kSpecinv, {}, dir.path).status);
  EXPECT_EQ(size_t(70), readBytes(dir.file("idft_2D.bmp")).size());
}

TEST(Specinv, RefusesSpectraWithoutAFiniteInverse) {
  // NaN and infinite samples, and finite ones whose sums overflow, leave no
  // gray level to show: refused like an unusable file, with a line of why.
  auto with = [](size_t at, Complex c) {
    std::vector<Complex> s = testSpectrum(3, 2);
    s[at] = c;
    return spectrumBytes(3, 2, s);
  };
  const char* const err = "Inverse transform not finite.\n'in.dat' unknown file\n";
  std::vector<Complex> huge(6, Complex{1e308, 0});
  expectRefusals(kSpecinv, "in.dat", {"out.bmp"},
                 {
                     {"NaN", with(0, {kNaN, 0}), kStatusUnknownFile, err},
                     {"infinite real part", with(4, {kInf, 0}), kStatusUnknownFile, err},
                     {"infinite imaginary part", with(5, {0, -kInf}), kStatusUnknownFile, err},
                     {"sums overflow", spectrumBytes(3, 2, huge), kStatusUnknownFile, err},
                 });
}

TEST(Specinv, RefusesBadFiles) { expectSpectrumFailures(kSpecinv); }
TEST(Specinv, ReportsAFileThatCannotBeRead) { expectLoadFailure(kSpecinv); }
TEST(Specinv, OutputInAMissingDirectory) { expectMissingOutputDirectory(kSpecinv); }
