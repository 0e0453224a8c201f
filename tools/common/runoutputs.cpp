#include "runoutputs.h"

#include <csignal>

#if defined(_WIN32)
#include <io.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include "speccore/status.h"

using namespace speccore;

namespace {

#if defined(_WIN32)
const int kCleanupSignals[] = {SIGINT, SIGTERM};
#else
// SIGPIPE (a reader gone from a FIFO output) and SIGXFSZ (a file-size
// limit) end a program as surely as an interrupt does.
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
#endif

// The run whose temporaries a signal removes. A signal handler reaches
// nothing but what is global, so this pointer is the programs' one piece of
// global state; it and the run it points to change only while the signals
// are held back.
RunOutputs* volatile gGuardedRun = nullptr;

extern "C" void removeTemporariesAndEnd(int sig) {
  RunOutputs* run = gGuardedRun;
  if (run != nullptr) {
    for (int i = 0; i < run->count; ++i) {
      const char* name = run->files[i].temporary;
#if defined(_WIN32)
      if (name != nullptr) _unlink(name);
#else
      if (name != nullptr) unlink(name);  // async-signal-safe, unlike remove
#endif
    }
  }
  // Ends the program as the signal would have: its default action, once the
  // handler returns and the signal is no longer blocked.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// A signal that the program was started with ignored (nohup, a shell's
// background job) stays ignored.
void armCleanup() {
  for (const int sig : kCleanupSignals) {
#if defined(_WIN32)
    if (std::signal(sig, removeTemporariesAndEnd) == SIG_IGN) std::signal(sig, SIG_IGN);
#else
    struct sigaction previous;
    if (sigaction(sig, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = removeTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
#endif
  }
}

// Holds the cleanup signals back for as long as it lives, so that a handler
// never sees a run half changed. (Windows has no such mask; its console
// interrupt runs on a thread of its own in any case.)
class SignalsHeld {
 public:
  SignalsHeld() {
#if !defined(_WIN32)
    sigset_t held;
    sigemptyset(&held);
    for (const int sig : kCleanupSignals) sigaddset(&held, sig);
    sigprocmask(SIG_BLOCK, &held, &previous_);
#endif
  }
  ~SignalsHeld() {
#if !defined(_WIN32)
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
#endif
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
#if !defined(_WIN32)
  sigset_t previous_;
#endif
};

void discardFrom(RunOutputs* run, int first) {
  for (int i = first; i < run->count; ++i) outputDiscard(&run->files[i]);
  run->count = 0;
}

}  // namespace

int runOutputsOpen(RunOutputs* run, const char* const* paths, int count) {
  SignalsHeld held;
  run->count = 0;
  gGuardedRun = run;
  armCleanup();
  for (int i = 0; i < count && i < kMaxRunOutputs; ++i) {
    if (outputOpen(&run->files[i], paths[i]) != kStatusOk) {
      discardFrom(run, 0);
      return kStatusOutput;
    }
    run->count = i + 1;
  }
  return kStatusOk;
}

int runOutputsCommit(RunOutputs* run) {
  SignalsHeld held;
  for (int i = 0; i < run->count; ++i) {
    if (outputCommit(&run->files[i]) != kStatusOk) {
      discardFrom(run, i + 1);
      return kStatusOutput;
    }
  }
  run->count = 0;
  return kStatusOk;
}

void runOutputsDiscard(RunOutputs* run) {
  SignalsHeld held;
  discardFrom(run, 0);
}

int runOutputsFinish(RunOutputs* run, int status) {
  if (status == kStatusOk) return runOutputsCommit(run);
  runOutputsDiscard(run);
  return status;
}
