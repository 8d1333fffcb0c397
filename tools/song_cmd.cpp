// glimmerc song: not built yet; the subsystem that owns it replaces this file.
#include <cstdio>

#include "tools/commands.h"

namespace glimmerc {

int songCommand(const Args&) {
  std::fputs("glimmerc song: not available in this build yet\n", stderr);
  return 2;
}

}  // namespace glimmerc
