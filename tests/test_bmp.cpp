#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "bmpbuild.h"
#include "speccore/bmp.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "testutil.h"

using namespace speccore;

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

struct LoadResult {
  int status;
  Bytes bytes;
  bool imageNull;
  uint32_t size;
  std::string err;
};

LoadResult load(const std::string& path) {
  uint8_t* image = reinterpret_cast<uint8_t*>(1);  // stale values the call must reset
  uint32_t size = 12345;
  CaptureStderr();
  LoadResult r;
  r.status = bmpLoad(path.c_str(), &image, &size);
  r.err = GetCapturedStderr();
  r.imageNull = image == nullptr;
  r.size = size;
  if (r.status == 0 && image) r.bytes.assign(image, image + size);
  if (r.status == 0) std::free(image);
  return r;
}

TEST(BmpLoad, MissingFile) {
  TempDir dir;
  const std::string path = dir.file("absent.bmp");
  LoadResult r = load(path);
  EXPECT_EQ(r.status, kStatusOpen);
  EXPECT_EQ(r.err, "'" + path + "' open error.\n");
  EXPECT_TRUE(r.imageNull);
  EXPECT_EQ(r.size, 0u);
}

TEST(BmpLoad, FilesOf54BytesOrFewerAreTooSmall) {
  TempDir dir;
  for (size_t n : {size_t(0), size_t(1), size_t(54)}) {
    const std::string path = dir.file("small.bmp");
    ASSERT_TRUE(writeBytes(path, Bytes(n, 'x')));
    LoadResult r = load(path);
    EXPECT_EQ(r.status, kStatusSize) << n;
    EXPECT_EQ(r.err, "'" + path + "' file size erro. too small(" + std::to_string(n) + " Byte)\n");
    EXPECT_TRUE(r.imageNull);
    EXPECT_EQ(r.size, 0u);
  }
}

TEST(BmpLoad, ReturnsEveryByteOfTheFile) {
  TempDir dir;
  Bytes small(55);
  for (size_t i = 0; i < small.size(); ++i) small[i] = uint8_t(i * 7);
  for (const Bytes& content : {small, plainBmp(24, 3, 2)}) {
    ASSERT_TRUE(writeBytes(dir.file("in.bmp"), content));
    LoadResult r = load(dir.file("in.bmp"));
    EXPECT_EQ(r.status, kStatusOk);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.size, content.size());
    EXPECT_EQ(r.bytes, content);
  }
}

struct CheckCase {
  const char* what;
  Bytes image;
  int code;
  const char* err;
};

