// The command-line rules the programs share, in-process: options judged by
// their second character, the first deciding argument wins, positional
// arguments up to the program's count, and the invocation name.
#include <string>
#include <vector>

#include "commandline.h"
#include "speccore/status.h"
#include "testutil.h"

using namespace speccore;

namespace {

// The shapes the programs come in: one or two paths, with or without
// letters that let the scan go on (specshow's -d and -n), and with letters
// that carry a value (specfilter's).
const ToolOption kHelp[] = {{'h', "", "help"}};
const ToolOption kFlagOptions[] = {{'d', "", "d"}, {'n', "", "n"}, {'h', "", "help"}};
const ToolOption kValuedOptions[] = {{'l', "<r>", "l"}, {'g', "", "g"}, {'v', "<a>", "v"}};
const ToolCommandLine kTwoPaths = {kHelp, 1, "[in [out]]", 2, {"in0", "out0"}};
const ToolCommandLine kOnePath = {kHelp, 1, "[in]", 1, {"in0", nullptr}};
const ToolCommandLine kFlags = {kFlagOptions, 3, "[in [out]]", 2, {"in0", "out0"}};
const ToolCommandLine kValued = {kValuedOptions, 3, "[in [out]]", 2, {"in0", "out0"}};

struct ScanCase {
  std::vector<std::string> args;
  bool usage;
  int status;
  std::vector<std::string> paths;        // given ones, when the scan goes on
  std::string flags;                     // the flags given: for kFlags and kValued
  std::vector<std::string> valued = {};  // "l=30" for -l30, in order: for kValued only
};

void expectScan(const ToolCommandLine& tool, const char* toolName, const ScanCase& c) {
  std::vector<std::string> args = c.args;
  args.insert(args.begin(), "program");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  const CommandLine line = scanCommandLine(tool, int(argv.size()), argv.data());
  std::string joined = toolName;
  for (const auto& a : c.args) joined += " '" + a + "'";
  SCOPED_TRACE(joined);
  EXPECT_EQ(c.usage, line.usage);
  if (c.usage) {
    EXPECT_EQ(c.status, line.status);
    return;
  }
  // Paths not given are the program's defaults.
  for (int i = 0; i < kMaxPaths; ++i) {
    const char* expected =
        size_t(i) < c.paths.size() ? c.paths[size_t(i)].c_str() : tool.defaults[i];
    EXPECT_EQ(expected == nullptr, line.paths[i] == nullptr) << "path " << i;
    if (expected != nullptr && line.paths[i] != nullptr) {
      EXPECT_STREQ(expected, line.paths[i]) << "path " << i;
    }
  }
  std::string flags;
  for (const char letter : {'d', 'g', 'h', 'l', 'n', 'v', 'x', '\0'})
    if (flagGiven(line, letter)) flags += letter;
  EXPECT_EQ(c.flags, flags);
  std::vector<std::string> valued;
  for (int i = 0; i < line.valuedCount; ++i)
    valued.push_back(std::string(1, line.valued[i].letter) + "=" + line.valued[i].value);
  EXPECT_EQ(c.valued, valued);
}

}  // namespace

