// A picture file to its spectrum in one call: the reference transform of the
// picture's gray levels, the file specfwd writes of them, and each way the
// call is refused, with nothing written.
#include <filesystem>

#include "bmpbuild.h"
#include "dftreference.h"
#include "speccore/bmp.h"
#include "speccore/dft.h"
#include "speccore/pipeline.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "spectrumbuild.h"
#include "testutil.h"

using namespace speccore;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

// Colours, not grays, so that the gray levels come from pixelToGray.
Pixel32 colourAt(int32_t x, int32_t y) {
  return Pixel32{uint8_t(x * 40 + y), uint8_t(200 - y * 30), uint8_t(x * y * 7 + 3), 0};
}

Bytes colourBmp(int32_t w, int32_t h) {
  BmpBuild b;
  b.bits = 24;
  b.width = w;
  b.height = h;
  for (int32_t y = 0; y < h; ++y) {
    Bytes row;
    for (int32_t x = 0; x < w; ++x) {
      const Pixel32 p = colourAt(x, y);
      for (const uint8_t byte : {p.blue, p.green, p.red}) row.push_back(byte);
    }
    b.rows.push_back(row);
  }
  return makeBmp(b);
}

// Every name in the folder, hidden ones (a temporary left over) included.
std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  return names;
}

}  // namespace

TEST(Pipeline, SpectrumIsTheTransformOfTheGrayLevels) {
  const int32_t w = 11, h = 6;
  TempDir dir;
  const std::string picture = dir.file("in.bmp"), spectrumFile = dir.file("out.dat");
  ASSERT_TRUE(writeBytes(picture, colourBmp(w, h)));
  Grid expected;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      expected.push_back(Complex{double(pixelToGray(colourAt(x, y))), 0});
  reference(expected, w, h, kDftForward);

  Plane spectrum = nullptr;
  int32_t width = 0, height = 0;
  ASSERT_EQ(kStatusOk, bmpFileSpectrum(picture.c_str(), &spectrum, &width, &height, 3));
  PlaneHolder held(spectrum);
  ASSERT_EQ(w, width);
  ASSERT_EQ(h, height);
  EXPECT_EQ(0, std::memcmp(expected.data(), complexRow(spectrum, 0), expected.size() * 16));

  ASSERT_EQ(kStatusOk, bmpFileToSpectrumFile(picture.c_str(), spectrumFile.c_str(), 0));
  EXPECT_EQ(spectrumBytes(w, h, expected), readBytes(spectrumFile));
}

TEST(Pipeline, RefusalsWriteNothing) {
  const struct {
    const char* what;
    Bytes picture;  // none: no input file
    const char* output;
    int status;
    const char* line;  // with the path of the picture or the output in place of %s
  } cases[] = {
      {"missing", {}, "out.dat", kStatusOpen, "'%s' open error.\n"},
      {"not a BMP", spectrumBytes(2, 2, testSpectrum(2, 2)), "out.dat", kBmpNotBmp, ""},
      {"16 bits", plainBmp(16, 4, 4), "out.dat", kStatusBitCount, ""},
      {"one row", colourBmp(5, 1), "out.dat", kStatusTooSmall, ""},
      {"no folder", colourBmp(4, 3), "no/out.dat", kStatusOutput, "File '%s' cannot create.\n"},
      {"no spectrum name", colourBmp(4, 3), "", kStatusOutput, "File '' cannot create.\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string picture = dir.file("in.bmp");
    const std::string output = *c.output != '\0' ? dir.file(c.output) : "";
    if (!c.picture.empty()) {
      ASSERT_TRUE(writeBytes(picture, c.picture)) << c.what;
    }
    std::string line = c.line;
    if (line.find("%s") != std::string::npos)
      line.replace(line.find("%s"), 2, c.status == kStatusOutput ? output : picture);
    CaptureStderr();
    EXPECT_EQ(c.status, bmpFileToSpectrumFile(picture.c_str(), output.c_str(), 1)) << c.what;
    EXPECT_EQ(line, GetCapturedStderr()) << c.what;
    EXPECT_EQ(c.picture.empty() ? std::vector<std::string>{} : std::vector<std::string>{"in.bmp"},
              namesIn(dir.path))
        << c.what;
  }
}
