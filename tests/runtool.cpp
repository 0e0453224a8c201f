#include "runtool.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#ifdef SPEC_TOOL_LAUNCHER
const char* const kToolLauncher = SPEC_TOOL_LAUNCHER;
#else
const char* const kToolLauncher = "";
#endif
#ifdef SPEC_WINDOWS_TOOLS
const bool kWindowsTools = true;
#else
const bool kWindowsTools = false;
#endif
#ifdef SPEC_TOOLS_FFT
const bool kToolsHaveFft = true;
#else
const bool kToolsHaveFft = false;
#endif

// A capture file outside the working directory, so that the program's own
// outputs are the only files there.
static int captureFile() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/speccore-run-XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd >= 0) unlink(name.data());
  return fd;
}

// Every program under test but a Windows one (wine reserves more address space
// of its own) gets a ceiling on its address space, so that one which sizes a
// block from a hostile header before checking it fails here instead of
// quietly reserving gigabytes that it never touches. A sanitized build needs
// terabytes of shadow space instead; its allocator is capped through
// ASAN_OPTIONS (max_allocation_size_mb) by the test preset.
#if defined(__SANITIZE_ADDRESS__)
#define RUNTOOL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RUNTOOL_SANITIZED 1
#endif
#endif

static void limitAddressSpace(long long bytes) {
#ifndef RUNTOOL_SANITIZED
  struct rlimit limit = {rlim_t(bytes), rlim_t(bytes)};
  setrlimit(RLIMIT_AS, &limit);
  // A user-mode emulator cannot pass a program's limit on address space on to
  // the host, where it would bind the emulator's own memory: it ignores it.
  // qemu reserves its program this much address space, and no more, instead.
  char reserved[32];
  std::snprintf(reserved, sizeof reserved, "0x%llx", bytes);
  setenv("QEMU_RESERVED_VA", reserved, 1);
#else
  (void)bytes;
#endif
}

const bool kToolsSanitized =
#ifdef RUNTOOL_SANITIZED
    true;
#else
    false;
#endif

static std::string readAll(int fd) {
  std::string s;
  lseek(fd, 0, SEEK_SET);
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, size_t(n));
  close(fd);
  return s;
}

static std::string withoutCarriageReturns(std::string s) {
  for (size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n", at)) s.erase(at, 1);
  return s;
}

static ToolProcess startToolWith(const std::vector<std::string>& launcher,
                                 const std::string& program, const std::vector<std::string>& args,
                                 const std::string& dir, const char* invocation,
                                 const ToolLimits& limits, bool addressCeiling) {
  ToolProcess process;
  process.out = captureFile();
  process.err = captureFile();
  process.launched = !launcher.empty();
  std::vector<std::string> strings = launcher;
  strings.push_back(launcher.empty() && invocation ? invocation : program);
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : strings) argv.push_back(&s[0]);
  argv.push_back(nullptr);

  process.pid = fork();
  if (process.pid == 0) {
    int out = process.out;
    if (!limits.stdoutPath.empty()) out = open(limits.stdoutPath.c_str(), O_WRONLY);
    int pipeEnds[2];
    if (limits.stdoutReaderGone && pipe(pipeEnds) == 0) {
      close(pipeEnds[0]);
      out = pipeEnds[1];
    }
    if (chdir(dir.c_str()) != 0 || out < 0 || dup2(out, 1) < 0 || dup2(process.err, 2) < 0)
      _exit(127);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // SIGQUIT's default action dumps a core, which no test wants in its folder.
    const struct rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (limits.fileSize >= 0) {
      const struct rlimit size = {rlim_t(limits.fileSize), rlim_t(limits.fileSize)};
      setrlimit(RLIMIT_FSIZE, &size);
    }
    if (limits.user >= 0 &&
        (setgroups(0, nullptr) != 0 ||
         setresgid(gid_t(limits.user), gid_t(limits.user), gid_t(limits.user)) != 0 ||
         setresuid(uid_t(limits.user), uid_t(limits.user), uid_t(limits.user)) != 0))
      _exit(127);
    if (limits.cpuSeconds > 0) {
      const struct rlimit cpu = {rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds)};
      setrlimit(RLIMIT_CPU, &cpu);
    }
    if (addressCeiling)
      limitAddressSpace(limits.addressSpace > 0 ? limits.addressSpace : 2LL << 30);
    execv(launcher.empty() ? program.c_str() : launcher[0].c_str(), argv.data());
    _exit(127);
  }
  return process;
}

ToolRun waitTool(const ToolProcess& process) {
  ToolRun run;
  int wstatus = 0;
  if (process.pid > 0 && waitpid(process.pid, &wstatus, 0) == process.pid) {
    if (WIFEXITED(wstatus)) run.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) run.signal = WTERMSIG(wstatus);
  }
  run.out = readAll(process.out);
  run.err = readAll(process.err);
  if (process.launched) {
    run.out = withoutCarriageReturns(run.out);
    run.err = withoutCarriageReturns(run.err);
  }
  return run;
}

ToolRun runToolWith(const std::vector<std::string>& launcher, const std::string& program,
                    const std::vector<std::string>& args, const std::string& dir,
                    const char* invocation) {
  return waitTool(
      startToolWith(launcher, program, args, dir, invocation, ToolLimits(), launcher.empty()));
}

static ToolProcess startToolUnderTest(const std::string& program,
                                      const std::vector<std::string>& args, const std::string& dir,
                                      const char* invocation, const ToolLimits& limits) {
  std::vector<std::string> launcher;
  if (*kToolLauncher) launcher.push_back(kToolLauncher);
  return startToolWith(launcher, program, args, dir, invocation, limits, !kWindowsTools);
}

ToolProcess startTool(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir, const ToolLimits& limits) {
  return startToolUnderTest(program, args, dir, nullptr, limits);
}

ToolRun runTool(const std::string& program, const std::vector<std::string>& args,
                const std::string& dir, const char* invocation) {
  return waitTool(startToolUnderTest(program, args, dir, invocation, ToolLimits()));
}

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
