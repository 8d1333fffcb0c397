// Review mode: the show driven by its author, from keys in the window or from commands on
// standard input (one per line), with the content loaded from sources, watched and reloaded
// without losing demo time, and the music chased to the row at that time.
#pragma once

#include <string>
#include <vector>

#include "app/options.h"

namespace app {

// What one command line asks for, parsed without side effects.
enum class ReviewVerb {
  Pause,   // pause
  Play,    // play
  Seek,    // seek T | seek +S | seek -S
  Cut,     // cut next | cut prev
  Loop,    // loop A B | loop (between the marks, or off when looping) | loop off
  Mark,    // mark a | mark b
  Reload,  // reload
  Shot,    // shot FILE.png
  Wait,    // wait S
  Status,  // status (toggle) | status on | status off
  Time,    // time: prints the demo time and the music position
  Quit,    // quit
};

struct ReviewCommand {
  ReviewVerb verb = ReviewVerb::Time;
  float value = 0.0f;     // seek target or step, loop start, wait seconds
  float value2 = 0.0f;    // loop end
  bool relative = false;  // seek by a step (+S / -S)
  bool hasRange = false;  // loop A B
  int choice = 0;    // cut: +1 next, -1 prev; mark: 0 a, 1 b; loop/status: 1 on, 0 off, -1 toggle
  std::string file;  // shot
};

// Parses one command line. False with a one-line reason for an unknown verb or a bad argument.
bool parseReviewCommand(const std::string& line, ReviewCommand& command, std::string& error);

// The command line a key stands for in the window ("" for keys without one); key codes are
// those of platform::takeMessage. paused chooses between pause and play for Space.
std::string reviewKeyCommand(int key, bool paused);

// Runs review mode until quit, Escape or the window closes; returns the exit code.
int runReview(const Options& options);

}  // namespace app
