// What a run that cannot finish leaves behind: a full disk, a file-size
// limit, a full device, a folder gone at the end or an interruption ends with
// a status (or the signal) and a line, and every output keeps the bytes of
// the run before it, with no temporary file left. Outputs that cannot be
// made are found before the transform, and so are outputs that are inputs.
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
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
  std::vector<std::string> others;  // more names that must be there, whatever they hold
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
    expected.insert(expected.end(), others.begin(), others.end());
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
  // The limit as a plain shell sets it, SIGXFSZ not ignored.
  ToolLimits sizeLimit, smallLimit, fullStdout, readerGone;
  sizeLimit.fileSize = 200;  // a header passes, no picture of 16 x 12 does
  smallLimit.fileSize = 64;  // room for a line on standard error, not for the nine
  fullStdout.stdoutPath = "/dev/full";
  readerGone.stdoutReaderGone = true;
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
      {kSpecinfo, {"in.dat"}, readerGone, {}, "File 'stdout' cannot write.\n"},
      {kSpecinfo, {"in.dat"}, smallLimit, {}, "File 'stdout' cannot write.\n"},
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
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
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
    // An emulator reports a signal that dumps a core (SIGQUIT) on a line of
    // its own; the program itself says nothing.
    std::string err = run.err;
    if (*kToolLauncher && err.rfind("qemu: ", 0) == 0) err.erase(0, err.find('\n') + 1);
    EXPECT_EQ("", err);
    folder.expectUntouched(strsignal(sig));
  }
}

// Runs as another user need a test run as root; a test run as another user
// runs them as itself, which permissions bind as well.
int otherUser() { return geteuid() == 0 ? 65534 : -1; }

