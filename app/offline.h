// Offline rendering: --frame, --capture and --bench step demo time with a fixed step instead of
// the clock, so the same command gives the same pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"

namespace app {

// The frame that --frame T renders, with the content just loaded and precalculated: the timeline
// runs on a fixed clock of fps from demo time 0 (started here unless startOffline already did),
// is stepped to the frame nearest T exactly as --frame steps it, and the frame's RGBA rows are
// read back bottom row first. Leaves the fixed clock installed and the timeline at that frame;
// returns the frame's index.
int64_t renderFrameFromStart(float seconds, int fps, std::vector<uint8_t>& rgba);

// Writes RGBA rows read back by renderFrameFromStart as a PNG of the screen size.
bool writeFramePng(const std::string& path, std::vector<uint8_t>& rgba);

// Runs the offline mode named by options.mode; returns the exit code.
int runOffline(const Options& options);

}  // namespace app