TEST(BmpCheck, CodesAndPaletteMessages) {
  const Bytes rgb = plainBmp(24, 3, 2);     // 78 bytes, rows 12 apart, 9 bytes of pixels each
  const Bytes mono = plainBmp(1, 9, 2, 2);  // 70 bytes, offset 62, rows 4 apart
  const int32_t minH = std::numeric_limits<int32_t>::min();
  const CheckCase cases[] = {
      {"24-bit", rgb, kStatusOk, ""},
      {"not BM", withFields(rgb, {{kBfType, 0x4E42}}), kBmpNotBmp, ""},
      {"reserved 1", withFields(rgb, {{kBfReserved1, 1}}), kBmpNotBmp, ""},
      {"reserved 2", withFields(rgb, {{kBfReserved2, 0x8000}}), kBmpNotBmp, ""},
      {"no planes", withFields(rgb, {{kBiPlanes, 0}}), kBmpCompressed, ""},
      {"two planes", withFields(rgb, {{kBiPlanes, 2}}), kBmpCompressed, ""},
      {"bit fields", withFields(rgb, {{kBiCompression, 3}}), kBmpCompressed, ""},
      {"run lengths", withFields(rgb, {{kBiCompression, 1}}), kBmpCompressed, ""},
      {"image size below unpadded", withFields(rgb, {{kBiSizeImage, 17}}), kBmpSizeMismatch, ""},
      {"image size unpadded", withFields(rgb, {{kBiSizeImage, 18}}), kStatusOk, ""},
      {"top-down, image size unpadded", withFields(plainBmp(24, 3, -2), {{kBiSizeImage, 18}}),
       kStatusOk, ""},
      {"image size 0", withFields(rgb, {{kBiSizeImage, 0}}), kStatusOk, ""},
      {"offset + image size past end", withFields(rgb, {{kBiSizeImage, 25}}), kBmpSizeMismatch, ""},
      {"1-bit image size fills file", withFields(mono, {{kBiSizeImage, 8}}), kStatusOk, ""},
      {"1-bit image size past end", withFields(mono, {{kBiSizeImage, 9}}), kBmpSizeMismatch, ""},
      {"32-bit offset 58", withFields(plainBmp(32, 2, 2, 1), {{kBiSizeImage, 0}}), kBmp32BitOffset,
       ""},
      {"32-bit offset 50", withFields(plainBmp(32, 2, 2), {{kBfOffBits, 50}}), kBmp32BitOffset, ""},
      {"24-bit offset 58", withFields(plainBmp(24, 3, 2, 1), {{kBiSizeImage, 0}}), kBmp24BitOffset,
       ""},
      {"8-bit no palette", plainBmp(8, 4, 2), kStatusOk, ""},
      {"8-bit offset 50", withFields(plainBmp(8, 4, 2), {{kBfOffBits, 50}}), kStatusOk, ""},
      {"8-bit palette", plainBmp(8, 4, 2, 3), kStatusOk, ""},
      {"8-bit offset 55", withFields(plainBmp(8, 4, 2), {{kBfOffBits, 55}, {kBiSizeImage, 0}}),
       kBmp8BitPalette, "Unexpected lut size. 55, 0\n"},
      {"8-bit offset 53", withFields(plainBmp(8, 4, 2), {{kBfOffBits, 53}}), kBmp8BitPalette,
       "Unexpected lut size. 53, -1\n"},
      {"8-bit offset 0", withFields(plainBmp(8, 4, 2), {{kBfOffBits, 0}}), kBmp8BitPalette,
       "Unexpected lut size. 0, -14\n"},
      {"1-bit", mono, kStatusOk, ""},
      {"1-bit offset 54", withFields(mono, {{kBfOffBits, 54}}), kBmp1BitPalette,
       "Unexpected, requirement is 2, lut size. 54, 0\n"},
      {"1-bit offset 50", withFields(mono, {{kBfOffBits, 50}}), kBmp1BitPalette,
       "Unexpected, requirement is 2, lut size. 50, -1\n"},
      {"1-bit offset 0", withFields(mono, {{kBfOffBits, 0}}), kBmp1BitPalette,
       "Unexpected, requirement is 2, lut size. 0, -14\n"},
      {"1-bit offset 66", withFields(plainBmp(1, 9, 2, 3), {{kBiSizeImage, 0}}), kBmp1BitPalette,
       "Unexpected, requirement is 2, lut size. 66, 3\n"},
      {"4-bit", plainBmp(4, 5, 2), kStatusOk, ""},
      {"16-bit", plainBmp(16, 3, 2), kStatusOk, ""},
      // Files too short for the rows their header describes, found with
      // biSizeImage 0 or through wrapping arithmetic; exact lengths pass.
      {"32-bit exact", withFields(plainBmp(32, 2, 3), {{kBiSizeImage, 0}}), kStatusOk, ""},
      {"32-bit one short", truncated(withFields(plainBmp(32, 2, 3), {{kBiSizeImage, 0}}), 77),
       kBmpSizeMismatch, ""},
      {"24-bit to last pixel", truncated(withFields(rgb, {{kBiSizeImage, 0}}), 75), kStatusOk, ""},
      {"24-bit one short", truncated(withFields(rgb, {{kBiSizeImage, 0}}), 74), kBmpSizeMismatch,
       ""},
      {"24-bit top-down one short",
       truncated(withFields(plainBmp(24, 3, -2), {{kBiSizeImage, 0}}), 74), kBmpSizeMismatch, ""},
      {"8-bit to last pixel", truncated(withFields(plainBmp(8, 5, 2, 2), {{kBiSizeImage, 0}}), 75),
       0, ""},
      {"8-bit one short", truncated(withFields(plainBmp(8, 5, 2, 2), {{kBiSizeImage, 0}}), 74),
       kBmpSizeMismatch, ""},
      {"1-bit to last pixel", truncated(withFields(mono, {{kBiSizeImage, 0}}), 68), kStatusOk, ""},
      {"1-bit one short", truncated(withFields(mono, {{kBiSizeImage, 0}}), 67), kBmpSizeMismatch,
       ""},
      {"8-bit offset past end",
       withFields(plainBmp(8, 4, 1), {{kBfOffBits, 454}, {kBiSizeImage, 0}}), kBmpSizeMismatch, ""},
      {"image size wraps to 0",
       withFields(plainBmp(32, 1, 1), {{kBiWidth, 0x40000000}, {kBiSizeImage, 1}}),
       kBmpSizeMismatch, ""},
      {"row offset wraps",
       withFields(plainBmp(24, 1, 1), {{kBiHeight, 0x40000001}, {kBiSizeImage, 0}}),
       kBmpSizeMismatch, ""},
      {"tall top-down",
       withFields(plainBmp(24, 1, 1), {{kBiHeight, uint32_t(-1000000)}, {kBiSizeImage, 0}}),
       kBmpSizeMismatch, ""},
      {"most negative height",
       withFields(plainBmp(24, 1, 1), {{kBiHeight, uint32_t(minH)}, {kBiSizeImage, 0}}),
       kBmpSizeMismatch, ""},
  };
  for (const CheckCase& c : cases) {
    CaptureStderr();
    const int code = bmpCheck(c.image.data(), uint32_t(c.image.size()));
    EXPECT_EQ(code, c.code) << c.what;
    EXPECT_EQ(GetCapturedStderr(), c.err) << c.what;
  }
}

