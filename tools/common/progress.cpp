#include "progress.h"

#include <chrono>
#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace speccore;

namespace {

bool stderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::string minutesAndSeconds(double seconds) {
  const long s = long(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

// The progress line erased, if one is shown, for a line of its own.
void erase(int* shown) {
  if (*shown > 0) {
    std::fprintf(stderr, "\r%*s\r", *shown, "");
    std::fflush(stderr);
  }
  *shown = 0;
}

// Once, as soon as the transform falls back to its slow path.
void tellTermByTerm(ProgressShow* show, int* shown) {
  if (show->told || !show->progress->termByTerm.load()) return;
  erase(shown);
  std::fputs(kTermByTermLine, stderr);
  show->told = true;
}

void show(ProgressShow* show) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  int shown = 0;  // columns of the line on the terminal
  std::unique_lock<std::mutex> lock(show->mutex);
  while (!show->wake.wait_for(lock, std::chrono::milliseconds(250),
                              [show] { return show->finished; })) {
    tellTermByTerm(show, &shown);
    if (!show->terminal) continue;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const uint64_t total = show->progress->total.load(), done = show->progress->done.load();
    if (elapsed < 1.0 || total == 0 || done == 0) continue;
    const double part = double(done) / double(total);
    char line[96];
    const int length =
        std::snprintf(line, sizeof line, "\rtransform %3d %%  %s elapsed, %s remaining",
                      int(part * 100), minutesAndSeconds(elapsed).c_str(),
                      minutesAndSeconds(elapsed * (1 - part) / part).c_str());
    // A shorter line than the last leaves no characters of it behind.
    const int columns = length - 1;
    std::fprintf(stderr, "%s%*s", line, shown > columns ? shown - columns : 0, "");
    std::fflush(stderr);
    shown = columns;
  }
  erase(&shown);
}

}  // namespace

const char kTermByTermLine[] =
    "Not enough memory for the factor table: the transform computes each factor where it is "
    "used, many times slower.\n";

void progressShowStart(ProgressShow* s, DftProgress* progress) {
  s->progress = progress;
  s->finished = false;
  s->told = false;
  s->terminal = stderrIsTerminal();
  try {
    s->thread = std::thread(show, s);
  } catch (...) {  // no thread: the transform runs unseen
  }
}

void progressShowEnd(ProgressShow* s) {
  {
    std::lock_guard<std::mutex> lock(s->mutex);
    s->finished = true;
  }
  s->wake.notify_all();
  if (s->thread.joinable()) s->thread.join();
  int shown = 0;
  tellTermByTerm(s, &shown);
}