TEST(CommandLine, ScanRules) {
  // Cases every program decides alike.
  const ScanCase common[] = {
      {{}, false, 0, {}, {}},
      {{"-h"}, true, kStatusOk, {}, {}},
      {{"-help"}, true, kStatusOk, {}, {}},
      {{"-hx"}, true, kStatusOk, {}, {}},
      {{"-x"}, true, kExitUsage, {}, {}},
      {{"-H"}, true, kExitUsage, {}, {}},
      {{"--h"}, true, kExitUsage, {}, {}},
      {{"--help"}, true, kExitUsage, {}, {}},
      {{"-"}, true, kExitUsage, {}, {}},
      {{"-h", "-x"}, true, kStatusOk, {}, {}},
      {{"-x", "-h"}, true, kExitUsage, {}, {}},
      {{"in", "-h"}, true, kStatusOk, {}, {}},
      {{"-h", "a", "b", "c"}, true, kStatusOk, {}, {}},
      {{"a", "b", "c", "-h"}, true, kExitUsage, {}, {}},
      {{"in", "-"}, true, kExitUsage, {}, {}},
      {{"in"}, false, 0, {"in"}, {}},
      // An empty string does not begin with '-': it is a path.
      {{""}, false, 0, {""}, {}},
  };
  for (const ToolCommandLine* tool : {&kTwoPaths, &kOnePath, &kFlags, &kValued})
    for (const ScanCase& c : common) expectScan(*tool, tool->synopsis, c);

  // The second positional: an output path, or one too many.
  expectScan(kTwoPaths, "two paths", {{"a", "b"}, false, 0, {"a", "b"}, {}});
  expectScan(kTwoPaths, "two paths", {{"a", "b", "-h"}, true, kStatusOk, {}, {}});
  expectScan(kOnePath, "one path", {{"a", "b"}, true, kExitUsage, {}, {}});
  expectScan(kOnePath, "one path", {{"a", "b", "-h"}, true, kExitUsage, {}, {}});

  // Letters of the program's own are recorded and the scan goes on; the
  // other programs stop at them as at any unknown letter.
  const ScanCase flags[] = {
      {{"-d", "-h"}, true, kStatusOk, {}, {}},
      {{"-n", "-d", "-n", "-d", "-h"}, true, kStatusOk, {}, {}},
      {{"-dn", "-nd", "-doesnt", "-never", "-h"}, true, kStatusOk, {}, {}},
      {{"-n", "in", "out", "-d", "-help"}, true, kStatusOk, {}, {}},
      {{"-d", "-x"}, true, kExitUsage, {}, {}},
      {{"-d", "a", "b", "c"}, true, kExitUsage, {}, {}},
      {{"-n"}, false, 0, {}, "n"},
      {{"in", "-dont", "out"}, false, 0, {"in", "out"}, "d"},
  };
  for (const ScanCase& c : flags) {
    expectScan(kFlags, "flags", c);
    expectScan(kTwoPaths, "no flags", {c.args, true, kExitUsage, {}, {}});
  }

  // A valued letter keeps the rest of its argument, empty or not, every time
  // it is given; the value is never taken from the next argument.
  std::vector<std::string> many(kMaxValued, "-v1"), manyValues(kMaxValued, "v=1");
  const ScanCase valued[] = {
      {{"-l30"}, false, 0, {}, {}, {"l=30"}},
      {{"-l"}, false, 0, {}, {}, {"l="}},
      {{"-l", "30"}, false, 0, {"30"}, {}, {"l="}},
      {{"-v1,2,3", "in", "-l-5", "-v4,5,6", "out"},
       false,
       0,
       {"in", "out"},
       {},
       {"v=1,2,3", "l=-5", "v=4,5,6"}},
      {{"-gl", "-lg", "-g"}, false, 0, {}, "g", {"l=g"}},
      {{"-lhelp"}, false, 0, {}, {}, {"l=help"}},
      {{"-l30", "-h"}, true, kStatusOk, {}, {}},
      {{"-l30", "-x"}, true, kExitUsage, {}, {}},
      {{"-l30", "a", "b", "c"}, true, kExitUsage, {}, {}},
      {many, false, 0, {}, {}, manyValues},
  };
  for (const ScanCase& c : valued) {
    expectScan(kValued, "valued", c);
    expectScan(kFlags, "not valued", {c.args, true, kExitUsage, {}, {}});
  }
  many.push_back("-l1");
  expectScan(kValued, "one valued too many", {many, true, kExitUsage, {}, {}});
  many.push_back("-h");
  expectScan(kValued, "one valued too many", {many, true, kExitUsage, {}, {}});
}

TEST(CommandLine, InvocationNameIsCutAfterTheLastSeparator) {
  const struct {
    const char* invocation;
    const char* shown;
  } cases[] = {
      {"C:\\tools\\specfwd.exe", "specfwd.exe"},
      {"/usr/local/bin/specinv", "specinv"},
      {"a/b\\c/specshow", "specshow"},
      {"a\\b/c\\specinfo", "specinfo"},
      {"specfwd", "specfwd"},
      {"dir/", ""},
      {nullptr, ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(c.shown, programName(c.invocation)) << c.invocation;
}

TEST(CommandLine, UsageListsEachOptionInOrderAndReturnsItsStatus) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(kExitUsage, printUsage(kValued, "/bin/specfilter", kExitUsage));
  EXPECT_EQ(
      "\nusage: specfilter [-l<r>] [-g] [-v<a>] [in [out]]\n\n\t-l<r>: l\n\t-g: g\n\t-v<a>: v\n",
      testing::internal::GetCapturedStderr());
}

TEST(CommandLine, LibraryCodesEndAsTheProgramsReportThem) {
  // A refused spectrum ends as an unknown file, like a bad command line's 1;
  // the codes the programs share with the library pass as they are.
  const struct {
    int code, status;
  } cases[] = {
      {kStatusOk, kExitOk},       {kStatusNotSpectrum, kExitUnknownFile},
      {kStatusNotFinite, 1},      {kStatusTooSmall, kExitTooSmall},
      {kBmpNoImage, 1},           {kBmp1BitPalette, 8},
      {kStatusBitCount, 9},       {kStatusOpen, 11},
      {kStatusRead, 15},          {kStatusOutput, 16},
      {kStatusNoFft, kExitNoFft},
  };
  for (const auto& c : cases) EXPECT_EQ(c.status, exitStatusOf(c.code)) << statusText(c.code);
}
