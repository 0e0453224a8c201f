// A run's outputs as a set: whatever happens to a run (a signal at any
// moment, SIGKILL in the middle of its commit, other runs in the same
// folder), its folder ends up with the whole set of one run, never a mix,
// and nothing else of it.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "speccore/status.h"
#include "toolfixture.h"

using namespace speccore;

namespace {

typedef std::map<std::string, Bytes> Files;

const std::vector<std::string> kForward = {"SourceToGray.bmp", "dft_complex.dat",
                                           "PowerSpectrum.bmp", "dft_2D.bmp"};

// Every file in `dir` by name, hidden ones and links included.
Files filesOf(const std::string& dir) {
  Files files;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    files[e.path().filename().string()] =
        e.is_symlink() ? Bytes{'@'} : readBytes(e.path().string());
  return files;
}

void writeFiles(const std::string& dir, const Files& files) {
  for (const auto& f : files) EXPECT_TRUE(writeBytes(dir + "/" + f.first, f.second));
}

// The files of `all` named in `names`.
Files only(const Files& all, const std::vector<std::string>& names) {
  Files some;
  for (const std::string& n : names)
    if (all.count(n)) some[n] = all.at(n);
  return some;
}

bool plainProcesses() { return !kWindowsTools && !*kToolLauncher; }

int otherLevel(int32_t x, int32_t y) { return 255 - testLevel(x, y); }

// What a clean run of `program args` makes of `inputs`: the folder after it.
Files cleanRun(const char* program, const std::vector<std::string>& args, const Files& inputs) {
  TempDir dir;
  writeFiles(dir.path, inputs);
  EXPECT_EQ(0, runTool(program, args, dir.path).status);
  return filesOf(dir.path);
}

}  // namespace

TEST(OutputSets, SignalsAtAnyMomentLeaveTheOldSetOrTheNew) {
  // Thousands of tiny runs of every writing program, each sent SIGINT,
  // SIGTERM, SIGHUP or SIGQUIT at a random moment, from before its outputs
  // exist to after its last rename and during its exit. A run ends by the
  // signal with the folder as it was, or with status 0 and the whole new set
  // (a signal once the commit has begun waits for the program's end). Nothing
  // crashes, and nothing but the run's own temporaries is ever removed: the
  // program is started as ./NAME beside its inputs.
  if (!plainProcesses()) GTEST_SKIP() << "signals to programs started directly only";
  // A sanitized build also looks for a handler that reaches into a frame that
  // has returned.
  if (kToolsSanitized) {
    const char* options = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS",
           (std::string(options ? options : "") + ":detect_stack_use_after_return=1").c_str(), 1);
  }
  const Files inputs = {{"in.bmp", grayBmp(9, 7, testLevel)},
                        {"in.dat", spectrumBytes(9, 7, testSpectrum(9, 7))}};
  const struct {
    const char* program;
    std::vector<std::string> args;
    std::vector<std::string> outputs;
    int runs;
  } cases[] = {
      {kSpecfwd, {"in.bmp", "out.bmp"}, {kForward[0], kForward[1], kForward[2], "out.bmp"}, 700},
      {kSpecinv, {"in.dat", "out.bmp"}, {"out.bmp"}, 300},
      {kSpecshow, {"in.dat", "out.bmp"}, {"out.bmp"}, 300},
      {kSpecfilter, {"-l2", "in.dat", "out.dat"}, {"out.dat"}, 300},
  };
  const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  // A sanitized program takes ten times as long to start: a quarter of the runs.
  const int share = kToolsSanitized ? 4 : 1;
  std::mt19937 random(20);
  for (const auto& c : cases) {
    const std::string name = std::filesystem::path(c.program).filename().string();
    Files before = inputs;
    for (const std::string& out : c.outputs) before[out] = Bytes(out.begin(), out.end());
    const Files after = cleanRun(c.program, c.args, before);
    // How long a run takes here, so that the signals spread over all of it:
    // the slowest of five to start with. Other tests may load the machine and
    // the flushes to disk vary, so the span grows whenever a run is still
    // going where the span says it should be over.
    TempDir dir;
    std::filesystem::create_symlink(c.program, dir.file(name));
    const auto reset = [&] {
      for (const auto& e : std::filesystem::directory_iterator(dir.path))
        if (e.path().filename() != name) std::filesystem::remove(e.path());
      writeFiles(dir.path, before);
    };
    double run = 0;
    for (int i = 0; i < 5; ++i) {
      reset();
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(0, runTool("./" + name, c.args, dir.path).status) << name;
      run =
          std::max(run,
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    double span = 1.5 * run;
    int interrupted = 0, finished = 0;
    for (int i = 0; i < c.runs / share; ++i) {
      reset();
      const int sig = signals[i % 4];
      const double delay = std::uniform_real_distribution<double>(0, span)(random);
      const ToolProcess process = startTool("./" + name, c.args, dir.path);
      std::this_thread::sleep_for(std::chrono::duration<double>(delay));
      kill(process.pid, sig);
      const ToolRun result = waitTool(process);
      Files now = filesOf(dir.path);
      now.erase(name);
      const bool asBefore = result.signal == sig && now == before;
      const bool asAfter = result.signal == 0 && result.status == 0 && now == after;
      interrupted += asBefore;
      finished += asAfter;
      if (asBefore && delay > span / 1.5) span *= 1.25;
      ASSERT_TRUE(asBefore || asAfter)
          << name << " run " << i << ", " << strsignal(sig) << " after " << delay * 1000
          << " ms: ended by signal " << result.signal << ", status " << result.status << ", "
          << now.size() << " files, " << result.err;
      ASSERT_TRUE(std::filesystem::is_symlink(dir.file(name)));
    }
    // Both outcomes occur, or the moments missed the run.
    EXPECT_GT(interrupted, 0) << name;
    EXPECT_GT(finished, 0) << name;
  }
}

TEST(OutputSets, ConcurrentRunsInOneFolderNeverMixTheirSets) {
  // Eight runs of two pictures at once in one folder, fifty times: each file
  // is whole anyway, but the set must also be one run's.
  if (kWindowsTools) GTEST_SKIP() << "the Windows programs take no locks";
  const Bytes pictures[2] = {grayBmp(24, 16, testLevel), grayBmp(24, 16, otherLevel)};
  Files sets[2];
  for (int p = 0; p < 2; ++p)
    sets[p] = only(cleanRun(kSpecfwd, {"in.bmp"}, {{"in.bmp", pictures[p]}}), kForward);
  const int trials = *kToolLauncher ? 5 : 50;
  for (int t = 0; t < trials; ++t) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("a.bmp"), pictures[0]));
    ASSERT_TRUE(writeBytes(dir.file("b.bmp"), pictures[1]));
    std::vector<ToolProcess> runs;
    for (int i = 0; i < 8; ++i)
      runs.push_back(startTool(kSpecfwd, {i % 2 ? "b.bmp" : "a.bmp"}, dir.path));
    for (const ToolProcess& p : runs) EXPECT_EQ(0, waitTool(p).status);
    const Files all = filesOf(dir.path);
    const Files set = only(all, kForward);
    ASSERT_TRUE(set == sets[0] || set == sets[1]) << "trial " << t << ": a mixed set";
    EXPECT_EQ(kForward.size() + 2, all.size()) << "trial " << t << ": files left beside the set";
  }
}

