// Spectrum file: exact bytes written, whole-file loading, header checking.
#include <cstring>
#include <filesystem>

#include "speccore/spectrumfile.h"
#include "speccore/types.h"
#include "spectrumbuild.h"
#include "testutil.h"

using namespace speccore;

namespace {

// Checks the header fields and the sample block of a written file.
void expectFile(const Bytes& f, uint32_t textLength, const std::vector<Complex>& s, int32_t w,
                int32_t h) {
  const uint32_t data = uint32_t(w) * uint32_t(h) * 16, offset = 32 + textLength;
  ASSERT_EQ(offset + data, f.size());
  EXPECT_EQ(0x43, f[0]);
  EXPECT_EQ(0x50, f[1]);
  EXPECT_EQ(0x58, f[2]);
  EXPECT_EQ(0, f[3]);
  EXPECT_EQ(uint32_t(kCpxType), le32(f, 0));
  EXPECT_EQ(0u, le32(f, 4));
  EXPECT_EQ(offset + data, le32(f, 8));
  EXPECT_EQ(16u, le32(f, 12));
  EXPECT_EQ(offset, le32(f, 16));
  EXPECT_EQ(data, le32(f, 20));
  EXPECT_EQ(uint32_t(w), le32(f, 24));
  EXPECT_EQ(uint32_t(h), le32(f, 28));
  EXPECT_EQ(0, std::memcmp(f.data() + offset, s.data(), data));
}

}  // namespace

TEST(SpectrumFile, WritesHeaderAndSamples) {
  TempDir dir;
  const std::vector<Complex> s = testSpectrum(4, 2);
  for (const char* text : {static_cast<const char*>(nullptr), ""}) {
    const std::string path = dir.file("plain.dat");
    ASSERT_EQ(0, writeSpectrumFile(path.c_str(), text, s.data(), 4, 2));
    const Bytes f = readBytes(path);
    expectFile(f, 0, s, 4, 2);
    ASSERT_EQ(160u, f.size());
    // Sample (row 1, column 0) sits at byte 96.
    EXPECT_EQ(0, std::memcmp(f.data() + 96, &s[4], 16));
  }
}

TEST(SpectrumFile, WritesTextBetweenHeaderAndSamples) {
  TempDir dir;
  const std::vector<Complex> s = testSpectrum(4, 2);
  const std::string path = dir.file("text.dat");
  ASSERT_EQ(0, writeSpectrumFile(path.c_str(), "abc", s.data(), 4, 2));
  const Bytes f = readBytes(path);
  expectFile(f, 4, s, 4, 2);
  ASSERT_EQ(164u, f.size());
  EXPECT_EQ(0, std::memcmp(f.data() + 32, "abc", 4));
}

TEST(SpectrumFile, WriteToMissingDirectoryFails) {
  TempDir dir;
  const std::vector<Complex> s = testSpectrum(2, 2);
  const std::string path = dir.file("no/such/dir.dat");
  testing::internal::CaptureStderr();
  EXPECT_EQ(-1, writeSpectrumFile(path.c_str(), nullptr, s.data(), 2, 2));
  EXPECT_EQ("File '" + path + "' cannot create.\n", testing::internal::GetCapturedStderr());
}

TEST(SpectrumFile, ReadReturnsWholeFile) {
  TempDir dir;
  const std::vector<Complex> s = testSpectrum(3, 5);
  for (const char* text : {static_cast<const char*>(nullptr), "a longer note"}) {
    const std::string path = dir.file("round.dat");
    ASSERT_EQ(0, writeSpectrumFile(path.c_str(), text, s.data(), 3, 5));
    const Bytes onDisk = readBytes(path);
    uint32_t loaded = 0;
    uint8_t* block = readSpectrumFile(path.c_str(), &loaded);
    ASSERT_NE(nullptr, block);
    ASSERT_EQ(onDisk.size(), loaded);
    EXPECT_EQ(0, std::memcmp(block, onDisk.data(), loaded));
    CpxHeader h;
    cpxHeaderRead(block, &h);
    EXPECT_EQ(uint32_t(kCpxType), h.cxType);
    EXPECT_EQ(3, h.cxWidth);
    EXPECT_EQ(5, h.cxHeight);
    EXPECT_EQ(int32_t(loaded), h.cxSize);
    EXPECT_EQ(0, checkSpectrumHeader(block, loaded));
    // Samples are taken from cxOffByts, which a text moves past byte 32.
    EXPECT_EQ(0, std::memcmp(block + h.cxOffByts, s.data(), s.size() * 16));
    std::free(block);
  }
  // The size out-parameter is optional.
  uint8_t* block = readSpectrumFile(dir.file("round.dat").c_str());
  EXPECT_NE(nullptr, block);
  std::free(block);
}

