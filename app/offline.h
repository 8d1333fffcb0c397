// Offline rendering: --frame, --capture and --bench step demo time with a fixed step instead of
// the clock, so the same command gives the same pixels.
#pragma once

#include "app/options.h"

namespace app {

// Runs the offline mode named by options.mode; returns the exit code.
int runOffline(const Options& options);

}  // namespace app