TEST(OutputSets, CommitCutShortBySigkillIsPutBackByTheNextRun) {
  // SIGKILL while a commit's record exists (the renames are under way), then
  // a run in the same folder that fails after its start: it finds the folder
  // with one whole set, the one before the killed run, and nothing left of it.
  if (!plainProcesses()) GTEST_SKIP() << "SIGKILL to programs started directly only";
  const Bytes pictures[2] = {grayBmp(64, 48, testLevel), grayBmp(64, 48, otherLevel)};
  Files sets[2];
  for (int p = 0; p < 2; ++p)
    sets[p] = only(cleanRun(kSpecfwd, {"in.bmp"}, {{"in.bmp", pictures[p]}}), kForward);
  ToolLimits failing;
  failing.fileSize = 100;  // no picture fits: the run fails once its outputs are made
  int cutShort = 0;
  for (int t = 0; t < 20; ++t) {
    TempDir dir;
    ASSERT_TRUE(writeBytes(dir.file("a.bmp"), pictures[0]));
    ASSERT_TRUE(writeBytes(dir.file("b.bmp"), pictures[1]));
    ASSERT_EQ(0, runTool(kSpecfwd, {"a.bmp"}, dir.path).status);
    const ToolProcess process = startTool(kSpecfwd, {"b.bmp"}, dir.path);
    bool recorded = false;
    while (!recorded && kill(process.pid, 0) == 0) {
      DIR* d = opendir(dir.path.c_str());
      while (const dirent* e = d ? readdir(d) : nullptr)
        recorded |= std::string(e->d_name).find(".commit") != std::string::npos;
      if (d) closedir(d);
      // The run might be waited for already: a zombie counts as alive here.
      int status;
      if (waitpid(process.pid, &status, WNOHANG) == process.pid) break;
    }
    if (recorded) kill(process.pid, SIGKILL);
    waitTool(process);
    for (const auto& f : filesOf(dir.path))
      cutShort += f.first.find(".commit") != std::string::npos;
    const ToolRun next = waitTool(startTool(kSpecfwd, {"a.bmp"}, dir.path, failing));
    EXPECT_EQ(kStatusOutput, next.status) << next.err;
    const Files all = filesOf(dir.path);
    const Files set = only(all, kForward);
    ASSERT_TRUE(set == sets[0] || set == sets[1]) << "trial " << t << ": a mixed set";
    EXPECT_EQ(kForward.size() + 2, all.size()) << "trial " << t << ": files left beside the set";
  }
  EXPECT_GT(cutShort, 0) << "no SIGKILL came during a commit";
}
