// The command-line rules the four programs share: options judged by their
// second character, the first deciding argument wins, the usage text and the
// invocation name. Every case runs in an empty directory, so a scan that
// wrongly went on would end in a read error instead of the usage.
#include "toolfixture.h"

namespace {

struct Tool {
  const char* path;
  const char* name;
  const char* usage;  // with the name "NAME", replaced per run
  bool takesOutput;   // a second positional argument
  bool knowsDn;       // -d and -n
};

const Tool kTools[] = {
    {kSpecfwd, "specfwd",
     "\nusage: NAME [-h] [input_bmp [complex_out.dat]]\n\n"
     "\t-h: This option shows only this message.\n",
     true, false},
    {kSpecinv, "specinv",
     "\nusage: NAME [-h] [complex_in.dat [output_bmp]]\n\n"
     "\t-h: This option shows only this message.\n",
     true, false},
    {kSpecshow, "specshow",
     "\nusage: NAME [-d] [-n] [-h] [complex_in.dat [output_bmp]]\n\n"
     "\t-d: Not replace the power spectrum.\n"
     "\t-n: normal power spectrum. default display log10.\n"
     "\t-h: This option shows only this message.\n",
     true, true},
    {kSpecinfo, "specinfo",
     "\nusage: NAME [-h] [complex.dat]\n\n"
     "\t-h: This option shows only this message.\n",
     false, false},
};

std::string usageOf(const Tool& tool, const std::string& name) {
  std::string u = tool.usage;
  return u.replace(u.find("NAME"), 4, name);
}

struct UsageCase {
  std::vector<std::string> args;
  int status;
};

// Cases that end in the usage for every program.
const UsageCase kCommon[] = {
    {{"-h"}, 0},
    {{"-help"}, 0},
    {{"-hx"}, 0},
    {{"-x"}, 1},
    {{"-H"}, 1},
    {{"--h"}, 1},
    {{"--help"}, 1},
    {{"-"}, 1},
    {{"-h", "-x"}, 0},
    {{"-x", "-h"}, 1},
    {{"in", "-h"}, 0},
    {{"-h", "a", "b", "c"}, 0},
    {{"a", "b", "c", "-h"}, 1},
    {{"in", "-"}, 1},
};

// The name a program shows when started by its path: under wine, where it
// runs as C:\tools\NAME.exe, the file name with its extension.
std::string ownName(const Tool& tool) {
  return *kToolLauncher ? std::string(tool.name) + ".exe" : std::string(tool.name);
}

void expectUsage(const Tool& tool, const std::vector<std::string>& args, int status) {
  TempDir dir;
  const ToolRun run = runTool(tool.path, args, dir.path);
  std::string joined;
  for (const auto& a : args) joined += " '" + a + "'";
  SCOPED_TRACE(std::string(tool.name) + joined);
  EXPECT_EQ(status, run.status);
  EXPECT_EQ(usageOf(tool, ownName(tool)), run.err);
  EXPECT_EQ("", run.out);
  EXPECT_TRUE(filesIn(dir.path).empty());
}

}  // namespace

TEST(CommandLine, UsageCasesShared) {
  for (const Tool& tool : kTools)
    for (const UsageCase& c : kCommon) expectUsage(tool, c.args, c.status);
}

TEST(CommandLine, SecondPositionalDependsOnTheProgram) {
  for (const Tool& tool : kTools) {
    // specinfo takes one path, so its second positional is already one too many.
    expectUsage(tool, {"a", "b", "-h"}, tool.takesOutput ? 0 : 1);
    if (!tool.takesOutput) expectUsage(tool, {"a", "b"}, 1);
  }
}

TEST(CommandLine, ViewerOptionsGoOnScanning) {
  const std::vector<UsageCase> cases = {
      {{"-d", "-h"}, 0},
      {{"-n", "-d", "-n", "-d", "-h"}, 0},
      {{"-dn", "-nd", "-doesnt", "-never", "-h"}, 0},
      {{"-n", "in", "out", "-d", "-help"}, 0},
      {{"-d", "-x"}, 1},
      {{"-d", "a", "b", "c"}, 1},
  };
  for (const Tool& tool : kTools) {
    for (const UsageCase& c : cases) {
      // The other programs stop at -d or -n as at any unknown letter.
      expectUsage(tool, c.args, tool.knowsDn ? c.status : 1);
    }
  }
}

TEST(CommandLine, InvocationNameIsCutAfterTheLastSeparator) {
  if (*kToolLauncher) GTEST_SKIP() << "argv[0] cannot be chosen for a program started by a launcher";
  const struct {
    const char* invocation;
    const char* shown;
  } cases[] = {
      {"C:\\tools\\NAME.exe", "NAME.exe"},
      {"/usr/local/bin/NAME", "NAME"},
      {"a/b\\c/NAME", "NAME"},
      {"a\\b/c\\NAME", "NAME"},
      {"NAME", "NAME"},
      {"dir/", ""},
  };
  for (const Tool& tool : kTools) {
    for (const auto& c : cases) {
      std::string invocation = c.invocation, shown = c.shown;
      if (invocation.find("NAME") != std::string::npos)
        invocation.replace(invocation.find("NAME"), 4, tool.name);
      if (shown.find("NAME") != std::string::npos) shown.replace(shown.find("NAME"), 4, tool.name);
      TempDir dir;
      const ToolRun run = runTool(tool.path, {"-h"}, dir.path, invocation.c_str());
      EXPECT_EQ(0, run.status) << invocation;
      EXPECT_EQ(usageOf(tool, shown), run.err) << invocation;
    }
  }
}

TEST(CommandLine, EmptyArgumentIsAPath) {
  // An empty string does not begin with '-': it is the input path, so the
  // programs try to read a file named "".
  const struct {
    const char* path;
    int status;
    const char* err;
  } cases[] = {
      {kSpecfwd, 11, "'' open error.\n'' read error.\n"},
      {kSpecinv, 255, "'' stat error.\n"},
      {kSpecshow, 255, "'' stat error.\n"},
      {kSpecinfo, 255, "'' stat error.\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const ToolRun run = runTool(c.path, {""}, dir.path);
    EXPECT_EQ(c.status, run.status) << c.path;
    EXPECT_EQ(c.err, run.err) << c.path;
  }
}