TEST(SpectrumFile, ReadMissingFileFails) {
  TempDir dir;
  const std::string path = dir.file("absent.dat");
  testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, readSpectrumFile(path.c_str()));
  EXPECT_EQ("'" + path + "' open error.\n", testing::internal::GetCapturedStderr());
}

// What the header's signed 32-bit sizes cannot describe is refused: a file
// of 2 GiB or more is not read, and samples of 2 GiB or more are not written.
TEST(SpectrumFile, SizesBeyondTheHeaderAreRefused) {
  TempDir dir;
  const std::string huge = dir.file("huge.dat");
  ASSERT_TRUE(writeBytes(huge, Bytes(160, 0)));
  std::error_code ec;
  std::filesystem::resize_file(huge, uint64_t(1) << 31, ec);  // sparse on disk
  if (!ec) {
    testing::internal::CaptureStderr();
    int status = 0;
    EXPECT_EQ(nullptr, readSpectrumFile(huge.c_str(), nullptr, &status));
    EXPECT_EQ(kStatusSize, status);
    EXPECT_EQ("'" + huge + "' file size erro. too large(2147483648 Byte)\n",
              testing::internal::GetCapturedStderr());
  }
  const std::string big = dir.file("big.dat");
  // 16384 x 8192 samples are exactly 2 GiB; the largest sizes must not wrap
  // the count (times 16 they would in 64 bits). The samples are never read.
  for (const int32_t side : {8192, INT32_MAX}) {
    const int32_t width = side == 8192 ? 16384 : side;
    testing::internal::CaptureStderr();
    EXPECT_EQ(-1, writeSpectrumFile(big.c_str(), nullptr, nullptr, width, side));
    EXPECT_EQ("File '" + big + "' cannot create. unsupported size(" + std::to_string(width) +
                  " x " + std::to_string(side) + ")\n",
              testing::internal::GetCapturedStderr());
  }
  EXPECT_FALSE(std::filesystem::exists(big));
  // A text of any length, however long, is measured without wrapping.
  testing::internal::CaptureStderr();
  EXPECT_EQ(kStatusOutput, spectrumFileSizeCheck("x.dat", 2, 2, SIZE_MAX));
  EXPECT_EQ(kStatusOk, spectrumFileSizeCheck("x.dat", 2, 2, 1000));
  EXPECT_EQ("File 'x.dat' cannot create. unsupported size(2 x 2)\n",
            testing::internal::GetCapturedStderr());
}

// A file image of `size` bytes whose header says W x H samples at `offset`.
static Bytes spectrumImage(uint32_t size, int32_t w, int32_t h, int32_t offset = 32) {
  Bytes b = spectrumBytes(w, h, {});
  putLe32(b, kCxOffByts, uint32_t(offset));
  b.resize(size);
  return b;
}

TEST(SpectrumHeader, AcceptsOnlyUsableSpectra) {
  struct Case {
    const char* what;
    uint32_t size;
    int32_t w, h, offset;
    int expected;
  } const cases[] = {
      {"exactly (W*H+2)*16", 96, 2, 2, 32, 0},
      {"one byte short", 95, 2, 2, 32, 1},
      {"non-square exact", (5 * 3 + 2) * 16, 5, 3, 32, 0},
      {"longer than needed", 200, 2, 2, 32, 0},
      {"width 1", 512, 1, 2, 32, 1},
      {"height 1", 512, 2, 1, 32, 1},
      {"width 0", 512, 0, 2, 32, 1},
      {"height 0", 512, 2, 0, 32, 1},
      {"negative width", 512, -2, 2, 32, 1},
      {"negative height", 512, 2, -3, 32, 1},
      {"header only", 32, 2, 2, 32, 1},
      {"shorter than a header", 31, 2, 2, 32, 1},
      {"empty", 0, 2, 2, 32, 1},
      // 65536 * 65536 * 16 + 32 wraps to 32 in 32 bits.
      {"huge square", 96, 65536, 65536, 32, 1},
      // 0x40000001 * 2 * 16 + 32 wraps to 64 in 32 bits.
      {"huge row", 96, 0x40000001, 2, 32, 1},
      // (2^31 - 1)^2 * 16 is past 2^65: as a 64-bit count it wraps negative.
      {"largest square", 96, 0x7fffffff, 0x7fffffff, 32, 1},
      {"text whose samples fit", 100, 2, 2, 36, 0},
      {"samples past the end", 96, 2, 2, 36, 1},
      {"negative offset", 200, 2, 2, -16, 1},
      {"offset near 2^31", 200, 2, 2, 0x7ffffff0, 1},
  };
  for (const Case& c : cases) {
    const Bytes b = spectrumImage(c.size, c.w, c.h, c.offset);
    // A heap copy of exactly `size` bytes lets a sanitizer see any overread.
    uint8_t* exact = static_cast<uint8_t*>(std::malloc(b.size() + 1));
    if (!b.empty()) std::memcpy(exact, b.data(), b.size());
    EXPECT_EQ(c.expected, checkSpectrumHeader(exact, c.size)) << c.what;
    std::free(exact);
  }
}

