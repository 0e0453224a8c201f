// specfwd on every picture of the public BMP Suite: good (g/), questionable
// (q/), bad (b/) and a related container (x/). The expected outcome of each
// file follows from its header bytes at the 40-byte info header's offsets,
// which is all the suite reads whatever biSize says:
//   - compression other than 0, or biPlanes not 1: code 3 (the short OS/2
//     headers put palette bytes where biPlanes and biCompression would be);
//   - biSizeImage below the unpadded image, or bfOffBits + biSizeImage past
//     the end of the file, or rows past the end: code 4;
//   - a palette between header and pixels of a 24-bit file: code 6; a 1-bit
//     offset other than 62: code 8 with its line;
//   - bit counts 2, 4, 16 and 64 pass the check but cannot be expanded:
//     status 9;
//   - a negative width leaves no plane to allocate: status 14 with a line;
//   - everything else is transformed, even when its palette does not start
//     at byte 54 (V4, V5 and 64-byte OS/2 headers): the four outputs.
#include <filesystem>
#include <set>

#include "speccore/status.h"
#include "toolfixture.h"

using namespace speccore;

namespace {

struct SuiteFile {
  const char* path;  // folder/name under the suite's root
  int status;
  const char* firstLine;  // "" for none; %s stands for the file name
  int32_t width, height;  // of the outputs, when the file is transformed
};

const char* const kUnknown = "'%s' unknown file";

SuiteFile ok(const char* path, int32_t w, int32_t h) { return {path, kStatusOk, "", w, h}; }
SuiteFile refused(const char* path, int code, const char* line = kUnknown) {
  return {path, code, line, 0, 0};
}

const SuiteFile kSuite[] = {
    ok("g/pal1.bmp", 127, 64),
    ok("g/pal1bg.bmp", 127, 64),
    ok("g/pal1wb.bmp", 127, 64),
    refused("g/pal4.bmp", kStatusBitCount, "Unsupported bit count. 4"),
    refused("g/pal4gs.bmp", kStatusBitCount, "Unsupported bit count. 4"),
    refused("g/pal4rle.bmp", kBmpCompressed),
    ok("g/pal8-0.bmp", 127, 64),
    ok("g/pal8.bmp", 127, 64),
    ok("g/pal8gs.bmp", 127, 64),
    ok("g/pal8nonsquare.bmp", 127, 32),
    refused("g/pal8os2.bmp", kBmpCompressed),
    refused("g/pal8rle.bmp", kBmpCompressed),
    ok("g/pal8topdown.bmp", 127, 64),
    ok("g/pal8v4.bmp", 127, 64),
    ok("g/pal8v5.bmp", 127, 64),
    ok("g/pal8w124.bmp", 124, 61),
    ok("g/pal8w125.bmp", 125, 62),
    ok("g/pal8w126.bmp", 126, 63),
    refused("g/rgb16-565.bmp", kBmpCompressed),
    refused("g/rgb16-565pal.bmp", kBmpCompressed),
    refused("g/rgb16.bmp", kStatusBitCount, "Unsupported bit count. 16"),
    refused("g/rgb16bfdef.bmp", kBmpCompressed),
    ok("g/rgb24.bmp", 127, 64),
    refused("g/rgb24pal.bmp", kBmp24BitOffset),
    ok("g/rgb32.bmp", 127, 64),
    refused("g/rgb32bf.bmp", kBmpCompressed),
    refused("g/rgb32bfdef.bmp", kBmpCompressed),

    refused("q/pal1huffmsb.bmp", kBmpCompressed),
    refused("q/pal1p1.bmp", kBmp1BitPalette, "Unexpected, requirement is 2, lut size. 58, 1"),
    refused("q/pal2.bmp", kStatusBitCount, "Unsupported bit count. 2"),
    refused("q/pal2color.bmp", kStatusBitCount, "Unsupported bit count. 2"),
    refused("q/pal4rlecut.bmp", kBmpCompressed),
    refused("q/pal4rletrns.bmp", kBmpCompressed),
    ok("q/pal8offs.bmp", 127, 64),
    refused("q/pal8os2-hs.bmp", kBmpNotBmp),  // non-zero reserved words
    refused("q/pal8os2-sz.bmp", kBmpCompressed),
    refused("q/pal8os2sp.bmp", kBmpCompressed),
    refused("q/pal8os2v2-16.bmp",
            kBmpSizeMismatch),  // palette bytes as biSizeImage reach past the end
    ok("q/pal8os2v2-40sz.bmp", 127, 64),
    ok("q/pal8os2v2-sz.bmp", 127, 64),
    ok("q/pal8os2v2.bmp", 127, 64),
    ok("q/pal8oversizepal.bmp", 127, 64),
    refused("q/pal8rlecut.bmp", kBmpCompressed),
    refused("q/pal8rletrns.bmp", kBmpCompressed),
    refused("q/rgb16-231.bmp", kBmpCompressed),
    refused("q/rgb16-3103.bmp", kBmpCompressed),
    refused("q/rgb16faketrns.bmp", kStatusBitCount, "Unsupported bit count. 16"),
    refused("q/rgb24jpeg.bmp", kBmpCompressed),
    refused("q/rgb24largepal.bmp", kBmp24BitOffset),
    refused("q/rgb24lprof.bmp", kBmp24BitOffset),  // bfOffBits 138 after a V5 header
    refused("q/rgb24png.bmp", kBmpCompressed),
    refused("q/rgb24rle24.bmp", kBmpCompressed),
    refused("q/rgb32-111110.bmp", kBmpCompressed),
    refused("q/rgb32-7187.bmp", kBmpCompressed),
    refused("q/rgb32-xbgr.bmp", kBmpCompressed),
    ok("q/rgb32fakealpha.bmp", 127, 64),
    refused("q/rgb32h52.bmp", kBmpCompressed),
    refused("q/rgba16-1924.bmp", kBmpCompressed),
    refused("q/rgba16-4444.bmp", kBmpCompressed),
    refused("q/rgba16-5551.bmp", kBmpCompressed),
    refused("q/rgba32-1.bmp", kBmpCompressed),
    refused("q/rgba32-1010102.bmp", kBmpCompressed),
    refused("q/rgba32-2.bmp", kBmpCompressed),
    refused("q/rgba32-61754.bmp", kBmpCompressed),
    refused("q/rgba32-81284.bmp", kBmpCompressed),
    refused("q/rgba32abf.bmp", kBmpCompressed),
    refused("q/rgba32h56.bmp", kBmpCompressed),
    refused("q/rgba64.bmp", kStatusBitCount, "Unsupported bit count. 64"),

    refused("b/badbitcount.bmp",
            kBmpSizeMismatch),  // 30000 bits: 3750 bytes a pixel exceed biSizeImage
    refused("b/badbitssize.bmp", kBmpSizeMismatch),  // biSizeImage of 2 GB in a 1 KB file
    ok("b/baddens1.bmp", 127, 64),
    ok("b/baddens2.bmp", 127, 64),
    ok("b/badfilesize.bmp", 127, 64),  // bfSize is never read
    refused("b/badheadersize.bmp", kBmp1BitPalette,
            "Unexpected, requirement is 2, lut size. 88, 8"),
    ok("b/badpalettesize.bmp", 127, 64),  // biClrUsed is never read
    refused("b/badplanes.bmp", kBmpCompressed),
    refused("b/badrle.bmp", kBmpCompressed),
    refused("b/badrle4.bmp", kBmpCompressed),
    refused("b/badrle4bis.bmp", kBmpCompressed),
    refused("b/badrle4ter.bmp", kBmpCompressed),
    refused("b/badrlebis.bmp", kBmpCompressed),
    refused("b/badrleter.bmp", kBmpCompressed),
    refused("b/badwidth.bmp", kStatusMemory, "Couldn't allocate memory. destination"),
    ok("b/pal8badindex.bmp", 127, 64),  // indices past the palette decode to 0
    refused("b/reallybig.bmp", kBmpSizeMismatch),
    refused("b/rgb16-880.bmp", kBmpCompressed),
    refused("b/rletopdown.bmp", kBmpCompressed),
    refused("b/shortfile.bmp", kBmpSizeMismatch),

    refused("x/ba-bm.bmp", kBmpNotBmp),  // starts "BA"
};

std::string expand(std::string line, const std::string& name) {
  const size_t at = line.find("%s");
  if (at != std::string::npos) line.replace(at, 2, name);
  return line;
}

}  // namespace