TEST(OutputFailures, OutputsThatCannotBeMadeEndTheRunBeforeTheTransform) {
  // The transform alone needs more processor time than the limit allows, so
  // a run that got as far as the transform would end on SIGXCPU.
  if (!posixProcesses()) GTEST_SKIP() << "processor-time limits are POSIX";
  const struct {
    const char* what;
    const char* output;
    bool readOnlyFolder;
    const char* err;
  } cases[] = {
      {"missing folder", "no/such/out.bmp", false, "File 'no/such/out.bmp' cannot create.\n"},
      {"empty name (an unset variable)", "", false, "File '' cannot create.\n"},
      {"a folder's name", "sub/", false, "File 'sub/' cannot create.\n"},
      {"read-only folder", "out.bmp", true, "File 'SourceToGray.bmp' cannot create.\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    RunFolder folder(dir.path, kForwardOutputs, slowPicture());
    ASSERT_EQ(0, mkdir(folder.file("sub").c_str(), 0755));
    folder.others.push_back("sub");
    ToolLimits limits;
    limits.cpuSeconds = 1;
    if (c.readOnlyFolder) {
      limits.user = otherUser();
      if (limits.user >= 0) {
        ASSERT_EQ(0, chown(dir.path.c_str(), uid_t(limits.user), gid_t(-1)));
      }
      ASSERT_EQ(0, chmod(dir.path.c_str(), 0555));
    }
    const ToolRun run = waitTool(startTool(kSpecfwd, {"in.bmp", c.output}, dir.path, limits));
    chmod(dir.path.c_str(), 0755);
    EXPECT_EQ(kStatusOutput, run.status) << c.what;
    EXPECT_EQ(c.err, run.err) << c.what;
    folder.expectUntouched(c.what);
  }
}

TEST(OutputFailures, FolderGoneOrReadOnlyAtTheEndChangesNothing) {
  // What can only show at the commit: the folder of the last output removed,
  // or made read-only, while the picture is transformed. The earlier outputs,
  // in another folder, are not replaced either.
  if (!posixProcesses()) GTEST_SKIP() << "permissions and signals are POSIX";
  for (const bool removed : {true, false}) {
    const std::string what = removed ? "folder removed" : "folder made read-only";
    TempDir dir;
    RunFolder folder(dir.path, kForwardOutputs, plainBmp(1, 800, 800, 2));
    const std::string sub = folder.file("sub");
    ASSERT_EQ(0, mkdir(sub.c_str(), 0755));
    ASSERT_TRUE(writeBytes(sub + "/out.bmp", Bytes{'o', 'l', 'd'}));
    ToolLimits limits;
    limits.user = otherUser();
    if (limits.user >= 0) {
      for (const std::string& path : {dir.path, sub, sub + "/out.bmp"})
        ASSERT_EQ(0, chown(path.c_str(), uid_t(limits.user), gid_t(-1)));
      for (const std::string& name : kForwardOutputs)
        ASSERT_EQ(0, chown(folder.file(name).c_str(), uid_t(limits.user), gid_t(-1)));
    }
    const ToolProcess process = startTool(kSpecfwd, {"in.bmp", "sub/out.bmp"}, dir.path, limits);
    bool started = false;
    for (int i = 0; i < 4000 && !started; ++i) {
      for (const auto& e : std::filesystem::directory_iterator(sub))
        started |= e.path().filename().string().rfind(".out.bmp.", 0) == 0;
      if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(started) << what << ": no temporary appeared";
    if (removed) {
      std::filesystem::remove_all(sub);
    } else {
      ASSERT_EQ(0, chmod(sub.c_str(), 0555));
    }
    const ToolRun run = waitTool(process);
    EXPECT_EQ(kStatusOutput, run.status) << what;
    EXPECT_EQ("File 'sub/out.bmp' cannot write.\n", run.err) << what;
    if (!removed) {
      // Its temporary stays, in a folder that nobody may write; once it may
      // be written again, the next run that writes there removes it.
      chmod(sub.c_str(), 0755);
      EXPECT_EQ((Bytes{'o', 'l', 'd'}), readBytes(sub + "/out.bmp")) << what;
      EXPECT_EQ(0,
                waitTool(startTool(kSpecinv, {"in.dat", "sub/out.bmp"}, dir.path, limits)).status);
      EXPECT_EQ(std::vector<std::string>{"out.bmp"}, filesIn(sub)) << what;
      std::filesystem::remove_all(sub);
    }
    folder.expectUntouched(what);
  }
}

TEST(OutputFailures, FifoWithoutReaderCanBeInterrupted) {
  // The open of a FIFO waits for a reader; an interrupt then ends the run,
  // and removes the temporaries of the outputs made before it.
  if (!posixProcesses()) GTEST_SKIP() << "FIFOs and signals are POSIX";
  const struct {
    const char* program;
    std::vector<std::string> args;
    std::vector<std::string> outputs;
  } cases[] = {
      {kSpecinv, {"in.dat", "fifo"}, {}},
      {kSpecfwd, {"in.bmp", "fifo"}, {"SourceToGray.bmp", "dft_complex.dat", "PowerSpectrum.bmp"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    RunFolder folder(dir.path, c.outputs, grayBmp(16, 12, testLevel));
    ASSERT_EQ(0, mkfifo(folder.file("fifo").c_str(), 0600));
    folder.outputs.push_back("fifo");
    const ToolProcess process = startTool(c.program, c.args, dir.path);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(process.pid, SIGINT);
    const auto sent = std::chrono::steady_clock::now();
    const ToolRun run = waitTool(process);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5));
    EXPECT_EQ(SIGINT, run.signal) << c.program << ", status " << run.status;
    struct stat st;
    EXPECT_TRUE(lstat(folder.file("fifo").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    folder.outputs.pop_back();
    std::remove(folder.file("fifo").c_str());
    folder.expectUntouched(c.program);
  }
}

TEST(OutputFailures, OutputThatIsTheInputIsRefusedFirst) {
  // However it is spelled: the same name, ./, a hard link, a symbolic link,
  // one of specfwd's fixed names, specfilter's mask. Nothing is read or
  // written, so an unreadable input changes nothing either.
  const Bytes picture = grayBmp(16, 12, testLevel);
  const Bytes spectrum = spectrumBytes(16, 12, testSpectrum(16, 12));
  const struct {
    const char* program;
    std::vector<std::string> args;
    const char* input;  // the file the case writes first
    const char* link;   // a second name for it, or null
    bool hard;
    const char* err;
  } cases[] = {
      {kSpecfwd,
       {"r2.bmp", "r2.bmp"},
       "r2.bmp",
       nullptr,
       false,
       "File 'r2.bmp' cannot create. same file as the input 'r2.bmp'\n"},
      {kSpecfwd,
       {"./r2.bmp", "r2.bmp"},
       "r2.bmp",
       nullptr,
       false,
       "File 'r2.bmp' cannot create. same file as the input './r2.bmp'\n"},
      {kSpecfwd,
       {"SourceToGray.bmp"},
       "SourceToGray.bmp",
       nullptr,
       false,
       "File 'SourceToGray.bmp' cannot create. same file as the input 'SourceToGray.bmp'\n"},
      {kSpecinv,
       {"in.dat", "other.dat"},
       "in.dat",
       "other.dat",
       true,
       "File 'other.dat' cannot create. same file as the input 'in.dat'\n"},
      {kSpecshow,
       {"in.dat", "shown.bmp"},
       "in.dat",
       "shown.bmp",
       false,
       "File 'shown.bmp' cannot create. same file as the input 'in.dat'\n"},
      {kSpecfilter,
       {"-l3", "in.dat", "in.dat"},
       "in.dat",
       nullptr,
       false,
       "File 'in.dat' cannot create. same file as the input 'in.dat'\n"},
      {kSpecfilter,
       {"-mr2.bmp", "in.dat", "r2.bmp"},
       "in.dat",
       nullptr,
       false,
       "File 'r2.bmp' cannot create. same file as the input 'r2.bmp'\n"},
  };
  for (const auto& c : cases) {
    const std::string what = std::filesystem::path(c.program).filename().string() + " " +
                             c.args[c.args.size() > 1 ? 1 : 0];
    TempDir dir;
    const bool isPicture = std::string(c.input).find(".bmp") != std::string::npos;
    ASSERT_TRUE(writeBytes(dir.file(c.input), isPicture ? picture : spectrum));
    ASSERT_TRUE(writeBytes(dir.file("r2.bmp"), picture));
    if (c.link != nullptr && c.hard) {
      ASSERT_EQ(0, link(dir.file(c.input).c_str(), dir.file(c.link).c_str()));
    } else if (c.link != nullptr) {
      std::filesystem::create_symlink(c.input, dir.file(c.link));
    }
    std::vector<std::string> before = filesIn(dir.path);
    const ToolRun run = runTool(c.program, c.args, dir.path);
    EXPECT_EQ(kStatusOutput, run.status) << what;
    EXPECT_EQ(c.err, run.err) << what;
    EXPECT_EQ(before, filesIn(dir.path)) << what;
    EXPECT_EQ(isPicture ? picture : spectrum, readBytes(dir.file(c.input))) << what;
    EXPECT_EQ(picture, readBytes(dir.file("r2.bmp"))) << what;
  }
}
