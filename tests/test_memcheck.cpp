// Each program under valgrind's memcheck on a few representative runs, the
// way through to the outputs and the ways out after a failure: no invalid
// read or write, no use of an uninitialised value and no leak. Memcheck
// prints nothing when all is well (-q) and ends with status 99 when it finds
// something, so each run must give exactly what the same run gives without
// it: its status, both streams and the same files (what each run should give
// is the other tests' business).
#include "toolfixture.h"

using namespace speccore;

namespace {

struct MemcheckRun {
  const char* what;
  const char* program;
  std::vector<std::string> args;
  const char* input;  // name of the input file written from `bytes`, or null
  Bytes bytes;
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
  // clang-format off
  return {
      {"specfwd, 8-bit top-down", kSpecfwd, {"in.bmp"}, "in.bmp", makeBmp(paletted)},
      {"specfwd, missing", kSpecfwd, {"in.bmp"}, nullptr, {}},
      {"specfwd, rows past the end", kSpecfwd, {"in.bmp"}, "in.bmp", truncated(makeBmp(paletted), 80)},
      {"specfwd, 16 bits", kSpecfwd, {"in.bmp"}, "in.bmp", plainBmp(16, 4, 4)},
      {"specfwd, width 0", kSpecfwd, {"in.bmp"}, "in.bmp", withFields(plainBmp(24, 4, 4), {{kBiWidth, 0}})},
      {"specfwd, output not written", kSpecfwd, {"in.bmp", "/dev/full"}, "in.bmp", makeBmp(paletted)},
      {"specfwd, one row", kSpecfwd, {"in.bmp"}, "in.bmp", plainBmp(24, 5, 1)},
      {"specinv", kSpecinv, {"in.dat", "out.bmp"}, "in.dat", spectrum},
      {"specinv, samples past the end", kSpecinv, {"in.dat"}, "in.dat", offsetPast},
      {"specinv, NaN", kSpecinv, {"in.dat"}, "in.dat", nan},
      {"specinv, output not created", kSpecinv, {"in.dat", "no/out.bmp"}, "in.dat", spectrum},
      {"specshow", kSpecshow, {"-n", "in.dat", "out.bmp"}, "in.dat", spectrum},
      {"specshow, not CPX", kSpecshow, {"in.dat"}, "in.dat", notCpx},
      {"specshow, 10 bytes", kSpecshow, {"in.dat"}, "in.dat", truncated(spectrum, 10)},
      {"specinfo", kSpecinfo, {"in.dat"}, "in.dat", spectrum},
      {"specinfo, not CPX", kSpecinfo, {"in.dat"}, "in.dat", notCpx},
      {"specinfo, missing", kSpecinfo, {"in.dat"}, nullptr, {}},
      {"specfilter", kSpecfilter, {"-g", "-b1,2", "-n2,1,1", "-mmask.bmp", "in.dat"}, "in.dat", spectrum,
       "mask.bmp", grayBmp(5, 4, testLevel)},
      {"specfilter, mask of another size", kSpecfilter, {"-mmask.bmp", "in.dat"}, "in.dat", spectrum, "mask.bmp", grayBmp(5, 3, testLevel)},
  };
  // clang-format on
}

// The run in a fresh directory holding the case's inputs: through valgrind
// when `valgrind` is given.
ToolRun runCase(const MemcheckRun& r, const std::string& valgrind,
                std::vector<std::string>* files) {
  TempDir dir;
  if (r.input != nullptr) {
    EXPECT_TRUE(writeBytes(dir.file(r.input), r.bytes)) << r.what;
  }
  if (r.mask != nullptr) {
    EXPECT_TRUE(writeBytes(dir.file(r.mask), r.maskBytes)) << r.what;
  }
  std::vector<std::string> args = r.args;
  std::string program = r.program;
  if (!valgrind.empty()) {
    args.insert(args.begin(), {"-q", "--leak-check=full", "--error-exitcode=99", program});
    program = valgrind;
  }
  const ToolRun run = runTool(program, args, dir.path);
  *files = filesIn(dir.path);
  return run;
}

}  // namespace

TEST(Memcheck, RepresentativeRunsOfEachProgram) {
  const std::string valgrind = VALGRIND_PATH;
  if (valgrind.empty()) GTEST_SKIP() << "valgrind not found: the memcheck runs are skipped";
  for (const MemcheckRun& r : runs()) {
    std::vector<std::string> plainFiles, checkedFiles;
    const ToolRun plain = runCase(r, "", &plainFiles);
    const ToolRun checked = runCase(r, valgrind, &checkedFiles);
    EXPECT_EQ(plain.status, checked.status) << r.what;
    EXPECT_EQ(plain.err, checked.err) << r.what;
    EXPECT_EQ(plain.out, checked.out) << r.what;
    EXPECT_EQ(plainFiles, checkedFiles) << r.what;
  }
}
