// The command-line rules shared by the programs, and their exit statuses.
//
// Arguments after the program name are scanned left to right and the first
// one that ends the scan decides. An argument that begins with '-' is an
// option judged by its second character alone: 'h' ends the scan with the
// usage and status 0; a flag of the program's is recorded and the scan goes
// on; a letter that takes a value takes the rest of the argument ("-l30"
// gives "30", "-l" gives "") and the scan goes on, every occurrence kept in
// order; any other letter, or a lone '-', ends it with the usage and status
// 1, and so does a valued option past the kMaxValued-th. Any other argument
// is positional; one more than the program takes ends the scan with the
// usage and status 1.
#ifndef COMMANDLINE_H
#define COMMANDLINE_H

// ---- Exit statuses -----------------------------------------------------------
// A program ends with the status of the step that stopped it. A library code
// (speccore/status.h) passes through exitStatusOf; beside those codes the
// programs have statuses of their own, shared by all.
enum ExitStatus {
  kExitOk = 0,
  kExitUsage = 1,            // a bad command line, after the usage
  kExitUnknownFile = 1,      // a spectrum file the readers refuse, or whose inverse is not finite
  kExitFilterMismatch = 10,  // a filter that does not fit the spectrum
  kExitStatQuery = -1,       // the spectrum readers' size query failed (a shell shows 255)
  kExitTooSmall = -1,        // a picture 1 pixel wide or high, which has no transform to show
  kExitNoFft = 17,           // -f in a build without FFTW
};

// The exit status for a library code: a file the library refuses as no
// spectrum, or whose inverse is not finite, ends as an unknown file; a picture
// too small as kExitTooSmall; every other code as itself (the BMP refusals 1
// to 8, the bit count 9, the loads' 11 to 15, the outputs' 16).
int exitStatusOf(int status);

// ---- Options -----------------------------------------------------------------

// One option of a program: its letter, the value attached to it ("<r>" for
// -l<r>; "" for a flag) and what its line of the usage says.
struct ToolOption {
  char letter;
  const char* value;
  const char* help;
};

// What one program accepts and how its usage reads: "[-l<r>] ... [-h] " from
// the options, in order, then the synopsis; then "\t-l<r>: help" for each.
struct ToolCommandLine {
  const ToolOption* options;  // 'h' among them
  int optionCount;
  const char* synopsis;     // "[input_bmp [complex_out.dat]]"
  int maxPaths;             // positional arguments taken: 1 or 2
  const char* defaults[2];  // the paths taken when not given
};

enum { kMaxPaths = 2, kMaxValued = 16 };

// One valued option as given: its letter and what follows it in the argument.
struct OptionValue {
  char letter;
  const char* value;
};

// What the scan decided.
struct CommandLine {
  bool usage = false;  // print the usage and end with `status`
  int status = 0;
  const char* paths[kMaxPaths] = {nullptr, nullptr};  // positional arguments, or the defaults
  bool flags[256] = {};                               // flags[c]: the flag -c was given
  OptionValue valued[kMaxValued] = {};                // the valued options, in order
  int valuedCount = 0;
};

// Scans argv[1 .. argc-1] by the rules above; paths not given take the
// tool's defaults. Prints nothing.
CommandLine scanCommandLine(const ToolCommandLine& tool, int argc, char** argv);

// True when the flag `letter` was given.
bool flagGiven(const CommandLine& line, char letter);

// Prints the usage on standard error, naming the program as `invocation`
// shows it, and returns `status`: a main ends with `return printUsage(...)`.
int printUsage(const ToolCommandLine& tool, const char* invocation, int status);

// The invocation name after its last '/' or '\': "C:\tools\specfwd.exe"
// gives "specfwd.exe", "specfwd" stays "specfwd".
const char* programName(const char* invocation);

#endif
