#include "speccore/message.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "report.h"

namespace speccore {

namespace {

// The sink is the library's one piece of global state: whoever embeds the
// library chooses it once for the whole process. The lock makes setting it
// safe at any moment and keeps the sink's calls from overlapping.
std::mutex gSinkLock;
MessageSink gSink = nullptr;  // null: standard error
void* gSinkUser = nullptr;

}  // namespace

void setMessageSink(MessageSink sink, void* user) {
  std::lock_guard<std::mutex> lock(gSinkLock);
  gSink = sink;
  gSinkUser = user;
}

void report(const char* format, ...) {
  char small[256];
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) small[0] = '\0';
  char* line = small;
  if (length >= int(sizeof small)) {
    char* whole = static_cast<char*>(std::malloc(size_t(length) + 1));
    if (whole != nullptr) {
      std::vsnprintf(whole, size_t(length) + 1, format, again);
      line = whole;
    }
  }
  va_end(again);
  {
    std::lock_guard<std::mutex> lock(gSinkLock);
    // One call writes the whole line, newline included, as the programs'
    // own lines are written: standard error is unbuffered.
    if (gSink == nullptr)
      std::fprintf(stderr, "%s\n", line);
    else
      gSink(gSinkUser, line);
  }
  if (line != small) std::free(line);
}

}  // namespace speccore
