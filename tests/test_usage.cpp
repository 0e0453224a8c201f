// What only a running program shows of its command line: its own usage
// text, its name as it was started, and its positional arguments counted
// (the scan's rules themselves are tested in-process). Every case runs in an
// empty directory, so a scan that wrongly went on would end in a read error
// instead of the usage.
#include "toolfixture.h"

namespace {

struct Tool {
  const char* path;
  const char* name;
  const char* usage;           // with the name "NAME", replaced per run
  const char* onePathTooMany;  // positional arguments that end in the usage
};

// specfilter's usage, whose option lines are many: the synopsis, then each
// option with what it does.
std::string filterUsage() {
  static const char* const options[][2] = {
      {"-l<r>", "low-pass: keep the frequencies up to radius r."},
      {"-e<r>", "high-pass: keep the frequencies above radius r (the edges)."},
      {"-b<r1>,<r2>", "band-pass: keep the ring from radius r1 to r2."},
      {"-r<r1>,<r2>", "band-stop: remove that ring."},
      {"-n<u>,<v>,<r>", "notch: remove frequency (u, v) and its mirror, radius r. repeatable."},
      {"-m<mask_bmp>", "mask: gray level / 255 of the picture laid out like PowerSpectrum.bmp."},
      {"-g", "Gaussian shape. default ideal."},
      {"-o<n>", "Butterworth shape of order n."},
      {"-d", "masks in natural order, not centred."},
      {"-s", "symmetric masks: each gain the smaller of its own and its mirror's."},
      {"-h", "This option shows only this message."},
  };
  std::string u =
      "\nusage: NAME [-l<r>] [-e<r>] [-b<r1>,<r2>] [-r<r1>,<r2>] [-n<u>,<v>,<r>] [-m<mask_bmp>] "
      "[-g] [-o<n>] [-d] [-s] [-h] [complex_in.dat [complex_out.dat]]\n\n";
  for (const auto& o : options) u += std::string("\t") + o[0] + ": " + o[1] + "\n";
  return u;
}

const std::string kFilterUsage = filterUsage();

const Tool kTools[] = {
    {kSpecfwd, "specfwd",
     "\nusage: NAME [-h] [input_bmp [complex_out.dat]]\n\n"
     "\t-h: This option shows only this message.\n",
     "a b c"},
    {kSpecinv, "specinv",
     "\nusage: NAME [-r] [-h] [complex_in.dat [output_bmp]]\n\n"
     "\t-r: each level rounded to the nearest, clamped to 0..255, no stretch.\n"
     "\t-h: This option shows only this message.\n",
     "a b c"},
    {kSpecshow, "specshow",
     "\nusage: NAME [-d] [-n] [-l] [-p] [-h] [complex_in.dat [output_bmp]]\n\n"
     "\t-d: Not replace the power spectrum.\n"
     "\t-n: normal power spectrum. default display log10.\n"
     "\t-l: log scale that does not wrap: log(1 + |F| - min), black to white.\n"
     "\t-p: phase: the angle of each coefficient, -pi black, 0 gray 128, pi white.\n"
     "\t-h: This option shows only this message.\n",
     "a b c"},
    {kSpecinfo, "specinfo",
     "\nusage: NAME [-t] [-p<N>] [-h] [complex.dat]\n\n"
     "\t-t: also the file's text, one line each (what specfilter did to it).\n"
     "\t-p<N>: also the N strongest coefficients, each pair once: u, v (as -n of specfilter), "
     "|F|, phase, pixel x, y.\n"
     "\t-h: This option shows only this message.\n",
     "a b"},
    {kSpecfilter, "specfilter", kFilterUsage.c_str(), "a b c"},
};

std::string usageOf(const Tool& tool, const std::string& name) {
  std::string u = tool.usage;
  return u.replace(u.find("NAME"), 4, name);
}

std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> w;
  for (size_t at = 0; at <= s.size();) {
    const size_t end = std::min(s.find(' ', at), s.size());
    w.push_back(s.substr(at, end - at));
    at = end + 1;
  }
  return w;
}

}  // namespace

TEST(Usage, EachProgramPrintsItsOwnAndEnds) {
  // Under wine a program started as C:\tools\NAME.exe shows its file name.
  for (const Tool& tool : kTools) {
    const std::string shown = kWindowsTools ? std::string(tool.name) + ".exe" : tool.name;
    const struct {
      std::vector<std::string> args;
      int status;
    } cases[] = {{{"-h"}, kStatusOk},
                 {{"-x"}, kStatusUsage},
                 {words(tool.onePathTooMany), kStatusUsage}};
    for (const auto& c : cases) {
      TempDir dir;
      const ToolRun run = runTool(tool.path, c.args, dir.path);
      SCOPED_TRACE(std::string(tool.name) + " " + c.args[0]);
      EXPECT_EQ(c.status, run.status);
      EXPECT_EQ(usageOf(tool, shown), run.err);
      EXPECT_EQ("", run.out);
      EXPECT_TRUE(filesIn(dir.path).empty());
    }
  }
}

TEST(Usage, NamesTheProgramAsItWasStarted) {
  if (*kToolLauncher)
    GTEST_SKIP() << "argv[0] cannot be chosen for a program started by a launcher";
  for (const Tool& tool : kTools) {
    TempDir dir;
    const std::string invocation = std::string("C:\\tools\\") + tool.name + ".exe";
    const ToolRun run = runTool(tool.path, {"-h"}, dir.path, invocation.c_str());
    EXPECT_EQ(usageOf(tool, std::string(tool.name) + ".exe"), run.err) << tool.name;
  }
}
