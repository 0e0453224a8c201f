// What a run that cannot finish leaves behind: a full disk, a file-size
// limit, a full device or an interruption ends with a status (or the signal)
// and a line, and every output keeps the bytes of the run before it, with no
// temporary file left. Outputs that cannot be made are found before the
// transform.
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "speccore/status.h"
#include "toolfixture.h"

using namespace speccore;

namespace {

// A folder with the inputs of every program and a previous run's output
// under each output name, each file's content its own name.
struct RunFolder {
  std::string path;
  std::vector<std::string> outputs;
  RunFolder(const std::string& at, const std::vector<std::string>& outputNames,
            const Bytes& picture)
      : path(at), outputs(outputNames) {
    EXPECT_TRUE(writeBytes(file("in.bmp"), picture));
    EXPECT_TRUE(writeBytes(file("in.dat"), spectrumBytes(16, 12, testSpectrum(16, 12))));
    for (const std::string& name : outputs)
      EXPECT_TRUE(writeBytes(file(name), Bytes(name.begin(), name.end())));
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
  // Every previous output as it was, and nothing else beside the inputs.
  void expectUntouched(const std::string& what) const {
    std::vector<std::string> expected = outputs, all;
    expected.push_back("in.bmp");
    expected.push_back("in.dat");
    std::sort(expected.begin(), expected.end());
    for (const auto& e : std::filesystem::directory_iterator(path))
      all.push_back(e.path().filename().string());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(expected, all) << what;
    for (const std::string& name : outputs)
      EXPECT_EQ(Bytes(name.begin(), name.end()), readBytes(file(name))) << what << ": " << name;
  }
};

const std::vector<std::string> kForwardOutputs = {"SourceToGray.bmp", "dft_complex.dat",
                                                  "PowerSpectrum.bmp", "out.bmp"};

// A picture whose transform takes seconds (about 1.6e10 complex
// multiply-adds), stored as one bit per pixel to keep the file small.
Bytes slowPicture() { return plainBmp(1, 2000, 2000, 2); }

bool posixProcesses() { return !kWindowsTools; }

}  // namespace

TEST(OutputFailures, WriteThatFallsShortLeavesThePreviousOutputs) {
  if (!posixProcesses()) GTEST_SKIP() << "file-size limits and /dev/full are POSIX";
  ToolLimits sizeLimit, fullStdout;
  sizeLimit.fileSize = 200;  // a header passes, no picture of 16 x 12 does
  fullStdout.stdoutPath = "/dev/full";
  const struct {
    const char* program;
    std::vector<std::string> args;
    ToolLimits limits;
    std::vector<std::string> outputs;
    const char* err;
  } cases[] = {
      {kSpecfwd,
       {"in.bmp", "out.bmp"},
       sizeLimit,
       kForwardOutputs,
       "File 'SourceToGray.bmp' cannot write.\n"},
      {kSpecfwd,
       {"in.bmp", "/dev/full"},
       {},
       {"SourceToGray.bmp", "dft_complex.dat", "PowerSpectrum.bmp"},
       "File '/dev/full' cannot write.\n"},
      {kSpecinv, {"in.dat", "out.bmp"}, sizeLimit, {"out.bmp"}, "File 'out.bmp' cannot write.\n"},
      {kSpecinv, {"in.dat", "/dev/full"}, {}, {}, "File '/dev/full' cannot write.\n"},
      {kSpecshow, {"in.dat", "out.bmp"}, sizeLimit, {"out.bmp"}, "File 'out.bmp' cannot write.\n"},
      {kSpecshow, {"in.dat", "/dev/full"}, {}, {}, "File '/dev/full' cannot write.\n"},
      {kSpecinfo, {"in.dat"}, fullStdout, {}, "File 'stdout' cannot write.\n"},
  };
  for (const auto& c : cases) {
    const std::string what =
        std::filesystem::path(c.program).filename().string() + " " + c.args.back();
    TempDir dir;
    RunFolder folder(dir.path, c.outputs, grayBmp(16, 12, testLevel));
    const ToolRun run = waitTool(startTool(c.program, c.args, dir.path, c.limits));
    EXPECT_EQ(kStatusOutput, run.status) << what;
    EXPECT_EQ(c.err, run.err) << what;
    folder.expectUntouched(what);
  }
}

// The disk itself full: a 1 MiB file system that holds the inputs, the
// previous outputs and the gray picture, but not the spectrum.
TEST(OutputFailures, FullDiskLeavesThePreviousOutputs) {
  if (!posixProcesses()) GTEST_SKIP() << "mounting is POSIX";
  TempDir dir;
  if (mount("tmpfs", dir.path.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a small file system here (needs root): " << std::strerror(errno);
  struct Unmount {
    std::string at;
    ~Unmount() { umount(at.c_str()); }
  } unmount{dir.path};
  RunFolder folder(dir.path, kForwardOutputs, grayBmp(256, 256, testLevel));
  const ToolRun run = runTool(kSpecfwd, {"in.bmp", "out.bmp"}, dir.path);
  EXPECT_EQ(kStatusOutput, run.status);
  EXPECT_EQ("File 'dft_complex.dat' cannot write.\n", run.err);
  folder.expectUntouched("1 MiB file system");
}

TEST(OutputFailures, InterruptedRunLeavesThePreviousOutputs) {
  if (!posixProcesses()) GTEST_SKIP() << "signals are POSIX";
  for (const int sig : {SIGINT, SIGTERM}) {
    TempDir dir;
    RunFolder folder(dir.path, kForwardOutputs, slowPicture());
    const ToolProcess process = startTool(kSpecfwd, {"in.bmp", "out.bmp"}, dir.path);
    // The temporaries exist from the start of the transform on.
    bool started = false;
    for (int i = 0; i < 2000 && !started; ++i) {
      for (const auto& e : std::filesystem::directory_iterator(dir.path))
        started |= e.path().filename().string().rfind(".dft_complex.dat.", 0) == 0;
      if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(started) << "no temporary appeared";
    kill(process.pid, sig);
    const ToolRun run = waitTool(process);
    EXPECT_EQ(sig, run.signal) << strsignal(sig) << ", status " << run.status;
    EXPECT_EQ("", run.err);
    folder.expectUntouched(strsignal(sig));
  }
}

TEST(OutputFailures, OutputsThatCannotBeMadeEndTheRunBeforeTheTransform) {
  // The transform alone needs more processor time than the limit allows, so
  // a run that got as far as the transform would end on SIGXCPU.
  if (!posixProcesses()) GTEST_SKIP() << "processor-time limits are POSIX";
  ToolLimits oneSecond;
  oneSecond.cpuSeconds = 1;
  {
    TempDir dir;
    RunFolder folder(dir.path, kForwardOutputs, slowPicture());
    const ToolRun run =
        waitTool(startTool(kSpecfwd, {"in.bmp", "no/such/out.bmp"}, dir.path, oneSecond));
    EXPECT_EQ(kStatusOutput, run.status);
    EXPECT_EQ("File 'no/such/out.bmp' cannot create.\n", run.err);
    folder.expectUntouched("missing folder");
  }
  if (geteuid() == 0)
    GTEST_SKIP() << "permissions do not bind root: the read-only folder is not tried";
  TempDir dir;
  RunFolder folder(dir.path, {}, slowPicture());
  ASSERT_EQ(0, chmod(dir.path.c_str(), 0555));
  const ToolRun run = waitTool(startTool(kSpecfwd, {"in.bmp"}, dir.path, oneSecond));
  chmod(dir.path.c_str(), 0755);
  EXPECT_EQ(kStatusOutput, run.status);
  EXPECT_EQ("File 'SourceToGray.bmp' cannot create.\n", run.err);
  folder.expectUntouched("read-only folder");
}
