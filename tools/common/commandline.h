// The command-line rules shared by the programs.
//
// Arguments after the program name are scanned left to right and the first
// one that ends the scan decides. An argument that begins with '-' is an
// option judged by its second character alone: 'h' ends the scan with the
// usage and status 0; a letter in the program's `flags` is recorded and the
// scan goes on; a letter in its `valued` takes the rest of the argument as its
// value ("-l30" gives "30", "-l" gives "") and the scan goes on, every
// occurrence kept in order; any other letter, or a lone '-', ends it with the
// usage and status 1, and so does a valued option past the kMaxValued-th. Any
// other argument is positional; one more than the program takes ends the scan
// with the usage and status 1.
#ifndef COMMANDLINE_H
#define COMMANDLINE_H

// What one program accepts and how its usage reads.
struct ToolCommandLine {
  const char* optionList;   // "[-h] ", with its trailing blank
  const char* synopsis;     // "[input_bmp [complex_out.dat]]"
  const char* optionLines;  // one line per option, each led by a tab
  const char* flags;        // letters besides 'h' that let the scan go on; "" for none
  int maxPaths;             // positional arguments taken: 1 or 2
  const char* defaults[2];  // the paths taken when not given
  const char* valued = "";  // letters whose value is attached, each kept every time it is given
};

enum { kMaxFlags = 4, kMaxPaths = 2, kMaxValued = 16 };

// One valued option as given: its letter and what follows it in the argument.
struct OptionValue {
  char letter;
  const char* value;
};

// What the scan decided.
struct CommandLine {
  bool usage = false;  // print the usage and end with `status`
  int status = 0;
  const char* paths[kMaxPaths] = {nullptr, nullptr};        // positional arguments, or the defaults
  bool flagSeen[kMaxFlags] = {false, false, false, false};  // flagSeen[i] for the tool's flags[i]
  OptionValue valued[kMaxValued] = {};                      // the valued options, in order
  int valuedCount = 0;
};

// Scans argv[1 .. argc-1] by the rules above; paths not given take the
// tool's defaults. Prints nothing.
CommandLine scanCommandLine(const ToolCommandLine& tool, int argc, char** argv);

// Prints the usage on standard error, naming the program as `invocation`
// shows it, and returns `status`: a main ends with `return printUsage(...)`.
int printUsage(const ToolCommandLine& tool, const char* invocation, int status);

// The invocation name after its last '/' or '\': "C:\tools\specfwd.exe"
// gives "specfwd.exe", "specfwd" stays "specfwd".
const char* programName(const char* invocation);

#endif
