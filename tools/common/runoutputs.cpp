#include "runoutputs.h"

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

#include "speccore/status.h"

using namespace speccore;

namespace {

#if defined(_WIN32)
const int kCleanupSignals[] = {SIGINT, SIGTERM};
#else
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int kWriteSignals[] = {SIGPIPE, SIGXFSZ};
#endif
enum { kCleanupCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0] };

// Room for a temporary's name: any path the system takes (4096 bytes), and
// the ".<pid>-<n>.tmp" after it.
enum { kNameBytes = 4096 + 64 };

// All a signal handler reaches, and the programs' one piece of global state:
// the names of the live temporaries, copied in, never pointers into a run
// that may have ended; and what the signals did before the run. It changes
// only while the signals are held, so a handler always sees it whole.
struct Guard {
  char temporaries[kMaxRunOutputs][kNameBytes];
  volatile sig_atomic_t count;  // names 0 .. count - 1 are live
  bool armed;
#if defined(_WIN32)
  void (*previous[kCleanupCount])(int);
#else
  struct sigaction previous[kCleanupCount];
  struct sigaction previousWrite[sizeof kWriteSignals / sizeof kWriteSignals[0]];
#endif
};
Guard gGuard;

extern "C" void removeTemporariesAndEnd(int sig) {
  for (int i = 0; i < gGuard.count; ++i) {
#if defined(_WIN32)
    _unlink(gGuard.temporaries[i]);
#else
    unlink(gGuard.temporaries[i]);  // async-signal-safe, unlike remove
#endif
  }
  // Ends the program as the signal would have: its default action, once the
  // handler returns and the signal is no longer blocked.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Holds the cleanup signals back (for the calling thread, the only one when
// outputs are created or committed), until release() or for good.
// Windows has no such mask; its console interrupt runs on a thread of its own.
class SignalsHeld {
 public:
  SignalsHeld() {
#if !defined(_WIN32)
    sigset_t held;
    sigemptyset(&held);
    for (const int sig : kCleanupSignals) sigaddset(&held, sig);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
#endif
  }
  ~SignalsHeld() {
#if !defined(_WIN32)
    if (!forGood_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
#endif
  }
  // From here to the program's end: see runoutputs.h.
  void forGood() { forGood_ = true; }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  bool forGood_ = false;
#if !defined(_WIN32)
  sigset_t previous_;
#endif
};

// A signal that the program was started with ignored (nohup, a shell's
// background job) stays ignored. Called with the signals held.
void arm() {
  gGuard.count = 0;
  for (int i = 0; i < kCleanupCount; ++i) {
    const int sig = kCleanupSignals[i];
#if defined(_WIN32)
    gGuard.previous[i] = std::signal(sig, removeTemporariesAndEnd);
    if (gGuard.previous[i] == SIG_IGN) std::signal(sig, SIG_IGN);
#else
    sigaction(sig, nullptr, &gGuard.previous[i]);
    if (gGuard.previous[i].sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = removeTemporariesAndEnd;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
#endif
  }
#if !defined(_WIN32)
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  for (size_t i = 0; i < sizeof kWriteSignals / sizeof kWriteSignals[0]; ++i)
    sigaction(kWriteSignals[i], &ignore, &gGuard.previousWrite[i]);
#endif
  gGuard.armed = true;
}

// Forgets the run and gives the signals back their earlier actions. Called
// with the signals held.
void disarm() {
  gGuard.count = 0;
  if (!gGuard.armed) return;
  for (int i = 0; i < kCleanupCount; ++i) {
#if defined(_WIN32)
    std::signal(kCleanupSignals[i], gGuard.previous[i]);
#else
    sigaction(kCleanupSignals[i], &gGuard.previous[i], nullptr);
#endif
  }
#if !defined(_WIN32)
  for (size_t i = 0; i < sizeof kWriteSignals / sizeof kWriteSignals[0]; ++i)
    sigaction(kWriteSignals[i], &gGuard.previousWrite[i], nullptr);
#endif
  gGuard.armed = false;
}

// Copies a new temporary's name where the handler finds it. Called with the
// signals held, right after the file is made.
bool guard(const char* temporary) {
  const size_t length = std::strlen(temporary);
  if (length >= kNameBytes || gGuard.count >= kMaxRunOutputs) return false;
  std::memcpy(gGuard.temporaries[gGuard.count], temporary, length + 1);
  gGuard.count = gGuard.count + 1;
  return true;
}

// The identity of the regular file at `path`, or false when it is none.
bool regularFileId(const char* path, unsigned long long id[2]) {
#if defined(_WIN32)
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(h);
  if (!regular) return false;
  id[0] = info.dwVolumeSerialNumber;
  id[1] = (unsigned long long)info.nFileIndexHigh << 32 | info.nFileIndexLow;
#else
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  id[0] = st.st_dev;
  id[1] = st.st_ino;
#endif
  return true;
}

}  // namespace

int runOutputsApart(const char* const* outputs, int outputCount, const char* const* inputs,
                    int inputCount) {
  for (int i = 0; i < outputCount; ++i) {
    unsigned long long out[2], in[2];
    if (!regularFileId(outputs[i], out)) continue;
    for (int j = 0; j < inputCount; ++j) {
      if (regularFileId(inputs[j], in) && in[0] == out[0] && in[1] == out[1]) {
        std::fprintf(stderr, "File '%s' cannot create. same file as the input '%s'\n", outputs[i],
                     inputs[j]);
        return kStatusOutput;
      }
    }
  }
  return kStatusOk;
}

int runOutputsOpen(RunOutputs* run, const char* const* paths, int count) {
  run->count = 0;
  // Everything that can be refused is, before anything is made.
  for (int i = 0; i < count && i < kMaxRunOutputs; ++i) {
    if (outputPrepare(&run->files[i], paths[i]) != kStatusOk) {
      for (int j = 0; j < i; ++j) outputDiscard(&run->files[j]);
      return kStatusOutput;
    }
    run->count = i + 1;
  }
  {
    SignalsHeld held;
    arm();
  }
  // Waits while another run commits in one of the folders; a signal then
  // finds nothing made yet.
  outputsLock(run->files, run->count);
  int status = kStatusOk;
  for (int i = 0; i < run->count && status == kStatusOk; ++i) {
    OutputFile* out = &run->files[i];
    if (out->direct) continue;
    SignalsHeld held;
    status = outputCreate(out);
    if (status == kStatusOk && !guard(out->temporary)) {
      std::fprintf(stderr, "File '%s' cannot create.\n", out->path);
      status = kStatusOutput;
    }
  }
  outputsUnlock(run->files, run->count);
  // Opened with the signals free: a FIFO waits here for its reader, and an
  // interrupt meanwhile removes the temporaries made above.
  for (int i = 0; i < run->count && status == kStatusOk; ++i)
    if (run->files[i].direct) status = outputCreate(&run->files[i]);
  if (status == kStatusOk) return kStatusOk;
  runOutputsDiscard(run);
  return kStatusOutput;
}

int runOutputsCommit(RunOutputs* run) {
  for (int i = 0; i < run->count; ++i) {
    if (outputClose(&run->files[i]) != kStatusOk) {
      runOutputsDiscard(run);
      return kStatusOutput;
    }
  }
  outputsLock(run->files, run->count);
  SignalsHeld held;
  held.forGood();
  const int status = outputsCommit(run->files, run->count);
  run->count = 0;
  disarm();
  return status;
}

void runOutputsDiscard(RunOutputs* run) {
  SignalsHeld held;
  held.forGood();
  for (int i = 0; i < run->count; ++i) outputDiscard(&run->files[i]);
  run->count = 0;
  disarm();
}

int runOutputsFinish(RunOutputs* run, int status) {
  if (status == kStatusOk) return runOutputsCommit(run);
  runOutputsDiscard(run);
  return status;
}

void ignoreWriteSignals() {
#if !defined(_WIN32)
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}
