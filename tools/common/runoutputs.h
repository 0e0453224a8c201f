// The outputs of one run of a program: all created before its long work and
// committed as one at its end (see Output files in speccore.h), or none.
//
// Signals. From runOutputsOpen on, SIGINT, SIGTERM, SIGHUP and SIGQUIT remove
// the run's temporaries and then end the program by the same signal, so that
// every earlier output stays as it was; SIGPIPE and SIGXFSZ are ignored, so
// that a reader gone from a FIFO or a file-size limit is a write that fails,
// reported with status 16. The handler reads only names copied into storage
// of its own, never the run's, and the run changes them only while the
// signals are held. When the run commits or discards, the handler forgets
// them and the signals' earlier actions come back, but the four stay held
// until the program ends: a signal from then on is lost, and the program ends
// with the run's status (0 after a commit, whose outputs are then all new).
// Nothing that can wait (a FIFO's reader, another run's lock of a folder) is
// done with the signals held.
#ifndef RUNOUTPUTS_H
#define RUNOUTPUTS_H

#include "speccore/output.h"

enum { kMaxRunOutputs = 4 };

struct RunOutputs {
  speccore::OutputFile files[kMaxRunOutputs];
  int count = 0;
};

// 0 when no path of `outputs` names the same regular file as one of `inputs`
// (by device and inode, so that links and other spellings count), else
// kStatusOutput after "File '%s' cannot create. same file as the input
// '%s'\n" for the first. A program asks it before any work.
int runOutputsApart(const char* const* outputs, int outputCount, const char* const* inputs,
                    int inputCount);

// Creates the outputs at `paths` (kMaxRunOutputs at most) and arms the signal
// cleanup. Returns 0, or kStatusOutput after the message of the first that
// cannot be created (then none is left). One run at a time per process.
int runOutputsOpen(RunOutputs* run, const char* const* paths, int count);

// Commits every output, or none. Returns 0, or kStatusOutput after a message.
int runOutputsCommit(RunOutputs* run);

// Removes every temporary: the final names keep what they had.
void runOutputsDiscard(RunOutputs* run);

// Ends a run that reached `status`: commits on kStatusOk, else discards.
// Returns the run's final status.
int runOutputsFinish(RunOutputs* run, int status);

// SIGPIPE and SIGXFSZ ignored from here on, for a program that writes only
// to standard output: a reader gone or a file-size limit is then a write
// that fails, which it reports.
void ignoreWriteSignals();

#endif
