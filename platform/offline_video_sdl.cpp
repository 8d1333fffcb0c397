// Choice of the video driver for offline runs on SDL2.
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

void prepareOfflineVideo(bool showWindow) {
  if (std::getenv("SDL_VIDEODRIVER")) return;
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
  };
  const bool display = set("DISPLAY") || set("WAYLAND_DISPLAY");
  if (!showWindow || !display) setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

}  // namespace platform
