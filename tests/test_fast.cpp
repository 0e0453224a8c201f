// -f as a user meets it: specfwd's four outputs from the FFT with the method
// in the spectrum's text, specinv -f giving the gray picture back, and in a
// build without FFTW the refusal before anything is read or written.
#include "commandline.h"
#include "speccore_fft.h"
#include "toolfixture.h"

using namespace speccore;

namespace {

const char* const kRefusal =
    "Option '-f': this build has no FFT (configure it with -DSPEC_FFTW=ON).\n";

}  // namespace

TEST(Fast, RefusedWithoutFftwBeforeAnyWork) {
  if (kToolsHaveFft) GTEST_SKIP() << "the programs under test have FFTW";
  const struct {
    const char* program;
    const char* input;
    Bytes file;
  } cases[] = {
      {kSpecfwd, "in.bmp", grayBmp(4, 3, testLevel)},
      {kSpecinv, "in.dat", spectrumBytes(4, 3, testSpectrum(4, 3))},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file(c.input), c.file));
    const ToolRun run = runTool(c.program, {"-f", c.input, "out.bmp"}, dir.path);
    EXPECT_EQ(kExitNoFft, run.status) << c.program;
    EXPECT_EQ(kRefusal, run.err) << c.program;
    EXPECT_EQ(names({c.input}), filesIn(dir.path)) << c.program;
  }
}

TEST(Fast, SpecfwdRecordsTheFftAndSpecinvGivesThePictureBack) {
  if (!kToolsHaveFft) GTEST_SKIP() << "the programs under test have no FFTW";
  // An odd and a prime size: FFTW takes other algorithms for them than for
  // powers of two.
  for (const auto& z : {std::pair<int32_t, int32_t>{9, 7}, {13, 11}}) {
    const int32_t w = z.first, h = z.second;
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    TempDir dir, direct, scratch;
    const Bytes picture = grayBmp(w, h, testLevel);
    ASSERT_TRUE(writeBytes(dir.file("in.bmp"), picture));
    ASSERT_TRUE(writeBytes(direct.file("in.bmp"), picture));
    ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, direct.path).status);
    const ToolRun run = runTool(kSpecfwd, {"-f", "in.bmp"}, dir.path);
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(readBytes(direct.file("SourceToGray.bmp")), readBytes(dir.file("SourceToGray.bmp")));

    // The spectrum file: the method as its text, then this build's FFT of
    // the gray levels, bit for bit.
    const Bytes spectrum = readBytes(dir.file("dft_complex.dat"));
    const size_t offset = 32 + sizeof "specfwd -f";
    ASSERT_EQ(offset + size_t(w * h) * 16, spectrum.size());
    EXPECT_EQ(offset, le32(spectrum, 16));
    EXPECT_EQ(spectrum.size(), le32(spectrum, 8));
    EXPECT_EQ("specfwd -f", std::string(reinterpret_cast<const char*>(&spectrum[32])));
    std::vector<Complex> samples;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) samples.push_back(Complex{double(testLevel(x, y)), 0.0});
    PlaneHolder plane = planeOf(samples, w, h);
    ASSERT_EQ(0, fft2dThreads(plane.get(), w, h, kDftForward, 1, nullptr));
    EXPECT_EQ(0, std::memcmp(complexRow(plane.get(), 0), &spectrum[offset], samples.size() * 16));

    // The power spectrum is drawn from those samples.
    PlaneHolder pixels(planeAlloc(sizeof(Pixel32), w, h));
    swapQuadrants(plane.get(), w, h);
    renderPowerSpectrum(plane.get(), pixels.get(), w, h, false);
    EXPECT_EQ(libraryBmp(scratch, pixels.get(), w, h), readBytes(dir.file("PowerSpectrum.bmp")));

    // Levels 1..254 come back within rounding of themselves and are
    // truncated: each the level itself or one below it.
    ASSERT_EQ(0, runTool(kSpecinv, {"-f"}, dir.path).status);
    const Bytes gray = readBytes(dir.file("SourceToGray.bmp"));
    const Bytes back = readBytes(dir.file("idft_2D.bmp"));
    ASSERT_EQ(gray.size(), back.size());
    for (size_t i = 54; i < gray.size(); ++i)
      EXPECT_TRUE(back[i] == gray[i] || back[i] + 1 == gray[i]) << i;
  }
}
