// The command-line rules shared by the four programs.
//
// Arguments after the program name are scanned left to right and the first
// one that ends the scan decides. An argument that begins with '-' is an
// option judged by its second character alone: 'h' prints the usage and exits
// with 0; a letter in the tool's `flags` is recorded and the scan goes on; any
// other letter, or a lone '-', prints the usage and exits with 1. Any other
// argument is positional; one more than the tool takes prints the usage and
// exits with 1.
#ifndef COMMANDLINE_H
#define COMMANDLINE_H

// What one program accepts and how its usage reads.
struct ToolCommandLine {
  const char* optionList;   // "[-h] ", with its trailing blank
  const char* synopsis;     // "[input_bmp [complex_out.dat]]"
  const char* optionLines;  // one line per option, each led by a tab
  const char* flags;        // letters besides 'h' that let the scan go on; "" for none
  int maxPaths;             // positional arguments taken: 1 or 2
};

// Fills paths[0 .. maxPaths-1] from the positional arguments (entries not
// given stay null) and sets flagSeen[i] for each flags[i] that appears. Never
// returns when the usage is printed.
void scanCommandLine(const ToolCommandLine& tool, int argc, char** argv, const char** paths,
                     bool* flagSeen);

// Prints the usage on standard error and ends the program with `status`.
[[noreturn]] void printUsage(const ToolCommandLine& tool, const char* invocation, int status);

// The invocation name after its last '/' or '\': "C:\tools\specfwd.exe"
// gives "specfwd.exe", "specfwd" stays "specfwd".
const char* programName(const char* invocation);

#endif
