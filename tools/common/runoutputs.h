// The outputs of one run of a program: all created before its long work,
// all renamed over their final names at its end, or none at all. A run cut
// short by SIGINT, SIGTERM, SIGHUP (or SIGPIPE and SIGXFSZ, where they are
// not ignored) removes its temporary files and then ends by that signal, so
// the previous outputs stay as they were.
#ifndef RUNOUTPUTS_H
#define RUNOUTPUTS_H

#include "speccore/output.h"

enum { kMaxRunOutputs = 4 };

struct RunOutputs {
  speccore::OutputFile files[kMaxRunOutputs];
  int count = 0;
};

// Creates the outputs at `paths`, in order, and arms the signal cleanup.
// Returns 0, or kStatusOutput after the message of the first that cannot be
// created (then none is left). One run at a time per process.
int runOutputsOpen(RunOutputs* run, const char* const* paths, int count);

// Renames every output over its final name, in order. Returns 0, or
// kStatusOutput after a message (the outputs not yet renamed are removed).
int runOutputsCommit(RunOutputs* run);

// Removes every temporary: the final names keep what they had.
void runOutputsDiscard(RunOutputs* run);

// Ends a run that reached `status`: commits on kStatusOk, else discards.
// Returns the run's final status.
int runOutputsFinish(RunOutputs* run, int status);

#endif
