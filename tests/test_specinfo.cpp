// specinfo as a user runs it: the nine header lines, printed without judging
// the values, and the few ways it refuses a file.
#include "toolfixture.h"

namespace {

std::string headerLines(int32_t size, int32_t offset, int32_t data, int32_t w, int32_t h) {
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "identifier: 'CPX'\n"
                "cxType: 0x585043\n"
                "zero:       0\n"
                "cxSize:     %d\n"
                "cxDataByte: 16\n"
                "cxOffByts:  %d\n"
                "cxSizeData: %d\n"
                "cxWidth:    %d\n"
                "cxHeight:   %d\n",
                size, offset, data, w, h);
  return buf;
}

}  // namespace

TEST(Specinfo, PrintsTheNineLines) {
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("four.dat"), spectrumBytes(4, 2, testSpectrum(4, 2))));
  ToolRun run = runTool(kSpecinfo, {"four.dat"}, dir.path);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(headerLines(160, 32, 128, 4, 2), run.out);

  // specfwd's file under the default name.
  ASSERT_TRUE(writeBytes(dir.file("in.bmp"), grayBmp(5, 3, testLevel)));
  ASSERT_EQ(0, runTool(kSpecfwd, {"in.bmp"}, dir.path).status);
  run = runTool(kSpecinfo, {}, dir.path);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(headerLines(272, 32, 240, 5, 3), run.out);
}

TEST(Specinfo, PrintsValuesThatOtherProgramsRefuse) {
  TempDir dir;
  Bytes tiny = spectrumBytes(1, 1, {});  // 32 bytes: a header and no samples
  ASSERT_TRUE(writeBytes(dir.file("tiny.dat"), tiny));
  ToolRun run = runTool(kSpecinfo, {"tiny.dat"}, dir.path);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(headerLines(32, 32, 0, 1, 1), run.out);

  putLe32(tiny, 4, uint32_t(-7));
  putLe32(tiny, 12, 8);
  putLe32(tiny, 16, uint32_t(-100));
  putLe32(tiny, 28, uint32_t(-5));
  ASSERT_TRUE(writeBytes(dir.file("odd.dat"), tiny));
  run = runTool(kSpecinfo, {"odd.dat"}, dir.path);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("identifier: 'CPX'\ncxType: 0x585043\nzero:       -7\ncxSize:     32\n"
            "cxDataByte: 8\ncxOffByts:  -100\ncxSizeData: 0\ncxWidth:    1\ncxHeight:   -5\n",
            run.out);
}

TEST(Specinfo, RefusalsPrintNothingOnStandardOutput) {
  Bytes wrongId = spectrumBytes(2, 2, testSpectrum(2, 2));
  wrongId[0] = 'c';
  expectRefusals(kSpecinfo, "in.dat", {},
                 {
                     {"missing", {}, kStatusStatQuery, "'in.dat' stat error.\n"},
                     {"31 bytes", Bytes(31, 0), kStatusSize, "'in.dat' size error.\n"},
                     {"32 other bytes", Bytes(32, 'Q'), kStatusUnknownFile,
                      "'in.dat' unknown file\n"},
                     {"wrong identifier", wrongId, kStatusUnknownFile, "'in.dat' unknown file\n"},
                 });
}

TEST(Specinfo, ReportsAFileThatCannotBeRead) { expectLoadFailure(kSpecinfo); }

TEST(Specinfo, TextAndPeaksOnRequest) {
  // A text of two runs, the second with an escape sequence a hostile file
  // could hold, and one strong coefficient among equal ones.
  std::vector<Complex> s(12, Complex{1, 1});
  s[7] = Complex{-300, 400};  // row 1, column 3: (u, v) = (-1, 1)
  const std::string text = "specfilter -g -l20\nspecfilter -n3,1,1\x1b[2J";
  Bytes f = spectrumBytes(4, 3, s, uint32_t(text.size() + 1));
  std::memcpy(f.data() + 32, text.c_str(), text.size());
  TempDir dir;
  ASSERT_TRUE(writeBytes(dir.file("in.dat"), f));
  const std::string header =
      headerLines(int32_t(f.size()), 32 + int32_t(text.size()) + 1, 192, 4, 3);
  const std::string textLines =
      "text:       specfilter -g -l20\ntext:       specfilter -n3,1,1\\x1b[2J\n";
  // Pixels: the swap moves row 1 to row 0, drawn at the top (y 2) of three.
  const std::string peakLines = "peak:       u -1  v 1  |F| 500  phase 2.214297  x 1  y 2\n"
                                "peak:       u 1  v 0  |F| 1.41421356  phase 0.785398  x 3  y 1\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"in.dat"}, header},
      {{"-t", "in.dat"}, header + textLines},
      {{"in.dat", "-p2"}, header + peakLines},
      {{"-p9", "-t", "-p2", "in.dat"}, header + textLines + peakLines},
  };
  for (const auto& c : cases) {
    const ToolRun run = runTool(kSpecinfo, c.args, dir.path);
    EXPECT_EQ(0, run.status) << c.args[0];
    EXPECT_EQ("", run.err) << c.args[0];
    EXPECT_EQ(c.out, run.out) << c.args[0];
  }

  // Peaks need a spectrum the other programs accept; the header still shows.
  putLe32(f, kCxWidth, 1);
  ASSERT_TRUE(writeBytes(dir.file("one.dat"), f));
  ToolRun run = runTool(kSpecinfo, {"one.dat", "-p1"}, dir.path);
  EXPECT_EQ(kStatusUnknownFile, run.status);
  EXPECT_EQ("'one.dat' unknown file\n", run.err);
  EXPECT_EQ(0u, run.out.find("identifier: 'CPX'\n"));

  for (const char* bad : {"-p", "-p0", "-p-3", "-p2x", "-p 2", "-p4294967297"}) {
    run = runTool(kSpecinfo, {bad, "in.dat"}, dir.path);
    EXPECT_EQ(kStatusUsage, run.status) << bad;
    EXPECT_EQ(0u, run.err.find(std::string("Option '") + bad +
                               "': the count is not a positive whole number.\n\nusage: "))
        << run.err;
    EXPECT_EQ("", run.out) << bad;
  }
}
