#include "commandline.h"

#include <cstdio>
#include <cstring>

#include "speccore.h"

const char* programName(const char* invocation) {
  if (invocation == nullptr) return "";
  const char* name = invocation;
  for (const char* p = invocation; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

int printUsage(const ToolCommandLine& tool, const char* invocation, int status) {
  std::fprintf(stderr, "\nusage: %s %s%s\n\n", programName(invocation), tool.optionList,
               tool.synopsis);
  std::fputs(tool.optionLines, stderr);
  return status;
}

CommandLine scanCommandLine(const ToolCommandLine& tool, int argc, char** argv) {
  CommandLine line;
  for (int i = 0; i < kMaxPaths; ++i) line.paths[i] = tool.defaults[i];
  int pathCount = 0;
  for (int i = 1; i < argc && !line.usage; ++i) {
    const char* arg = argv[i];
    if (arg[0] == '-') {
      // A lone '-' has '\0' as its second character, which matches no letter.
      const char letter = arg[1];
      const char* flag = letter != '\0' ? std::strchr(tool.flags, letter) : nullptr;
      const bool valued = letter != '\0' && std::strchr(tool.valued, letter) != nullptr;
      if (letter == 'h' || (flag == nullptr && !valued) ||
          (valued && line.valuedCount == kMaxValued)) {
        line.usage = true;
        line.status = letter == 'h' ? kStatusOk : kStatusUsage;
      } else if (valued) {
        line.valued[line.valuedCount++] = OptionValue{letter, arg + 2};
      } else {
        line.flagSeen[flag - tool.flags] = true;
      }
    } else if (pathCount == tool.maxPaths) {
      line.usage = true;
      line.status = kStatusUsage;
    } else {
      line.paths[pathCount++] = arg;
    }
  }
  return line;
}
