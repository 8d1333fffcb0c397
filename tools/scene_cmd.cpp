#include <cstdio>

#include "tools/commands.h"

namespace glimmerc {

int sceneCommand(const Args&) {
  std::fputs("glimmerc scene: not available in this build yet\n", stderr);
  return 2;
}

}  // namespace glimmerc