TEST(BmpCheck, MissingOrShortImageIsNoImage) {
  const Bytes rgb = plainBmp(24, 3, 2);
  EXPECT_EQ(bmpCheck(nullptr, 78), kBmpNoImage);
  EXPECT_EQ(bmpCheck(rgb.data(), 54), kBmpNoImage);
  EXPECT_EQ(bmpCheck(rgb.data(), 0), kBmpNoImage);
}

TEST(BmpHeaderRead, EveryFieldFromItsOffset) {
  Bytes b(kBmpHeaderSize);
  for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(0x10 + i);
  BmpHeader h;
  bmpHeaderRead(b.data(), &h);
  EXPECT_EQ(h.bfType, 0x1110u);
  EXPECT_EQ(h.bfSize, 0x15141312u);
  EXPECT_EQ(h.bfReserved1, 0x1716u);
  EXPECT_EQ(h.bfReserved2, 0x1918u);
  EXPECT_EQ(h.bfOffBits, 0x1D1C1B1Au);
  EXPECT_EQ(h.biSize, 0x21201F1Eu);
  EXPECT_EQ(h.biWidth, 0x25242322);
  EXPECT_EQ(h.biHeight, 0x29282726);
  EXPECT_EQ(h.biPlanes, 0x2B2Au);
  EXPECT_EQ(h.biBitCount, 0x2D2Cu);
  EXPECT_EQ(h.biCompression, 0x31302F2Eu);
  EXPECT_EQ(h.biSizeImage, 0x35343332u);
  EXPECT_EQ(h.biXPelsPerMeter, 0x39383736);
  EXPECT_EQ(h.biYPelsPerMeter, 0x3D3C3B3A);
  EXPECT_EQ(h.biClrUsed, 0x41403F3Eu);
  EXPECT_EQ(h.biClrImportant, 0x45444342u);
  b[25] = 0xFF;  // biHeight's sign
  bmpHeaderRead(b.data(), &h);
  EXPECT_EQ(h.biHeight, int32_t(0xFF282726u));
}

