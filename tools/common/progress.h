// How far a long transform has come, shown on standard error while it runs
// when standard error is a terminal: after about a second, one line that
// updates in place (percentage, time spent, time left), erased at the end.
// When standard error is not a terminal nothing is written, so scripts,
// pipes and logs see exactly the programs' messages, but for one: a
// transform that has no memory for its factors says so on a line of its own
// (kTermByTermLine) when it starts without them, wherever standard error goes.
#ifndef PROGRESS_H
#define PROGRESS_H

#include <condition_variable>
#include <mutex>
#include <thread>

#include "speccore/dft.h"

extern const char kTermByTermLine[];

struct ProgressShow {
  speccore::DftProgress* progress = nullptr;
  std::thread thread;
  std::mutex mutex;
  std::condition_variable wake;
  bool finished = false;
  bool terminal = false;  // standard error is one: the progress line is shown
  bool told = false;      // kTermByTermLine was written
};

// Starts showing `progress`, which the transform fills, on a thread of its own.
void progressShowStart(ProgressShow* show, speccore::DftProgress* progress);

// Stops showing it and erases the line, if one was shown. Writes
// kTermByTermLine now if it is due and no thread could write it earlier.
void progressShowEnd(ProgressShow* show);

#endif
