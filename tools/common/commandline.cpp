#include "commandline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* programName(const char* invocation) {
  if (invocation == nullptr) return "";
  const char* name = invocation;
  for (const char* p = invocation; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

void printUsage(const ToolCommandLine& tool, const char* invocation, int status) {
  std::fprintf(stderr, "\nusage: %s %s%s\n\n", programName(invocation), tool.optionList,
               tool.synopsis);
  std::fputs(tool.optionLines, stderr);
  std::exit(status);
}

void scanCommandLine(const ToolCommandLine& tool, int argc, char** argv, const char** paths,
                     bool* flagSeen) {
  const char* invocation = argc > 0 ? argv[0] : nullptr;
  int pathCount = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] == '-') {
      // A lone '-' has '\0' as its second character, which matches no letter.
      const char letter = arg[1];
      if (letter == 'h') printUsage(tool, invocation, 0);
      const char* flag = letter != '\0' ? std::strchr(tool.flags, letter) : nullptr;
      if (flag == nullptr) printUsage(tool, invocation, 1);
      flagSeen[flag - tool.flags] = true;
    } else {
      if (pathCount == tool.maxPaths) printUsage(tool, invocation, 1);
      paths[pathCount++] = arg;
    }
  }
}
