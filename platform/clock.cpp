// High-resolution counter for the frame clock, and sleeping.
#include <SDL.h>

#include "platform/platform.h"

namespace platform {

uint64_t counter() { return SDL_GetPerformanceCounter(); }
uint64_t counterFrequency() { return SDL_GetPerformanceFrequency(); }
void sleepMilliseconds(uint32_t ms) { SDL_Delay(ms); }

}  // namespace platform
