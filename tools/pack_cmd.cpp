// glimmerc pack: not built yet; the subsystem that owns it replaces this file.
#include <cstdio>

#include "tools/commands.h"

namespace glimmerc {

int packCommand(const Args&) {
  std::fputs("glimmerc pack: not available in this build yet\n", stderr);
  return 2;
}

}  // namespace glimmerc
