#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "bmpbuild.h"
#include "speccore/bmp.h"
#include "speccore/plane.h"
#include "speccore/render.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;

// In the namespace of Pixel32, where GoogleTest and the standard library
// look for them.
namespace speccore {

static bool operator==(const Pixel32& a, const Pixel32& b) {
  return a.blue == b.blue && a.green == b.green && a.red == b.red && a.reserved == b.reserved;
}

static void PrintTo(const Pixel32& p, std::ostream* os) {
  *os << "{" << int(p.blue) << "," << int(p.green) << "," << int(p.red) << "," << int(p.reserved)
      << "}";
}

}  // namespace speccore

namespace {

typedef std::vector<Pixel32> Pixels;

const Pixel32 kZero{0, 0, 0, 0};
const uint8_t kFill = 0x5A;  // output bytes the decoder has not written

// Decodes into a buffer pre-filled with kFill, one guard pixel longer than
// `count`; the guard must survive.
Pixels decode(const Bytes& file, size_t count, int* status) {
  Pixels out(count + 1);
  std::memset(out.data(), kFill, out.size() * sizeof(Pixel32));
  *status = bmpDecode(file.data(), out.data());
  const Pixel32 guard{kFill, kFill, kFill, kFill};
  EXPECT_EQ(out.back(), guard) << "wrote past the last pixel";
  out.pop_back();
  return out;
}

struct DecodeCase {
  const char* what;
  BmpBuild build;  // rows bottom first
  Pixels expect;   // bottom row first
};

BmpBuild build(int bits, int32_t w, std::vector<Bytes> rows, std::vector<Pixel32> palette = {}) {
  BmpBuild b;
  b.bits = bits;
  b.width = w;
  b.height = int32_t(rows.size());
  b.rows = std::move(rows);
  b.palette = std::move(palette);
  return b;
}

TEST(BmpDecode, EachBitCountInBothRowOrders) {
  const Pixel32 p0{10, 20, 30, 0x11}, p1{40, 50, 60, 0x22}, p2{70, 80, 90, 0x33};
  const Pixel32 m0{1, 2, 3, 4}, m1{200, 201, 202, 203};
  const DecodeCase cases[] = {
      {"32-bit keeps the fourth byte",
       build(32, 2, {{1, 2, 3, 0xFF, 4, 5, 6, 0}, {7, 8, 9, 0x80, 10, 11, 12, 0xFF}}),
       {{1, 2, 3, 0xFF}, {4, 5, 6, 0}, {7, 8, 9, 0x80}, {10, 11, 12, 0xFF}}},
      {"24-bit, width 3, rows padded to 12",
       build(24, 3, {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}}),
       {{1, 2, 3, 0},
        {4, 5, 6, 0},
        {7, 8, 9, 0},
        {10, 11, 12, 0},
        {13, 14, 15, 0},
        {16, 17, 18, 0}}},
      {"8-bit, indices past the palette give 0",
       build(8, 5, {{0, 1, 2, 3, 255}, {2, 2, 0, 1, 4}}, {p0, p1, p2}),
       {p0, p1, p2, kZero, kZero, p2, p2, p0, p1, kZero}},
      {"8-bit without palette", build(8, 5, {{0, 1, 2, 3, 255}, {2, 2, 0, 1, 4}}),
       Pixels(10, kZero)},
      {"1-bit, width 9, leftmost pixel in the top bit",
       build(1, 9, {{0xB1, 0x80}, {0x4E, 0x7F}}, {m0, m1}),
       {m1, m0, m1, m1, m0, m0, m0, m1, m1, m0, m1, m0, m0, m1, m1, m1, m0, m0}},
  };
  for (const DecodeCase& c : cases) {
    for (bool topDown : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (topDown ? ", top-down" : ", bottom-up"));
      BmpBuild b = c.build;
      b.topDown = topDown;
      const Bytes file = makeBmp(b);
      ASSERT_EQ(bmpCheck(file.data(), uint32_t(file.size())), kStatusOk);
      int status = -1;
      const Pixels out = decode(file, c.expect.size(), &status);
      EXPECT_EQ(status, 0);
      EXPECT_EQ(out, c.expect);
    }
  }
}

