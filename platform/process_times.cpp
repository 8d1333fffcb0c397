// Process start and CPU time on Linux: the kernel's process table and getrusage.
#include <sys/resource.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"

namespace platform {

// The kernel's start time of the process (field 22 of /proc/self/stat, clock ticks since boot)
// against the boot-time clock. The start time has the resolution of a clock tick (10 ms).
double msSinceProcessStart() {
  std::ifstream in("/proc/self/stat");
  std::string stat;
  std::getline(in, stat);
  const size_t close = stat.rfind(')');  // the command name may hold spaces and parentheses
  if (close == std::string::npos) return -1.0;
  std::istringstream fields(stat.substr(close + 1));
  std::string skip;
  for (int field = 3; field < 22; ++field) fields >> skip;
  unsigned long long startTicks = 0;
  if (!(fields >> startTicks)) return -1.0;
  timespec now{};
  if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) return -1.0;
  const double nowMs =
      static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1.0e6;
  return nowMs -
         static_cast<double>(startTicks) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double processCpuMs() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
  };
  return ms(use.ru_utime) + ms(use.ru_stime);
}

}  // namespace platform