TEST(SpectrumHeader, RequiresZeroAfterIdentifier) {
  Bytes b = spectrumImage(96, 2, 2);
  ASSERT_EQ(0, checkSpectrumHeader(b.data(), 96));
  for (uint8_t fourth : {uint8_t(' '), uint8_t('X'), uint8_t(0xff)}) {
    b[3] = fourth;
    EXPECT_EQ(1, checkSpectrumHeader(b.data(), 96)) << int(fourth);
  }
  b[3] = 0;
  b[0] = 'c';
  EXPECT_EQ(1, checkSpectrumHeader(b.data(), 96));
}

TEST(SpectrumFile, SamplesAreAlignedForUseInPlace) {
  // Texts of 0, 3 and 8 letters: samples at 32, 36 and 41 in the file.
  TempDir dir;
  const std::vector<Complex> s = testSpectrum(4, 2);
  for (const char* text : {"", "abc", "abcdefgh"}) {
    const std::string path = dir.file("text.dat");
    ASSERT_EQ(0, writeSpectrumFile(path.c_str(), text, s.data(), 4, 2));
    uint32_t size = 0;
    std::unique_ptr<uint8_t, decltype(&std::free)> file(readSpectrumFile(path.c_str(), &size),
                                                        &std::free);
    ASSERT_NE(nullptr, file);
    ASSERT_EQ(0, checkSpectrumHeader(file.get(), size));
    const uint32_t offset = le32(readBytes(path), 16);
    const Complex* at = spectrumSamples(file.get());
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(at) % alignof(Complex)) << text;
    // Aligned samples stay where they are; others move down by less than a double.
    const uint8_t* where = reinterpret_cast<const uint8_t*>(at);
    EXPECT_LE(where, file.get() + offset) << text;
    EXPECT_GT(where + alignof(Complex), file.get() + offset) << text;
    EXPECT_EQ(0, std::memcmp(at, s.data(), s.size() * sizeof(Complex))) << text;
  }
}

TEST(SpectrumFile, TextIsCopiedUpToItsEnd) {
  // The text ends at its zero byte, at cxOffByts or at the end of what was
  // loaded, whichever comes first.
  const std::vector<Complex> s = testSpectrum(2, 2);
  Bytes noZero = spectrumBytes(2, 2, s, 4);
  noZero[35] = 'u';  // "tttu" runs into the samples at 36
  Bytes early = spectrumBytes(2, 2, s, 6);
  early[33] = 0;
  Bytes offsetInHeader = spectrumBytes(2, 2, s, 8);
  putLe32(offsetInHeader, kCxOffByts, 8);
  const struct {
    const char* name;
    Bytes file;
    uint32_t size;
    const char* text;
  } cases[] = {
      {"none", spectrumBytes(2, 2, s), 96, ""},
      {"five bytes and a zero", spectrumBytes(2, 2, s, 6), 102, "ttttt"},
      {"no zero before the samples", noZero, 100, "tttu"},
      {"an early zero", early, 102, "t"},
      {"offset inside the header", offsetInHeader, 104, ""},
      {"cut after three bytes", spectrumBytes(2, 2, s, 6), 35, "ttt"},
      {"cut inside the header", spectrumBytes(2, 2, s, 6), 20, ""},
  };
  for (const auto& c : cases) {
    char* text = spectrumText(c.file.data(), c.size);
    ASSERT_NE(nullptr, text) << c.name;
    EXPECT_STREQ(c.text, text) << c.name;
    std::free(text);
  }
}