TEST(BmpSuite, EveryFileEndsAsItsHeaderSays) {
  namespace fs = std::filesystem;
  const fs::path root = BMPSUITE_DIR;
  if (!fs::is_directory(root))
    GTEST_SKIP() << "BMP Suite not found at " << root << "; set SPEC_BMPSUITE_DIR to run this test";

  // The table must name every picture of the suite, and nothing else.
  std::set<std::string> onDisk, inTable;
  for (const char* folder : {"g", "q", "b", "x"})
    for (const auto& e :
         fs::directory_iterator(root / folder, fs::directory_options::skip_permission_denied))
      if (e.path().extension() == ".bmp")
        onDisk.insert(std::string(folder) + "/" + e.path().filename().string());
  for (const SuiteFile& f : kSuite) inTable.insert(f.path);
  EXPECT_EQ(onDisk, inTable);

  for (const SuiteFile& f : kSuite) {
    if (!onDisk.count(f.path)) continue;
    const std::string name = fs::path(f.path).filename().string();
    TempDir dir;
    fs::copy_file(root / f.path, dir.file(name));
    const ToolRun run = runTool(kSpecfwd, {name}, dir.path);
    EXPECT_EQ(f.status, run.status) << f.path;  // a signal shows as -1000
    EXPECT_EQ(expand(f.firstLine, name), run.err.substr(0, run.err.find('\n'))) << f.path;
    EXPECT_EQ("", run.out) << f.path;
    if (f.width == 0) {
      EXPECT_EQ(names({name.c_str()}), filesIn(dir.path)) << f.path;
      continue;
    }
    EXPECT_EQ("", run.err) << f.path;
    EXPECT_EQ(names({name.c_str(), "SourceToGray.bmp", "dft_complex.dat", "PowerSpectrum.bmp",
                     "dft_2D.bmp"}),
              filesIn(dir.path))
        << f.path;
    const uintmax_t pixels = uintmax_t(f.width) * uintmax_t(f.height);
    for (const char* picture : {"SourceToGray.bmp", "PowerSpectrum.bmp", "dft_2D.bmp"})
      EXPECT_EQ(54 + 4 * pixels, fs::file_size(dir.file(picture))) << f.path << " " << picture;
    EXPECT_EQ(32 + 16 * pixels, fs::file_size(dir.file("dft_complex.dat"))) << f.path;
    const Bytes gray = readBytes(dir.file("SourceToGray.bmp")),
                spectrum = readBytes(dir.file("dft_complex.dat"));
    if (gray.size() < 54 || spectrum.size() < 32) continue;
    EXPECT_EQ(uint32_t(f.width), le32(gray, kBiWidth)) << f.path;
    EXPECT_EQ(uint32_t(f.height), le32(gray, kBiHeight)) << f.path;
    EXPECT_EQ(uint32_t(f.width), le32(spectrum, kCxWidth)) << f.path;
    EXPECT_EQ(uint32_t(f.height), le32(spectrum, kCxHeight)) << f.path;
  }
}
