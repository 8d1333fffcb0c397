// Offline modes are not built yet: say so and end with the usage exit code.
#include "app/offline.h"

#include <cstdio>

namespace app {

int runOffline(const Options&) {
  std::fprintf(stderr, "glimmer: --frame, --capture and --bench are not available yet\n");
  return 2;
}

}  // namespace app