// With bfOffBits 50 the palette size is negative: no entry is usable, and the
// rows begin four bytes before the end of the header.
TEST(BmpDecode, EightBitWithNegativePaletteSize) {
  for (bool topDown : {false, true}) {
    BmpBuild b = build(8, 4, {{0, 1, 2, 3}, {4, 5, 6, 7}});
    b.topDown = topDown;
    Bytes file = makeBmp(b);
    file.erase(file.begin() + 50, file.begin() + 54);
    setField(file, kBfOffBits, 50);
    ASSERT_EQ(bmpCheck(file.data(), uint32_t(file.size())), kStatusOk);
    int status = -1;
    EXPECT_EQ(decode(file, 8, &status), Pixels(8, kZero));
    EXPECT_EQ(status, 0);
  }
}

TEST(BmpDecode, UnsupportedBitCountsWriteNothing) {
  for (int bits : {0, 2, 4, 16}) {
    const Bytes file = plainBmp(bits, 5, 2);
    int status = -1;
    const Pixels out = decode(file, 10, &status);
    EXPECT_EQ(status, 1) << bits;
    EXPECT_EQ(out, Pixels(10, Pixel32{kFill, kFill, kFill, kFill})) << bits;
  }
}

TEST(BmpDecode, NoRowsWritesNothing) {
  const Bytes file = withFields(plainBmp(24, 3, 1), {{kBiHeight, 0}});
  int status = -1;
  EXPECT_EQ(decode(file, 0, &status), Pixels());
  EXPECT_EQ(status, 0);
}

TEST(BmpDecode, WrittenPictureReadsBackUnchanged) {
  TempDir dir;
  Pixels px(4 * 3);
  for (size_t i = 0; i < px.size(); ++i)
    px[i] = Pixel32{uint8_t(i), uint8_t(3 * i), uint8_t(255 - i), 0};
  const std::string path = dir.file("round.bmp");
  ASSERT_EQ(bmpWrite32(path.c_str(), px.data(), 4, 3), 0);
  uint8_t* image = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(bmpLoad(path.c_str(), &image, &size), kStatusOk);
  const Bytes file(image, image + size);
  std::free(image);
  EXPECT_EQ(bmpCheck(file.data(), size), kStatusOk);
  int status = -1;
  EXPECT_EQ(decode(file, px.size(), &status), px);
  EXPECT_EQ(status, 0);
}

TEST(PixelToGray, WeightedSumRoundedDown) {
  struct {
    Pixel32 p;
    int gray;
  } const cases[] = {
      {{255, 255, 255, 0}, 255}, {{0, 0, 255, 0}, 76},    {{0, 255, 0, 0}, 149},
      {{255, 0, 0, 0}, 29},      {{0, 255, 255, 0}, 225}, {{128, 128, 128, 0}, 128},
      {{0, 0, 0, 0}, 0},         {{0, 0, 0, 0xFF}, 0},    {{255, 255, 255, 0xFF}, 255},
      {{30, 20, 10, 0}, 18},     {{0, 1, 1, 0}, 0},       {{1, 1, 1, 0}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pixelToGray(c.p), c.gray) << testing::PrintToString(c.p);
  }
}

}  // namespace

TEST(PixelToGray, PictureAndSamplesInOnePass) {
  // The gray picture is what complexToImage draws of the samples, and each
  // sample the gray level of its pixel, on any number of threads.
  const int32_t w = 23, h = 9;
  PlaneHolder colours(planeAlloc(4, w, h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      pixelRow(colours.get(), y)[x] =
          Pixel32{uint8_t(x * 11), uint8_t(y * 29), uint8_t(x * y), 0x5a};
  for (int threads : {1, 3}) {
    PlaneHolder picture(planeAlloc(4, w, h)), samples(planeAlloc(16, w, h)),
        drawn(planeAlloc(4, w, h));
    std::memcpy(pixelRow(picture.get(), 0), pixelRow(colours.get(), 0), size_t(w) * h * 4);
    pictureToGray(picture.get(), samples.get(), w, h, threads);
    complexToImage(samples.get(), drawn.get(), w, h);
    EXPECT_EQ(0,
              std::memcmp(pixelRow(drawn.get(), 0), pixelRow(picture.get(), 0), size_t(w) * h * 4))
        << threads;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const Complex s = complexRow(samples.get(), y)[x];
        EXPECT_EQ(double(pixelToGray(pixelRow(colours.get(), y)[x])), s.re);
        EXPECT_EQ(0.0, s.im);
      }
  }
}
