// Services taken from the operating system: window, GL context, keys, clock, message box,
// settings dialog, sound, fonts. The engine reaches the system only through this layer.
#pragma once

#include <cstdint>

namespace platform {

// High-resolution counter and its ticks per second.
uint64_t counter();
uint64_t counterFrequency();

}  // namespace platform
