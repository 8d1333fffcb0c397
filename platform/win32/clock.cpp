// High-resolution counter for the frame clock, and sleeping, on Win32.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

uint64_t counter() {
  LARGE_INTEGER value;
  QueryPerformanceCounter(&value);
  return static_cast<uint64_t>(value.QuadPart);
}

uint64_t counterFrequency() {
  LARGE_INTEGER value;
  QueryPerformanceFrequency(&value);
  return static_cast<uint64_t>(value.QuadPart);
}

void sleepMilliseconds(uint32_t ms) { Sleep(ms); }

}  // namespace platform
