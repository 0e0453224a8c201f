#include "parallel.h"

#if defined(__linux__)
#include <sched.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace speccore {

int availableProcessors() {
  int n = 0;
#if defined(__linux__)
  // taskset and container limits show in the affinity mask, not in the
  // count of processors the machine has.
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) n = CPU_COUNT(&set);
#elif defined(_WIN32)
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
    for (; process != 0; process &= process - 1) ++n;
#endif
  if (n <= 0) n = int(std::thread::hardware_concurrency());
  return n > 0 ? n : 1;
}

}  // namespace speccore
