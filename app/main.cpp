// The show executable.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/shell.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int code = app::runGlimmer(args);
  // The music output thread is never stopped: ending the process ends it, without running the
  // destructors of the player's state while the thread still uses it.
  if (app::musicStarted) {
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}
