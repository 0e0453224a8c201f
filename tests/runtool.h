// Runs a built program in a working directory of the test's choosing and
// collects its exit status and both output streams.
#ifndef RUNTOOL_H
#define RUNTOOL_H

#include <string>
#include <vector>

#include "programpaths.h"  // kPrograms, and kSpecfwd and so on: the programs under test

struct ToolRun {
  int status = -1000;  // exit status as a shell sees it (0..255), or -1000 after a signal
  int signal = 0;      // the signal that ended the program, or 0
  std::string out;     // standard output
  std::string err;     // standard error
};

// A program's status as a shell sees it: kExitTooSmall (-1) shows as 255.
inline int shellStatus(int status) { return status & 0xff; }

// Conditions a program can be started under, besides the address-space
// ceiling every directly started program gets.
struct ToolLimits {
  long long fileSize = -1;     // RLIMIT_FSIZE in bytes, as a shell's ulimit -f sets it; -1 for none
  int cpuSeconds = 0;          // RLIMIT_CPU; 0 for none
  long long addressSpace = 0;  // RLIMIT_AS in bytes instead of the usual 2 GiB; 0 for that
  std::string stdoutPath;      // a file for standard output instead of the capture (/dev/full)
  bool stdoutReaderGone = false;  // standard output a pipe whose reading end is closed
  int user = -1;                  // run as this user and group (a test run as root); -1 as the test
};

// A program started and not yet waited for.
struct ToolProcess {
  int pid = -1;
  int out = -1, err = -1;  // the capture files
  bool launched = false;   // started through a launcher
};

// Starts `program` with `args` in directory `dir` and waits for it. argv[0]
// is `invocation` when given, else the program's path. With a launcher (a
// command and its first arguments: wine for Windows programs, an emulator for
// another processor's, env to change the environment) the program's path
// follows the launcher's words, argv[0] cannot be chosen, the address-space
// ceiling is not set, and a "\r\n" that ends a line written to the standard
// streams, as Windows programs do, is read back as "\n".
ToolRun runToolWith(const std::vector<std::string>& launcher, const std::string& program,
                    const std::vector<std::string>& args, const std::string& dir,
                    const char* invocation = nullptr);

// runTool in two steps, so that a test can act on the program while it runs
// (send it a signal). The program starts with the default action for every
// signal a shell may have had ignored. Both start the programs under test
// through kToolLauncher, with the address-space ceiling unless they are
// Windows programs.
ToolProcess startTool(const std::string& program, const std::vector<std::string>& args,
                      const std::string& dir, const ToolLimits& limits = ToolLimits());
ToolRun waitTool(const ToolProcess& process);

// runToolWith the programs' own launcher, kToolLauncher.
ToolRun runTool(const std::string& program, const std::vector<std::string>& args,
                const std::string& dir, const char* invocation = nullptr);

// True in a sanitized build, whose programs take no address-space limit (they
// reserve terabytes of shadow memory): their allocator is capped instead.
extern const bool kToolsSanitized;

// What starts the programs under test (wine-run for Windows programs, the
// emulator's script for another processor's): "" when they run directly.
extern const char* const kToolLauncher;

// True when the programs under test are Windows programs, which differ from
// POSIX ones in their process model, file system and C library.
extern const bool kWindowsTools;

// True when the programs under test were built with FFTW, so take -f.
extern const bool kToolsHaveFft;

// Names of the regular files in `dir`, sorted.
std::vector<std::string> filesIn(const std::string& dir);

#endif