TEST(BmpWrite32, HeaderThenRowsAsTheyLieInMemory) {
  TempDir dir;
  for (int32_t height : {2, -2}) {
    Pixel32 px[6];
    for (int i = 0; i < 6; ++i)
      px[i] = Pixel32{uint8_t(i), uint8_t(10 + i), uint8_t(20 + i), uint8_t(i == 5 ? 0xFF : 0)};
    const std::string path = dir.file("out.bmp");
    ASSERT_EQ(bmpWrite32(path.c_str(), px, 3, height), 0);
    const Bytes f = readBytes(path);
    ASSERT_EQ(f.size(), 78u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    const std::pair<size_t, uint32_t> fields[] = {{kBfSize, 78},
                                                  {kBfReserved1, 0},
                                                  {kBfReserved2, 0},
                                                  {kBfOffBits, 54},
                                                  {kBiSize, 40},
                                                  {kBiWidth, 3},
                                                  {kBiHeight, uint32_t(height)},
                                                  {kBiPlanes, 1},
                                                  {kBiBitCount, 32},
                                                  {kBiCompression, 0},
                                                  {kBiSizeImage, 24},
                                                  {kBiXPelsPerMeter, 0},
                                                  {kBiYPelsPerMeter, 0},
                                                  {kBiClrUsed, 0},
                                                  {kBiClrImportant, 0}};
    for (const auto& fld : fields) {
      const uint32_t got = isField16(BmpField(fld.first)) ? le16(f, fld.first) : le32(f, fld.first);
      EXPECT_EQ(got, fld.second) << "field at " << fld.first << ", height " << height;
    }
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(px);
    EXPECT_EQ(Bytes(f.begin() + 54, f.end()), Bytes(raw, raw + 24));
  }
}

TEST(BmpWrite32, MissingDirectory) {
  TempDir dir;
  const std::string path = dir.file("missing/out.bmp");
  Pixel32 px{1, 2, 3, 0};
  CaptureStderr();
  EXPECT_EQ(bmpWrite32(path.c_str(), &px, 1, 1), -1);
  EXPECT_EQ(GetCapturedStderr(), "File '" + path + "' cannot create.\n");
}

}  // namespace

// Sizes beyond what the formats' 32-bit fields can describe are refused before
// anything is allocated or written.
TEST(BmpLoad, FileOf2GiBIsRefusedWithoutReading) {
  TempDir dir;
  const std::string path = dir.file("huge.bmp");
  ASSERT_TRUE(writeBytes(path, plainBmp(24, 3, 2)));
  std::error_code ec;
  std::filesystem::resize_file(path, uint64_t(1) << 31, ec);  // sparse on disk
  if (ec) GTEST_SKIP() << "cannot make a sparse 2 GiB file here: " << ec.message();
  LoadResult r = load(path);
  EXPECT_EQ(r.status, kStatusSize);
  EXPECT_EQ(r.err, "'" + path + "' file size erro. too large(2147483648 Byte)\n");
  EXPECT_TRUE(r.imageNull);
}

TEST(BmpWrite32, PictureBeyondFourGiBIsRefused) {
  TempDir dir;
  const std::string path = dir.file("big.bmp");
  // 65536 x 16384 pixels need exactly 4 GiB: bfSize cannot hold it; the
  // largest sizes must not wrap the count. The pixels are never read, so
  // none are passed.
  for (const int32_t height : {16384, INT32_MAX, INT32_MIN}) {
    const int32_t width = height == 16384 ? 65536 : INT32_MAX;
    CaptureStderr();
    EXPECT_EQ(bmpWrite32(path.c_str(), nullptr, width, height), -1);
    EXPECT_EQ(GetCapturedStderr(), "File '" + path + "' cannot create. unsupported size(" +
                                       std::to_string(width) + " x " + std::to_string(height) +
                                       ")\n");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}
