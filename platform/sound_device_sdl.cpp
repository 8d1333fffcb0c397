// The show's sound device on Linux: the SDL2 ring, which falls back to SDL's dummy driver.
#include "platform/sound.h"
#include "platform/sound_device.h"

namespace platform {

glimmer::music::SoundDevice& systemSoundDevice() {
  static SdlSoundDevice device;
  return device;
}

}  // namespace platform
