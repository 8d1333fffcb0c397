// High-resolution counter for the frame clock.
#include <SDL.h>

#include "platform/platform.h"

namespace platform {

uint64_t counter() { return SDL_GetPerformanceCounter(); }
uint64_t counterFrequency() { return SDL_GetPerformanceFrequency(); }

}  // namespace platform
