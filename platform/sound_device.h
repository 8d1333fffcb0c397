// The system's sound output for the show, whichever system the build is for.
#pragma once

#include "music/music.h"

namespace platform {

// The process's sound device: the default output of the system's sound service, playing one
// looping ring. When no real device opens it plays nothing and its play position follows the
// clock, so the show keeps its timing in silence. Lives as long as the process, like the
// output thread that feeds it.
glimmer::music::SoundDevice& systemSoundDevice();

}  // namespace platform
