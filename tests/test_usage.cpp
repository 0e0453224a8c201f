// What every program shows of its command line, whatever its options: a usage
// that names it as it was started, the same for -h, an unknown option and one
// positional argument too many, ended by the status each calls for (the
// scan's rules themselves are tested in-process, each program's own usage in
// its test). Every case runs in an empty directory, so a scan that wrongly
// went on would end in a read error instead of the usage.
#include "toolfixture.h"

using namespace speccore;

TEST(Usage, EachProgramPrintsItsOwnAndEnds) {
  for (const ProgramPath& program : kPrograms) {
    SCOPED_TRACE(program.name);
    TempDir dir;
    const ToolRun help = runTool(program.path, {"-h"}, dir.path);
    EXPECT_EQ(kExitOk, help.status);
    EXPECT_EQ(0u, help.err.find("\nusage: " + shownName(program.name) + " [-")) << help.err;
    EXPECT_EQ('\n', help.err.back());
    EXPECT_EQ("", help.out);
    EXPECT_TRUE(filesIn(dir.path).empty());
    // A lone '-' is no option of any program; no program takes three paths.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-"}, std::vector<std::string>{"a", "b", "c"}}) {
      const ToolRun run = runTool(program.path, args, dir.path);
      EXPECT_EQ(kExitUsage, run.status) << args[0];
      EXPECT_EQ(help.err, run.err) << args[0];
      EXPECT_EQ("", run.out) << args[0];
      EXPECT_TRUE(filesIn(dir.path).empty()) << args[0];
    }
  }
}

TEST(Usage, NamesTheProgramAsItWasStarted) {
  if (*kToolLauncher)
    GTEST_SKIP() << "argv[0] cannot be chosen for a program started by a launcher";
  for (const ProgramPath& program : kPrograms) {
    TempDir dir;
    const std::string name = program.name;
    std::string expected = runTool(program.path, {"-h"}, dir.path).err;
    expected.replace(expected.find(name), name.size(), name + ".exe");
    const std::string invocation = "C:\\tools\\" + name + ".exe";
    EXPECT_EQ(expected, runTool(program.path, {"-h"}, dir.path, invocation.c_str()).err) << name;
  }
}
