#include "commandline.h"

#include <cstdio>
#include <string>

#include "speccore/status.h"

using namespace speccore;

int exitStatusOf(int status) {
  switch (status) {
    case kStatusNotSpectrum:
    case kStatusNotFinite:
      return kExitUnknownFile;
    case kStatusTooSmall:
      return kExitTooSmall;
    case kStatusNoFft:
      return kExitNoFft;
    default:
      return status;
  }
}

const char* programName(const char* invocation) {
  if (invocation == nullptr) return "";
  const char* name = invocation;
  for (const char* p = invocation; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

int printUsage(const ToolCommandLine& tool, const char* invocation, int status) {
  std::string usage = std::string("\nusage: ") + programName(invocation) + " ";
  for (int i = 0; i < tool.optionCount; ++i)
    usage += std::string("[-") + tool.options[i].letter + tool.options[i].value + "] ";
  usage += std::string(tool.synopsis) + "\n\n";
  for (int i = 0; i < tool.optionCount; ++i) {
    const ToolOption& o = tool.options[i];
    usage += std::string("\t-") + o.letter + o.value + ": " + o.help + "\n";
  }
  std::fputs(usage.c_str(), stderr);
  return status;
}

namespace {

// The program's option of that letter, or null; never one for '\0', so a lone
// '-' is unknown.
const ToolOption* optionOf(const ToolCommandLine& tool, char letter) {
  for (int i = 0; i < tool.optionCount && letter != '\0'; ++i)
    if (tool.options[i].letter == letter) return &tool.options[i];
  return nullptr;
}

}  // namespace

bool flagGiven(const CommandLine& line, char letter) {
  return line.flags[static_cast<unsigned char>(letter)];
}

CommandLine scanCommandLine(const ToolCommandLine& tool, int argc, char** argv) {
  CommandLine line;
  for (int i = 0; i < kMaxPaths; ++i) line.paths[i] = tool.defaults[i];
  int pathCount = 0;
  for (int i = 1; i < argc && !line.usage; ++i) {
    const char* arg = argv[i];
    if (arg[0] == '-') {
      const char letter = arg[1];
      const ToolOption* option = optionOf(tool, letter);
      const bool valued = option != nullptr && option->value[0] != '\0';
      if (letter == 'h' || option == nullptr || (valued && line.valuedCount == kMaxValued)) {
        line.usage = true;
        line.status = letter == 'h' ? kExitOk : kExitUsage;
      } else if (valued) {
        line.valued[line.valuedCount++] = OptionValue{letter, arg + 2};
      } else {
        line.flags[static_cast<unsigned char>(letter)] = true;
      }
    } else if (pathCount == tool.maxPaths) {
      line.usage = true;
      line.status = kExitUsage;
    } else {
      line.paths[pathCount++] = arg;
    }
  }
  return line;
}
