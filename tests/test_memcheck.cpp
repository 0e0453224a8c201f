// Each program under valgrind's memcheck on a few representative runs, the
// way through to the outputs and the ways out after a failure: no invalid
// read or write, no use of an uninitialised value and no leak. Memcheck
// prints nothing when all is well (-q), so standard error must hold exactly
// the program's own lines.
#include "toolfixture.h"

using namespace speccore;

namespace {

struct MemcheckRun {
  const char* what;
  const char* program;
  std::vector<std::string> args;
  const char* input;  // name of the input file written from `bytes`, or null
  Bytes bytes;
  int status;
  const char* err;
  const char* mask = nullptr;  // a second input, written from maskBytes
  Bytes maskBytes = {};
};

std::vector<MemcheckRun> runs() {
  BmpBuild paletted;
  paletted.bits = 8;
  paletted.width = 7;
  paletted.height = 5;
  paletted.topDown = true;
  paletted.palette = {{10, 20, 30, 0}, {200, 100, 50, 0}, {255, 255, 255, 0}};
  for (int32_t y = 0; y < paletted.height; ++y) paletted.rows.push_back(Bytes{0, 1, 2, 3, 2, 1, 0});
  const Bytes spectrum = spectrumBytes(5, 4, testSpectrum(5, 4), 4);
  Bytes notCpx = spectrum, offsetPast = spectrum, nan = spectrum;
  notCpx[0] = 'X';
  putLe32(offsetPast, kCxOffByts, 64);
  putLe32(nan, 40, 0x7ff80000);  // the first sample's real part: a NaN
  const char* const unknown = "'in.dat' unknown file\n";
  // clang-format off
  return {
      {"specfwd, 8-bit top-down", kSpecfwd, {"in.bmp"}, "in.bmp", makeBmp(paletted), kStatusOk, ""},
      {"specfwd, missing", kSpecfwd, {"in.bmp"}, nullptr, {}, kStatusOpen, "'in.bmp' open error.\n'in.bmp' read error.\n"},
      {"specfwd, rows past the end", kSpecfwd, {"in.bmp"}, "in.bmp", truncated(makeBmp(paletted), 80), kBmpSizeMismatch,
       "'in.bmp' unknown file\n"},
      {"specfwd, 16 bits", kSpecfwd, {"in.bmp"}, "in.bmp", plainBmp(16, 4, 4), kStatusBitCount,
       "Unsupported bit count. 16\n'in.bmp' unknown file\n"},
      {"specfwd, width 0", kSpecfwd, {"in.bmp"}, "in.bmp", withFields(plainBmp(24, 4, 4), {{kBiWidth, 0}}), kStatusMemory,
       "Couldn't allocate memory. destination\n"},
      {"specfwd, output not written", kSpecfwd, {"in.bmp", "/dev/full"}, "in.bmp", makeBmp(paletted), kStatusOutput,
       "File '/dev/full' cannot write.\n"},
      {"specfwd, one row", kSpecfwd, {"in.bmp"}, "in.bmp", plainBmp(24, 5, 1), kExitTooSmall,
       "'in.bmp' too small to transform(5 x 1)\n"},
      {"specinv", kSpecinv, {"in.dat", "out.bmp"}, "in.dat", spectrum, kStatusOk, ""},
      {"specinv, samples past the end", kSpecinv, {"in.dat"}, "in.dat", offsetPast, kExitUnknownFile, unknown},
      {"specinv, NaN", kSpecinv, {"in.dat"}, "in.dat", nan, kExitUnknownFile, "Inverse transform not finite.\n'in.dat' unknown file\n"},
      {"specinv, output not created", kSpecinv, {"in.dat", "no/out.bmp"}, "in.dat", spectrum, kStatusOutput,
       "File 'no/out.bmp' cannot create.\n"},
      {"specshow", kSpecshow, {"-n", "in.dat", "out.bmp"}, "in.dat", spectrum, kStatusOk, ""},
      {"specshow, not CPX", kSpecshow, {"in.dat"}, "in.dat", notCpx, kExitUnknownFile, unknown},
      {"specshow, 10 bytes", kSpecshow, {"in.dat"}, "in.dat", truncated(spectrum, 10), kStatusSize,
       "'in.dat' size error.\n"},
      {"specinfo", kSpecinfo, {"in.dat"}, "in.dat", spectrum, kStatusOk, ""},
      {"specinfo, not CPX", kSpecinfo, {"in.dat"}, "in.dat", notCpx, kExitUnknownFile, unknown},
      {"specinfo, missing", kSpecinfo, {"in.dat"}, nullptr, {}, kExitStatQuery, "'in.dat' stat error.\n"},
      {"specfilter", kSpecfilter, {"-g", "-b1,2", "-n2,1,1", "-mmask.bmp", "in.dat"}, "in.dat", spectrum, kStatusOk, "",
       "mask.bmp", grayBmp(5, 4, testLevel)},
      {"specfilter, mask of another size", kSpecfilter, {"-mmask.bmp", "in.dat"}, "in.dat", spectrum, kExitFilterMismatch,
       "'mask.bmp' mask size(5 x 3) is not the spectrum's(5 x 4)\n", "mask.bmp", grayBmp(5, 3, testLevel)},
  };
  // clang-format on
}

}  // namespace

TEST(Memcheck, RepresentativeRunsOfEachProgram) {
  const std::string valgrind = VALGRIND_PATH;
  if (valgrind.empty()) GTEST_SKIP() << "valgrind not found: the memcheck runs are skipped";
  for (const MemcheckRun& r : runs()) {
    TempDir dir;
    if (r.input != nullptr) {
      ASSERT_TRUE(writeBytes(dir.file(r.input), r.bytes)) << r.what;
    }
    if (r.mask != nullptr) {
      ASSERT_TRUE(writeBytes(dir.file(r.mask), r.maskBytes)) << r.what;
    }
    std::vector<std::string> args = {"-q", "--leak-check=full", "--error-exitcode=1", r.program};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const ToolRun run = runTool(valgrind, args, dir.path);
    EXPECT_EQ(shellStatus(r.status), run.status) << r.what;
    EXPECT_EQ(r.err, run.err) << r.what;
  }
}
