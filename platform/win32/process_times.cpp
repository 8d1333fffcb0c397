// Process start and CPU time on Win32: GetProcessTimes gives the creation time as a system time
// and the kernel and user times, all in 100-nanosecond units.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {

double hundredNsToMs(const FILETIME& t) {
  ULARGE_INTEGER v;
  v.LowPart = t.dwLowDateTime;
  v.HighPart = t.dwHighDateTime;
  return static_cast<double>(v.QuadPart) / 1.0e4;
}

}  // namespace

double msSinceProcessStart() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1.0;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return hundredNsToMs(now) - hundredNsToMs(created);
}

double processCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
  return hundredNsToMs(kernel) + hundredNsToMs(user);
}

}  // namespace platform
